// The Module variable: whatever the module's path holds reaches the registry
// as the InprocServer32 value, unchanged, and never as script text.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/registration/registration_table.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registry_sandbox.h"

namespace {

// The platform may shorten a path's parts; this one hands the path back whole.
DWORD WINAPI UnchangedShortPathName(LPCSTR path, LPSTR buffer, DWORD size) {
  DWORD length = static_cast<DWORD>(lstrlenA(path));
  if (length >= size) {
    return length + 1;
  }
  lstrcpyA(buffer, path);
  return length;
}

std::string InprocServer(const std::vector<std::string>& dump) {
  const std::string prefix = std::string("CLSID\\") + LongBeepClassId + "\\InprocServer32 = REG_SZ \"";
  for (const std::string& line : dump) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      return line.substr(prefix.size(), line.size() - prefix.size() - 3);  // without \0"
    }
  }
  return "(none)";
}

class ModulePathTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ModulePathTest, InprocServerHoldsThePathExactlyAndNothingElseIsWritten) {
  DllCopy copy(GetParam(), "ZIRPEL.dll");
  ASSERT_TRUE(copy.Ready()) << copy.Directory();
  RegistrySandbox sandbox{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
  ASSERT_TRUE(sandbox.Active());
  LoadedDll dll(copy.RelativeName().c_str());
  ASSERT_NE(dll.Handle(), nullptr);
  ImportPatch patch(dll.Handle(), nullptr, "GetShortPathNameA", reinterpret_cast<void*>(&UnchangedShortPathName));
  ASSERT_TRUE(patch.Active());

  ASSERT_EQ(dll.DllRegisterServer(), S_OK);
  SplitDump split = SplitTypeLibraryEntries(sandbox.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(InprocServer(split.Class), dll.Path());
  EXPECT_EQ(split.Class, ExpectedClassTable(dll.Path()));
  EXPECT_TRUE(AllOwnTypeLibraryEntries(split.TypeLibrary));
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
    EXPECT_EQ(sandbox.Dump(root), std::vector<std::string>{}) << RootShortName(root);
  }

  EXPECT_EQ(dll.DllUnregisterServer(), S_OK);
  split = SplitTypeLibraryEntries(sandbox.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(split.Class, std::vector<std::string>{"CLSID"});
}

// Directory names that would change the script if the path were pasted into it unquoted.
INSTANTIATE_TEST_SUITE_P(Directories, ModulePathTest,
                         ::testing::Values("O'Hara", "it''s", "two  blanks", "{braces}", "100%", "a=b", "%%",
                                           "'%MODULE%'", "x' } } HKLM { Evil = s 'y", "end'"));

TEST(RealShortPathTest, ApostropheDirectoryRegistersFromThere) {
  DllCopy copy("O'Hara", "ZIRPEL.dll");
  ASSERT_TRUE(copy.Ready());
  RegistrySandbox sandbox{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
  ASSERT_TRUE(sandbox.Active());
  LoadedDll dll(copy.RelativeName().c_str());
  ASSERT_NE(dll.Handle(), nullptr);
  const std::string shortPath = ShortPath(dll.Path());
  ASSERT_NE(shortPath.find("O'Hara"), std::string::npos) << shortPath;

  ASSERT_EQ(dll.DllRegisterServer(), S_OK);
  SplitDump split = SplitTypeLibraryEntries(sandbox.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(split.Class, ExpectedClassTable(shortPath));
  EXPECT_EQ(dll.DllUnregisterServer(), S_OK);
}

}  // namespace
