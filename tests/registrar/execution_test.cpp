// Running scripts in register and removal mode against a registry sandbox.
#include <string>

#include "registrar/script_execution.h"
#include "tests/registrar/double_byte_code_page.h"
#include "tests/registrar/script_fixture.h"

namespace {

constexpr BOOL Register = TRUE;
constexpr BOOL Remove = FALSE;

struct Case {
  const char* Title;
  std::string Before;  // registered first, into the empty sandbox
  std::string Script;
  BOOL Registering;
  HRESULT Result;
  TreeLines Tree;
};

class ExecutionTest : public ScriptTest {
 protected:
  void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Title) + "\nscript: " + c.Script);
      sandbox_.Clear(HKEY_CLASSES_ROOT);
      sandbox_.Clear(HKEY_CURRENT_USER);
      sandbox_.Clear(HKEY_LOCAL_MACHINE);
      sandbox_.Clear(HKEY_USERS);
      if (!c.Before.empty()) {
        ASSERT_EQ(Run(c.Before, Register), S_OK) << "before: " << c.Before;
      }
      EXPECT_EQ(Run(c.Script, c.Registering), c.Result);
      EXPECT_EQ(Tree(), Sorted(c.Tree));
    }
  }
};

const std::string ClassId = "{6A1D3E40-9B27-4C5F-A8E2-3F70C91B5D84}";
const std::string ClassKey = "HKCR\\CLSID\\" + ClassId;
const std::string ClassScript = "HKCR { NoRemove CLSID { ForceRemove " + ClassId +
                                " = s 'LongBeep Class' { InprocServer32 = s '%MODULE%' {"
                                " val ThreadingModel = s 'Apartment' } } } }";

TEST_F(ExecutionTest, SyntaxAndEmptyScripts) {
  RunCases({
      {"empty script", "", "", Register, S_OK, {}},
      {"blanks only", "", " \r\n\t", Register, DISP_E_EXCEPTION, {}},
      {"blanks only, removal", "", " ", Remove, DISP_E_EXCEPTION, {}},
      {"empty section", "", "HKCR { }", Register, S_OK, {}},
      {"root name alone", "", "HKCR", Register, DISP_E_EXCEPTION, {}},
      {"unknown root", "", "HKXX { }", Register, DISP_E_EXCEPTION, {}},
      {"no brace after root", "", "HKCR A", Register, DISP_E_EXCEPTION, {}},
      {"block without end", "", "HKCR { A", Register, DISP_E_EXCEPTION, {}},
      {"brace tokens with more text", "", "HKCR {x A }x \n", Register, S_OK, {"HKCR\\A"}},
      {"every root it names", "", "HKEY_CURRENT_USER { A } hklm { B } HKU { C } HKEY_CLASSES_ROOT { D }", Register,
       S_OK, {"HKCU\\A", "HKLM\\B", "HKU\\C", "HKCR\\D"}},
      {"unquoted token too long", "", "HKCR { " + std::string(4096, 'k') + " }", Register, DISP_E_EXCEPTION, {}},
      {"variable missing", "", "HKCR { A = s '%Other%' }", Register, DISP_E_EXCEPTION, {}},
  });
}

TEST_F(ExecutionTest, ValueKindsAndTheirBytes) {
  RunCases({
      {"text", "", "HKCR { A = s 'x' }", Register, S_OK, {"HKCR\\A", Sz("HKCR\\A", "x")}},
      {"again over the existing key", "HKCR { A = s 'x' }", "HKCR { A = s 'x' }", Register, S_OK,
       {"HKCR\\A", Sz("HKCR\\A", "x")}},
      {"all kinds", "",
       "HKCR { A = s '' B = d 4294967295 C = d 0 D = b 0aFF E = b '' F = b zz G = S 'It''s 100%%' H = D 42 }",
       Register, S_OK,
       {"HKCR\\A", Sz("HKCR\\A", ""), "HKCR\\B", Dword("HKCR\\B", 0xFFFFFFFF), "HKCR\\C", Dword("HKCR\\C", 0),
        "HKCR\\D", Binary("HKCR\\D", "0aff"), "HKCR\\E", Binary("HKCR\\E", ""), "HKCR\\F", Binary("HKCR\\F", "00"),
        "HKCR\\G", Sz("HKCR\\G", "It's 100%"), "HKCR\\H", Dword("HKCR\\H", 42)}},
      {"module path", "", "HKCR { A = s '%MODULE%' }", Register, S_OK,
       {"HKCR\\A", Sz("HKCR\\A", ModulePathInRegistry)}},
      {"odd byte string", "", "HKCR { A = b 123 }", Register, E_FAIL, {}},
      {"unknown kind", "", "HKCR { A = x 'v' }", Register, DISP_E_EXCEPTION, {}},
      {"unknown kind, removal", "HKCR { A }", "HKCR { A = x 'v' }", Remove, S_OK, {}},
      {"number that is none", "", "HKCR { A = d abc }", Register, DISP_E_EXCEPTION, {}},
      {"empty number", "", "HKCR { A = d '' }", Register, DISP_E_EXCEPTION, {}},
      {"negative number", "", "HKCR { A = d -1 }", Register, DISP_E_EXCEPTION, {}},
      {"number too large", "", "HKCR { A = d 4294967296 }", Register, DISP_E_EXCEPTION, {}},
      {"named values, keywords in any case", "",
       "hkcr { a { VAL n = S v  val 'Val' = d 7  Val 'x y' = b 01 } }", Register, S_OK,
       {"HKCR\\a", Sz("HKCR\\a", "v", "n"), Dword("HKCR\\a", 7, "Val"), Binary("HKCR\\a", "01", "x y")}},
      {"named value of a root", "", "HKCU { Val Top = s t }", Register, S_OK, {Sz("HKCU\\", "t", "Top")}},
      {"value name of 259 bytes", "", "HKCR { A { val " + std::string(259, 'v') + " = s x } }", Register, S_OK,
       {"HKCR\\A", Sz("HKCR\\A", "x", std::string(259, 'v'))}},
      {"value name of 260 bytes", "", "HKCR { A { val " + std::string(260, 'v') + " = s x } }", Register,
       DISP_E_EXCEPTION, {}},
      {"value name without =", "", "HKCR { A { val N s x } }", Register, DISP_E_EXCEPTION, {}},
  });
}

