// Expansion of %variables% and %% in a stored script.
#include <objbase.h>

#include <string>

#include "registrar/registrar.h"
#include "registrar/script_format.h"
#include "tests/registrar/double_byte_code_page.h"
#include "tests/registrar/guarded_task_memory.h"
#include "tests/registrar/module_fixture.h"

namespace {

const std::string Name31(31, 'n');
const std::string Name32(32, 'n');

struct Expansion {
  HRESULT Result;
  std::string Text;  // the expanded script; empty when none was handed out
  bool HandedOut;
};

Expansion Expand(Registrar* variables, const std::string& text) {
  ScriptParser parser = {nullptr, variables};
  char* expanded = reinterpret_cast<char*>(1);
  Expansion outcome = {ExpandVariables(&parser, text.c_str(), &expanded), "", expanded != nullptr};
  if (expanded != nullptr) {
    outcome.Text = expanded;
    CoTaskMemFree(expanded);
  }
  return outcome;
}

class ExpansionTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ConstructRegistrar(&registrar_);
    ASSERT_EQ(AddVariable(&registrar_, L"Module", L"C:\\O''Hara\\ZIRPEL.DLL"), S_OK);
    ASSERT_EQ(AddVariable(&registrar_, L"Module", L"second"), S_OK);
    ASSERT_EQ(AddVariable(&registrar_, std::wstring(Name31.begin(), Name31.end()).c_str(), L"31"), S_OK);
    ASSERT_EQ(AddVariable(&registrar_, std::wstring(Name32.begin(), Name32.end()).c_str(), L"32"), S_OK);
    ASSERT_EQ(AddVariable(&registrar_, L"Raw", L"50% of %Module% 'a b'"), S_OK);
    ASSERT_EQ(AddVariable(&registrar_, L" a b ", L"blanks"), S_OK);
  }
  void TearDown() override {
    DestroyRegistrar(&registrar_);
    ModuleTest::TearDown();
  }
  Registrar registrar_;
};

TEST_F(ExpansionTest, Cases) {
  struct Case {
    std::string Text;
    HRESULT Result;
    std::string Expanded;
  };
  const Case cases[] = {
      {"", S_OK, ""},
      {"HKCR { }", S_OK, "HKCR { }"},
      {"%%", S_OK, "%"},
      {"a%%b%%", S_OK, "a%b%"},
      {"%%%%%%", S_OK, "%%%"},
      {"%Module%", S_OK, "C:\\O''Hara\\ZIRPEL.DLL"},
      {"%MODULE%", S_OK, "C:\\O''Hara\\ZIRPEL.DLL"},  // first of two equal names, any case
      {"'%module%'", S_OK, "'C:\\O''Hara\\ZIRPEL.DLL'"},
      {"x%" + Name31 + "%y", S_OK, "x31y"},
      {"%" + Name32 + "%", E_FAIL, ""},  // too long even though the table has it
      {"%Raw%", S_OK, "50% of %Module% 'a b'"},  // values are not scanned again
      {"% a b %", S_OK, "blanks"},
      {"%Missing%", DISP_E_EXCEPTION, ""},
      {"100%", DISP_E_EXCEPTION, ""},
      {"%", DISP_E_EXCEPTION, ""},
      {"%%%", DISP_E_EXCEPTION, ""},
      {"%Module", DISP_E_EXCEPTION, ""},
      {"%" + Name32, DISP_E_EXCEPTION, ""},  // the missing "%" is seen before the length
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("text: " + c.Text);
    Expansion outcome = Expand(&registrar_, c.Text);
    EXPECT_EQ(outcome.Result, c.Result);
    EXPECT_EQ(outcome.HandedOut, c.Result == S_OK);
    EXPECT_EQ(outcome.Text, c.Expanded);
  }
}

