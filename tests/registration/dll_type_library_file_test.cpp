// A DLL without its type library inside: registration loads the library from
// the ".tlb" file beside it, or fails with the second load's result and keeps
// the class's registry entries.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "tests/registration/registration_table.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registry_sandbox.h"

namespace {

const char* const Variant = "ZIRPEL_without_type_library.dll";

std::string TypeLibraryPathValue(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    size_t at = line.find("\\1.0\\0\\win");
    if (at != std::string::npos && line.find(" = REG_SZ \"", at) != std::string::npos) {
      size_t start = line.find('"') + 1;
      return line.substr(start, line.size() - start - 3);  // without \0"
    }
  }
  return "(none)";
}

class TypeLibraryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(copy_.Ready());
    ASSERT_TRUE(sandbox_.Active());
    ASSERT_TRUE(ReadResource(copy_.Directory() + "ZIRPEL.dll", "TYPELIB", 1).empty());
  }

  DllCopy copy_{"no type library", Variant};
  RegistrySandbox sandbox_{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
};

TEST_F(TypeLibraryFileTest, RegistersFromTheTlbBesideTheDll) {
  std::vector<BYTE> library = ReadResource(TestProgramDirectory() + "ZIRPEL.dll", "TYPELIB", 1);
  ASSERT_FALSE(library.empty());
  ASSERT_TRUE(copy_.WriteFile("ZIRPEL.tlb", library));
  LoadedDll dll(copy_.RelativeName().c_str());
  ASSERT_NE(dll.Handle(), nullptr);

  ASSERT_EQ(dll.DllRegisterServer(), S_OK);
  SplitDump split = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(split.Class, ExpectedClassTable(ShortPath(dll.Path())));
  EXPECT_EQ(TypeLibraryPathValue(split.TypeLibrary), copy_.Directory() + "ZIRPEL.tlb");
  const std::string helpDirectory = " = REG_SZ \"" + copy_.Directory() + "\\0\"";
  bool found = false;
  for (const std::string& line : split.TypeLibrary) {
    found = found || (line.find("\\HELPDIR") != std::string::npos && line.find(helpDirectory) != std::string::npos);
  }
  EXPECT_TRUE(found) << ::testing::PrintToString(split.TypeLibrary);

  EXPECT_EQ(dll.DllUnregisterServer(), S_OK);
  split = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(split.Class, std::vector<std::string>{"CLSID"});
  EXPECT_TRUE(OnlyTypeLibraryParents(split.TypeLibrary)) << ::testing::PrintToString(split.TypeLibrary);
}

TEST_F(TypeLibraryFileTest, WithoutAnyTypeLibraryFailsWithTheSecondLoadAndKeepsTheClass) {
  LoadedDll dll(copy_.RelativeName().c_str());
  ASSERT_NE(dll.Handle(), nullptr);
  ITypeLib* library = nullptr;
  const std::string tlb = copy_.Directory() + "ZIRPEL.tlb";
  HRESULT secondLoad = LoadTypeLib(std::wstring(tlb.begin(), tlb.end()).c_str(), &library);
  ASSERT_TRUE(FAILED(secondLoad));

  EXPECT_EQ(dll.DllRegisterServer(), secondLoad);
  SplitDump split = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(split.Class, ExpectedClassTable(ShortPath(dll.Path())));
  EXPECT_EQ(split.TypeLibrary, std::vector<std::string>{});
  EXPECT_EQ(dll.DllUnregisterServer(), S_OK);
  EXPECT_EQ(sandbox_.Dump(HKEY_CLASSES_ROOT), std::vector<std::string>{"CLSID"});
}

}  // namespace