TEST_F(ExecutionTest, KeyNames) {
  RunCases({
      {"class identifiers after a key entry are keys", "",
       "HKCR { A " + ClassId + " = s y '{X}' { } }", Register, S_OK,
       {"HKCR\\A", "HKCR\\" + ClassId, Sz("HKCR\\" + ClassId, "y"), "HKCR\\{X}"}},
      {"class identifier after a key, removal", "HKCR { A " + ClassId + " B }", "HKCR { A " + ClassId + " }", Remove,
       S_OK, {"HKCR\\B"}},
      {"backslash", "", "HKCR { A 'B\\C' }", Register, DISP_E_EXCEPTION, {}},
      {"backslash after ForceRemove", "", "HKCR { A ForceRemove B\\C }", Register, DISP_E_EXCEPTION, {}},
      {"backslash, removal", "HKCR { A }", "HKCR { 'B\\C' A }", Remove, DISP_E_EXCEPTION, {"HKCR\\A"}},
  });
}

TEST_F(ExecutionTest, ForceRemoveDeleteAndProtectedNames) {
  RunCases({
      {"ForceRemove replaces the whole tree", "HKCR { A = s old { Sub { Deep = d 1 } val N = s n } B }",
       "HKCR { ForceRemove A { New = s n } }", Register, S_OK,
       {"HKCR\\A", "HKCR\\A\\New", Sz("HKCR\\A\\New", "n"), "HKCR\\B"}},
      {"protected names are never deleted", "HKCR { CLSID { X } TypeLib { Y } }",
       "HKCR { ForceRemove CLSID { Z } ForceRemove 'TypeLib' Delete typelib }", Register, S_OK,
       {"HKCR\\CLSID", "HKCR\\CLSID\\X", "HKCR\\CLSID\\Z", "HKCR\\TypeLib", "HKCR\\TypeLib\\Y"}},
      {"Delete creates nothing", "HKCR { A { B } C }", "HKCR { Delete A = s ignored  Delete Missing }", Register, S_OK,
       {"HKCR\\C"}},
      {"Delete is a key entry in removal mode", "HKCR { A B }", "HKCR { Delete A }", Remove, S_OK, {"HKCR\\B"}},
      {"block after Delete", "", "HKCR { Delete A { B } }", Register, DISP_E_EXCEPTION, {}},
      {"block after Delete, removal", "HKCR { A { B } }", "HKCR { Delete A { B } }", Remove, S_OK, {}},
      // The rollback meets the same refusal after deleting the value, so the key stays.
      {"block after Val", "", "HKCR { A { val N = s v { B } } }", Register, DISP_E_EXCEPTION, {"HKCR\\A"}},
      {"block after Val, removal", "HKCR { A { val N = s v } }", "HKCR { A { val N = s v { B } } }", Remove,
       DISP_E_EXCEPTION, {"HKCR\\A"}},
  });
}

TEST_F(ExecutionTest, RollbackOfTheFailedSection) {
  RunCases({
      {"failure in the second section", "", "HKCU { A = s a } HKLM { B { C = s c } 'D\\E' } HKU { F }", Register,
       DISP_E_EXCEPTION, {"HKCU\\A", Sz("HKCU\\A", "a")}},
      {"rollback removes what the section names but NoRemove keys", "HKCR { Old }",
       "HKCR { NoRemove Kept { New } Old { Deeper } Fresh = b 1 }", Register, E_FAIL, {"HKCR\\Kept"}},
      {"removal stops at its failure and undoes nothing", "HKCU { A } HKLM { B C }", "HKCU { A } HKLM { B 'x\\y' C }",
       Remove, DISP_E_EXCEPTION, {"HKLM\\C"}},
  });
}