TEST_F(ExpansionTest, WithoutVariablesEveryReferenceFails) {
  EXPECT_EQ(Expand(nullptr, "%Module%").Result, DISP_E_EXCEPTION);
  Expansion plain = Expand(nullptr, "HKCR { A = s '100%%' }");
  EXPECT_EQ(plain.Result, S_OK);
  EXPECT_EQ(plain.Text, "HKCR { A = s '100%' }");
}

TEST_F(ExpansionTest, BufferGrowsPastTwiceTheTextWithoutOverrun) {
  std::wstring longValue(5000, L'v');
  ASSERT_EQ(AddVariable(&registrar_, L"Long", longValue.c_str()), S_OK);
  GuardedTaskMemory memory;  // after the table's copies, which outlive it
  ASSERT_TRUE(memory.Active());
  Expansion outcome = Expand(&registrar_, "<%Long%>");
  EXPECT_EQ(outcome.Result, S_OK);
  EXPECT_EQ(outcome.Text, "<" + std::string(5000, 'v') + ">");
  EXPECT_GT(memory.Reallocs(), 0);
  EXPECT_EQ(memory.Overruns(), 0);
  EXPECT_EQ(memory.LiveBlocks(), 0);
}

TEST_F(ExpansionTest, EmptyTextTakesItsTerminator) {
  GuardedTaskMemory memory;
  ASSERT_TRUE(memory.Active());
  Expansion outcome = Expand(&registrar_, "");
  EXPECT_EQ(outcome.Result, S_OK);
  EXPECT_TRUE(outcome.HandedOut);
  EXPECT_EQ(memory.Overruns(), 0);
  EXPECT_EQ(memory.LiveBlocks(), 0);
}

TEST_F(ExpansionTest, RefusedMemoryIsOutOfMemoryWithNothingHandedOut) {
  std::wstring longValue(100, L'v');
  ASSERT_EQ(AddVariable(&registrar_, L"Long", longValue.c_str()), S_OK);
  struct Case {
    const char* Text;
    bool RefuseFirstAllocation;  // else refuse the first growth
  };
  const Case cases[] = {{"HKCR { }", true}, {"", false}, {"%Long%", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    GuardedTaskMemory memory;
    ASSERT_TRUE(memory.Active());
    if (c.RefuseFirstAllocation) {
      memory.FailAllocFrom(1);
    } else {
      memory.FailReallocFrom(1);
    }
    Expansion outcome = Expand(&registrar_, c.Text);
    EXPECT_EQ(outcome.Result, E_OUTOFMEMORY);
    EXPECT_FALSE(outcome.HandedOut);
    EXPECT_EQ(memory.Overruns(), 0);
    EXPECT_EQ(memory.LiveBlocks(), 0);
  }
}

TEST_F(ExpansionTest, DoubleByteCharactersStayWhole) {
  // "%v%" gets a buffer of 6 bytes: five single bytes leave one byte of room
  // when the double-byte character arrives.
  ASSERT_EQ(AddVariable(&registrar_, L"v", L"abcde\x3042"), S_OK);
  ASSERT_EQ(AddVariable(&registrar_, L"w", L"\x3042"), S_OK);
  DoubleByteCodePage codePage;
  ASSERT_TRUE(codePage.Active());
  GuardedTaskMemory memory;
  ASSERT_TRUE(memory.Active());
  const std::string pair = DoubleByteCharacter;
  struct Case {
    std::string Text;
    std::string Expanded;
  };
  const Case cases[] = {
      {"%v%", "abcde" + pair},
      {"%w%%w%", pair + pair},
      {pair + "%%" + pair, pair + "%" + pair},
      {"\x82%%%", "\x82%%"},  // 82 25 is one character: only the last two make "%"
      {"x\x82", "x\x82"},   // a lead byte before the terminator stands alone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    Expansion outcome = Expand(&registrar_, c.Text);
    EXPECT_EQ(outcome.Result, S_OK);
    EXPECT_EQ(outcome.Text, c.Expanded);
  }
  EXPECT_EQ(memory.Overruns(), 0);
}

}  // namespace
