// The registrar's table of variables.
#include <objbase.h>

#include <cstdio>
#include <string>

#include "registrar/registrar.h"
#include "registrar/script_format.h"
#include "tests/registrar/module_fixture.h"
#include "tests/support/import_patch.h"

namespace {

std::wstring Numbered(int i) {
  wchar_t text[16];
  swprintf(text, 16, L"v%d", i);
  return text;
}

class VariableTableTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ConstructRegistrar(&registrar_);
  }
  void TearDown() override {
    DestroyRegistrar(&registrar_);
    ModuleTest::TearDown();
  }
  void AddNumbered(int from, int to) {
    for (int i = from; i < to; ++i) {
      std::wstring name = Numbered(i);
      ASSERT_EQ(AddVariable(&registrar_, name.c_str(), name.c_str()), S_OK);
    }
  }
  const VariableTable& Table() const { return registrar_.Variables; }
  Registrar registrar_;
};

TEST_F(VariableTableTest, CapacityDoublesWhenAFullTableTakesOneMore) {
  EXPECT_EQ(Table().Count, 0);
  EXPECT_EQ(Table().Capacity, 10);
  EXPECT_NE(Table().Items, nullptr);
  const std::pair<int, LONG> steps[] = {{10, 10}, {11, 20}, {20, 20}, {21, 40}};
  int added = 0;
  for (const auto& [count, capacity] : steps) {
    AddNumbered(added, count);
    added = count;
    EXPECT_EQ(Table().Count, count);
    EXPECT_EQ(Table().Capacity, capacity);
  }
  for (int i = 0; i < added; ++i) {
    char name[16];
    snprintf(name, sizeof name, "V%d", i);
    const wchar_t* value = FindVariable(&registrar_, name);
    ASSERT_NE(value, nullptr) << name;
    EXPECT_EQ(std::wstring(value), Numbered(i));
  }
}

TEST_F(VariableTableTest, CopiesAreTheTablesOwn) {
  {
    wchar_t name[] = L"Module";
    wchar_t value[] = L"C:\\first";
    ASSERT_EQ(AddVariable(&registrar_, name, value), S_OK);
    name[0] = L'X';
    value[0] = L'X';
  }
  ASSERT_EQ(AddVariable(&registrar_, L"MODULE", L"C:\\second"), S_OK);
  EXPECT_EQ(Table().Count, 2);
  EXPECT_STREQ(FindVariable(&registrar_, "module"), L"C:\\first");
  EXPECT_EQ(FindVariable(&registrar_, "Xodule"), nullptr);
  EXPECT_EQ(FindVariable(&registrar_, "Modul"), nullptr);
}

TEST_F(VariableTableTest, ClearKeepsTheSlots) {
  EXPECT_EQ(ClearVariables(&registrar_), S_OK);
  EXPECT_EQ(FindVariable(&registrar_, "v0"), nullptr);
  AddNumbered(0, 11);
  VariableEntry** items = Table().Items;
  EXPECT_EQ(ClearVariables(&registrar_), S_OK);
  EXPECT_EQ(Table().Count, 0);
  EXPECT_EQ(Table().Capacity, 20);
  EXPECT_EQ(Table().Items, items);
  EXPECT_EQ(FindVariable(&registrar_, "v0"), nullptr);
  ASSERT_EQ(AddVariable(&registrar_, L"again", L"yes"), S_OK);
  EXPECT_EQ(Table().Items, items);
  EXPECT_EQ(Table().Count, 1);
  EXPECT_STREQ(FindVariable(&registrar_, "AGAIN"), L"yes");
}

TEST_F(VariableTableTest, EmptyAndLongTexts) {
  std::wstring longName(600, L'n');
  std::wstring longValue(100000, L'v');
  ASSERT_EQ(AddVariable(&registrar_, L"", L""), S_OK);
  ASSERT_EQ(AddVariable(&registrar_, longName.c_str(), longValue.c_str()), S_OK);
  EXPECT_STREQ(FindVariable(&registrar_, ""), L"");
  EXPECT_EQ(FindVariable(&registrar_, std::string(600, 'N').c_str()), longValue);
}