TEST_F(ExecutionTest, Removal) {
  RunCases({
      {"the class script", ClassScript, ClassScript, Remove, S_OK, {"HKCR\\CLSID"}},
      {"missing class key", "HKCR { CLSID { Other } Later }",
       "HKCR { NoRemove CLSID { " + ClassId + " = s x { Sub { Deep } val V = s v } } Later }", Remove, S_OK,
       {"HKCR\\CLSID", "HKCR\\CLSID\\Other"}},
      {"a missing key marks only its own entry absent", "HKCR { A { B } L }", "HKCR { Missing { X } A { Gone B } L }",
       Remove, S_OK, {}},
      {"foreign subkey keeps the key", "HKCR { A { B Foreign } C }", "HKCR { A { B } C }", Remove, S_OK,
       {"HKCR\\A", "HKCR\\A\\Foreign"}},
      {"NoRemove keeps an empty key", "HKCR { K }", "HKCR { NoRemove K }", Remove, S_OK, {"HKCR\\K"}},
      {"NoRemove protects only the key it precedes", "HKCR { K L M }", "HKCR { NoRemove K L M }", Remove, S_OK,
       {"HKCR\\K"}},
      {"a key that stays loses no same-named subkey", "HKCR { A { A { X } B Other } }", "HKCR { A { B } }", Remove,
       S_OK, {"HKCR\\A", "HKCR\\A\\A", "HKCR\\A\\A\\X", "HKCR\\A\\Other"}},
      {"value clause and block over an empty key", "HKCR { A = s x C }", "HKCR { A = s x { B = s y } C }", Remove,
       S_OK, {}},
      {"named values go, foreign ones do not keep the key", "HKCR { A { val N = s n  val M = s m } }",
       "HKCR { A { val N = s n } }", Remove, S_OK, {}},
      {"NoRemove key keeps its default and foreign values", "HKCR { A = s d { val N = s n  val M = s m } }",
       "HKCR { NoRemove A { val N = s n } }", Remove, S_OK, {"HKCR\\A", Sz("HKCR\\A", "d"), Sz("HKCR\\A", "m", "M")}},
      {"named value of a root", "HKCU { val Top = s t  val Other = s o }", "HKCU { val Top = s t }", Remove, S_OK,
       {Sz("HKCU\\", "o", "Other")}},
      {"nothing to remove", "", ClassScript, Remove, S_OK, {}},
  });
}

TEST_F(ExecutionTest, MissingKeyIsNeitherOpenedBeneathNorDeleted) {
  ASSERT_EQ(Run("HKCR { CLSID { Other } Later }", Register), S_OK);
  EXPECT_EQ(Run("HKCR { NoRemove CLSID { " + ClassId + " = s x { Sub { Deep } val V = s v } } Later }", Remove), S_OK);
  EXPECT_EQ(Calls().DeletedKeys, (std::vector<std::string>{"Later"}));
  // CLSID and Later are the only keys opened; the missing class key is tried once.
  EXPECT_EQ(Calls().KeysOpened, 2);
}

TEST_F(ExecutionTest, RegisterTwiceIsRegisterOnce) {
  ASSERT_EQ(Run(ClassScript, Register), S_OK);
  TreeLines once = Tree();
  EXPECT_EQ(once, Sorted({"HKCR\\CLSID", ClassKey, Sz(ClassKey, "LongBeep Class"), ClassKey + "\\InprocServer32",
                          Sz(ClassKey + "\\InprocServer32", ModulePathInRegistry),
                          Sz(ClassKey + "\\InprocServer32", "Apartment", "ThreadingModel")}));
  ASSERT_EQ(Run(ClassScript, Register), S_OK);
  EXPECT_EQ(Tree(), once);
  // ForceRemove recreates the class key and its subkey.
  EXPECT_EQ(Calls().CreatedKeys, (std::vector<std::string>{ClassId, "InprocServer32"}));
}

TEST_F(ExecutionTest, DoubleByteNameWithBackslashByte) {
  DoubleByteCodePage codePage;
  ASSERT_TRUE(codePage.Active());
  // The second byte of the character is 0x5C, but the name holds no backslash.
  std::string name = std::string("A") + BackslashTrailCharacter;
  EXPECT_EQ(Run("HKCR { Delete '" + name + "' }", Register), S_OK);
  EXPECT_EQ(Run("HKCR { '" + name + "\\' }", Register), DISP_E_EXCEPTION);
}

}  // namespace
