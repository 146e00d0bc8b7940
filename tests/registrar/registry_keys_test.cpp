// The key helpers of the block walk, on keys of a registry sandbox.
#include <string>

#include "registrar/script_execution.h"
#include "tests/registrar/script_fixture.h"

namespace {

class RegistryKeysTest : public ScriptTest {
 protected:
  HKEY OpenForTest(const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key), ERROR_SUCCESS) << path;
    return key;
  }
};

TEST_F(RegistryKeysTest, NamedValuesAndChildKeys) {
  ASSERT_EQ(Run("HKCR { None  DefaultOnly = s d  OneNamed { val N = s n }"
                "  Both = s d { val N = s n }  TwoNamed { val N = s n  val M = s m }  Parent { Child } }",
                TRUE),
            S_OK);
  struct Case {
    const char* Key;
    bool NamedValues;
    bool ChildKeys;
  };
  const Case cases[] = {{"None", false, false},    {"DefaultOnly", false, false}, {"OneNamed", true, false},
                        {"Both", true, false},     {"TwoNamed", true, false},     {"Parent", false, true}};
  for (const Case& c : cases) {
    HKEY key = OpenForTest(c.Key);
    EXPECT_EQ(KeyHasNamedValues(key), c.NamedValues) << c.Key;
    EXPECT_EQ(KeyHasChildKeys(key), c.ChildKeys) << c.Key;
    RegCloseKey(key);
  }
  // A failed query answers false.
  EXPECT_FALSE(KeyHasNamedValues(nullptr));
  EXPECT_FALSE(KeyHasChildKeys(nullptr));
}

TEST_F(RegistryKeysTest, OpenKeyReplacesTheHeldKeyOnlyOnSuccess) {
  ASSERT_EQ(Run("HKCR { A B }", TRUE), S_OK);
  HKEY holder = nullptr;
  watch_.Arm();
  EXPECT_EQ(OpenKey(&holder, HKEY_CLASSES_ROOT, "A", KEY_READ), ERROR_SUCCESS);
  HKEY first = holder;
  EXPECT_NE(OpenKey(&holder, HKEY_CLASSES_ROOT, "Missing", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(holder, first);
  EXPECT_EQ(Calls().KeysClosed, 0);
  EXPECT_EQ(OpenKey(&holder, HKEY_CLASSES_ROOT, "B", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(Calls().KeysClosed, 1);
  RegCloseKey(holder);
  watch_.Disarm();
  EXPECT_EQ(Calls().KeysOpened, Calls().KeysClosed);
}

TEST_F(RegistryKeysTest, DeleteKeyTreeGoesDepthFirst) {
  ASSERT_EQ(Run("HKCR { A = s a { B { C D = s d } E { val V = d 1 } } Other }", TRUE), S_OK);
  watch_.Arm();
  EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, "A"), ERROR_SUCCESS);
  watch_.Disarm();
  EXPECT_EQ(Calls().DeletedKeys, (std::vector<std::string>{"C", "D", "B", "E", "A"}));
  EXPECT_EQ(Calls().KeysOpened, Calls().KeysClosed);
  EXPECT_EQ(Tree(), TreeLines{"HKCR\\Other"});
  EXPECT_NE(DeleteKeyTree(HKEY_CLASSES_ROOT, "Missing"), ERROR_SUCCESS);
}

TEST_F(RegistryKeysTest, DeleteKeyTreeStopsAtTheFirstRefusal) {
  ASSERT_EQ(Run("HKCR { A { B { C D } E } }", TRUE), S_OK);
  RegistryFaults faults;
  faults.FailDeleteKeyNamed = "D";
  watch_.Arm(faults);
  EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, "A"), ERROR_ACCESS_DENIED);
  watch_.Disarm();
  EXPECT_EQ(Calls().DeletedKeys, std::vector<std::string>{"C"});
  EXPECT_EQ(Calls().KeysOpened, Calls().KeysClosed);
  EXPECT_EQ(Tree(), Sorted({"HKCR\\A", "HKCR\\A\\B", "HKCR\\A\\B\\D", "HKCR\\A\\E"}));
}

TEST_F(RegistryKeysTest, ProtectedNames) {
  for (const char* name : {"CLSID", "clsid", "TYPELIB", "TypeLib"}) {
    EXPECT_TRUE(IsProtectedKeyName(name)) << name;
  }
  for (const char* name : {"CLSID2", "Type", "", "Interface"}) {
    EXPECT_FALSE(IsProtectedKeyName(name)) << name;
  }
}

}  // namespace