// Refusals injected into the test program's own imports.
int refuseTaskAllocFrom = 0;
int taskAllocCalls = 0;
decltype(&CoTaskMemAlloc) realTaskAlloc = nullptr;
bool refuseHeapReAlloc = false;
decltype(&HeapReAlloc) realHeapReAlloc = nullptr;

LPVOID WINAPI RefusingTaskAlloc(SIZE_T size) {
  return refuseTaskAllocFrom != 0 && ++taskAllocCalls >= refuseTaskAllocFrom ? nullptr : realTaskAlloc(size);
}

bool refuseHeapAlloc = false;
decltype(&HeapAlloc) realHeapAlloc = nullptr;

LPVOID WINAPI RefusingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  return refuseHeapAlloc ? nullptr : realHeapAlloc(heap, flags, size);
}

LPVOID WINAPI RefusingHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  return refuseHeapReAlloc ? nullptr : realHeapReAlloc(heap, flags, block, size);
}

TEST_F(VariableTableTest, RefusedCopyLeavesTheTableAsItWas) {
  ImportPatch patch(GetModuleHandle(nullptr), nullptr, "CoTaskMemAlloc", reinterpret_cast<void*>(&RefusingTaskAlloc));
  ASSERT_TRUE(patch.Active());
  realTaskAlloc = patch.OriginalAs<decltype(&CoTaskMemAlloc)>();
  ASSERT_EQ(AddVariable(&registrar_, L"kept", L"1"), S_OK);
  for (int refused : {1, 2}) {  // the name's copy, then the value's
    taskAllocCalls = 0;
    refuseTaskAllocFrom = refused;
    EXPECT_EQ(AddVariable(&registrar_, L"lost", L"2"), E_OUTOFMEMORY);
    refuseTaskAllocFrom = 0;
    EXPECT_EQ(Table().Count, 1);
    EXPECT_EQ(FindVariable(&registrar_, "lost"), nullptr);
  }
  EXPECT_STREQ(FindVariable(&registrar_, "kept"), L"1");
}

TEST_F(VariableTableTest, RefusedGrowthKeepsTheFullTableConsistent) {
  AddNumbered(0, 10);
  {
    ImportPatch patch(GetModuleHandle(nullptr), nullptr, "HeapReAlloc", reinterpret_cast<void*>(&RefusingHeapReAlloc));
    ASSERT_TRUE(patch.Active());
    realHeapReAlloc = patch.OriginalAs<decltype(&HeapReAlloc)>();
    refuseHeapReAlloc = true;
    EXPECT_EQ(AddVariable(&registrar_, L"eleventh", L"x"), E_OUTOFMEMORY);
    refuseHeapReAlloc = false;
  }
  EXPECT_EQ(Table().Count, 10);
  EXPECT_EQ(Table().Capacity, 10);
  EXPECT_EQ(FindVariable(&registrar_, "eleventh"), nullptr);
  EXPECT_STREQ(FindVariable(&registrar_, "v9"), L"v9");
  ASSERT_EQ(AddVariable(&registrar_, L"eleventh", L"x"), S_OK);
  EXPECT_EQ(Table().Capacity, 20);
}

TEST_F(VariableTableTest, ConstructionWithoutSlotsCountsNone) {
  Registrar empty;
  {
    ImportPatch patch(GetModuleHandle(nullptr), nullptr, "HeapAlloc", reinterpret_cast<void*>(&RefusingHeapAlloc));
    ASSERT_TRUE(patch.Active());
    realHeapAlloc = patch.OriginalAs<decltype(&HeapAlloc)>();
    refuseHeapAlloc = true;
    ConstructRegistrar(&empty);
    refuseHeapAlloc = false;
  }
  EXPECT_EQ(empty.Variables.Count, 0);
  EXPECT_EQ(empty.Variables.Items, nullptr);
  EXPECT_EQ(FindVariable(&empty, "any"), nullptr);
  EXPECT_EQ(ClearVariables(&empty), S_OK);
  ASSERT_EQ(AddVariable(&empty, L"late", L"1"), S_OK);
  EXPECT_EQ(empty.Variables.Capacity, 10);
  EXPECT_STREQ(FindVariable(&empty, "late"), L"1");
  DestroyRegistrar(&empty);
}

}  // namespace
