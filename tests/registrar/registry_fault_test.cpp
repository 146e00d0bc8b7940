// Registry calls refused at the n-th call: what the run reports and leaves.
#include <string>

#include "tests/registrar/script_fixture.h"

namespace {

const std::string ClassKey = "HKCR\\CLSID\\{C}";
const std::string ServerKey = ClassKey + "\\InprocServer32";
// Creates, in order: CLSID, {C}, InprocServer32, Settings.
// Values, in order: {C}, InprocServer32, ThreadingModel, Settings.
const std::string Script =
    "HKCR { NoRemove CLSID { ForceRemove {C} = s 'Class' { InprocServer32 = s 'path' {"
    " val ThreadingModel = s Apartment } } } }"
    " HKCU { Settings = d 5 }";

const TreeLines ClassLines = {"HKCR\\CLSID", ClassKey, Sz(ClassKey, "Class"), ServerKey, Sz(ServerKey, "path"),
                              Sz(ServerKey, "Apartment", "ThreadingModel")};
const std::string SettingsKey = "HKCU\\Settings";
const std::string SettingsValue = Dword(SettingsKey, 5);

TreeLines Without(TreeLines lines, const std::vector<std::string>& gone) {
  for (const std::string& line : gone) {
    std::erase(lines, line);
  }
  return Sorted(lines);
}

TreeLines With(TreeLines lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return Sorted(lines);
}

class RegistryFaultTest : public ScriptTest {
 protected:
  void Reset() {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
      sandbox_.Clear(root);
    }
  }
};

TEST_F(RegistryFaultTest, RefusedCreateRollsTheSectionBack) {
  struct Case {
    int FailAt;
    TreeLines Tree;
  };
  const Case cases[] = {
      {1, {}},
      {2, {"HKCR\\CLSID"}},  // NoRemove keeps CLSID through the rollback
      {3, {"HKCR\\CLSID"}},
      {4, ClassLines},  // the first section stays registered
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("create refused at call " + std::to_string(c.FailAt));
    Reset();
    RegistryFaults faults;
    faults.FailCreateAt = c.FailAt;
    EXPECT_EQ(Run(Script, TRUE, faults), DISP_E_EXCEPTION);
    EXPECT_EQ(Tree(), Sorted(c.Tree));
  }
}

TEST_F(RegistryFaultTest, RefusedSetValueIsNotReported) {
  const std::string values[] = {Sz(ClassKey, "Class"), Sz(ServerKey, "path"),
                                Sz(ServerKey, "Apartment", "ThreadingModel"), SettingsValue};
  for (int failAt = 1; failAt <= 4; ++failAt) {
    SCOPED_TRACE("set value refused at call " + std::to_string(failAt));
    Reset();
    RegistryFaults faults;
    faults.FailSetValueAt = failAt;
    EXPECT_EQ(Run(Script, TRUE, faults), S_OK);
    EXPECT_EQ(Tree(), Without(With(ClassLines, {SettingsKey, SettingsValue}), {values[failAt - 1]}));
  }
}

TEST_F(RegistryFaultTest, RefusedDeleteIsNotReported) {
  // Removal deletes InprocServer32, {C} and Settings, in that order; {C}
  // keeps a subkey, and so is not deleted, when the first is refused.
  struct Case {
    int FailAt;
    TreeLines Tree;
  };
  const Case cases[] = {
      {1, {"HKCR\\CLSID", ClassKey, Sz(ClassKey, "Class"), ServerKey, Sz(ServerKey, "path")}},
      {2, {"HKCR\\CLSID", ClassKey, Sz(ClassKey, "Class")}},
      {3, {"HKCR\\CLSID", SettingsKey, SettingsValue}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("delete refused at call " + std::to_string(c.FailAt));
    Reset();
    ASSERT_EQ(Run(Script, TRUE), S_OK);
    RegistryFaults faults;
    faults.FailDeleteKeyAt = c.FailAt;
    EXPECT_EQ(Run(Script, FALSE, faults), S_OK);
    EXPECT_EQ(Tree(), Sorted(c.Tree));
  }
}

TEST_F(RegistryFaultTest, RefusedDeleteDuringForceRemoveIsNotReported) {
  ASSERT_EQ(Run(Script, TRUE), S_OK);
  ASSERT_EQ(Run("HKCR { CLSID { {C} { Foreign } } }", TRUE), S_OK);
  RegistryFaults faults;
  faults.FailDeleteKeyNamed = "{C}";
  EXPECT_EQ(Run(Script, TRUE, faults), S_OK);
  EXPECT_EQ(Tree(), With(ClassLines, {SettingsKey, SettingsValue}));
}

TEST_F(RegistryFaultTest, RefusedClose) {
  struct Case {
    const char* Title;
    std::string Before;
    std::string Script;
    BOOL Registering;
    int FailAt;
    HRESULT Result;
    TreeLines Tree;
  };
  const Case cases[] = {
      {"at the block's end: not examined", "", "HKCR { A }", TRUE, 1, S_OK, {"HKCR\\A"}},
      {"of the key a created one replaces", "", "HKCR { A B }", TRUE, 1, DISP_E_EXCEPTION, {}},
      {"before the first deletion", "HKCR { A B }", "HKCR { A B }", FALSE, 1, DISP_E_EXCEPTION,
       {"HKCR\\A", "HKCR\\B"}},
      {"before the second deletion", "HKCR { A B }", "HKCR { A B }", FALSE, 2, DISP_E_EXCEPTION, {"HKCR\\B"}},
      {"before deleting a key whose block was walked", "HKCR { A { B } }", "HKCR { A { B } }", FALSE, 2,
       DISP_E_EXCEPTION, {"HKCR\\A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Title);
    Reset();
    if (!c.Before.empty()) {
      ASSERT_EQ(Run(c.Before, TRUE), S_OK);
    }
    RegistryFaults faults;
    faults.FailCloseAt = c.FailAt;
    EXPECT_EQ(Run(c.Script, c.Registering, faults), c.Result);
    EXPECT_EQ(Tree(), Sorted(c.Tree));
  }
}

}  // namespace
