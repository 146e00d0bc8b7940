// DllRegisterServer and DllUnregisterServer through the real DLL, with every
// registry root redirected: what is written, and that nothing else is.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "tests/registration/registration_table.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registry_sandbox.h"

namespace {

struct TypeLibraryRegistration {
  std::wstring Path;
  std::wstring HelpDirectory;
};
std::vector<TypeLibraryRegistration> TypeLibraryRegistrations;
decltype(&RegisterTypeLib) RealRegisterTypeLib;

HRESULT WINAPI RecordingRegisterTypeLib(ITypeLib* library, OLECHAR* path, OLECHAR* helpDirectory) {
  TypeLibraryRegistrations.push_back({path, helpDirectory == nullptr ? L"(null)" : helpDirectory});
  return RealRegisterTypeLib(library, path, helpDirectory);
}

FARPROC WINAPI GetProcAddressWithoutRemoval(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && lstrcmpA(name, "UnRegisterTypeLib") == 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return GetProcAddress(module, name);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::vector<std::string> Concat(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  std::sort(lines.begin(), lines.end());
  return lines;
}

class DllRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll_.Handle(), nullptr);
    ASSERT_TRUE(sandbox_.Active());
    table_ = ExpectedClassTable(ShortPath(dll_.Path()));
  }

  // Every root but HKCR stays empty; HKCR's type-library part belongs to ZIRPELLib.
  void ExpectOnlyHkcr(const std::vector<std::string>& expectedClass) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
      EXPECT_EQ(sandbox_.Dump(root), std::vector<std::string>{}) << RootShortName(root);
    }
    SplitDump split = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT));
    EXPECT_EQ(split.Class, expectedClass);
    EXPECT_TRUE(AllOwnTypeLibraryEntries(split.TypeLibrary)) << ::testing::PrintToString(split.TypeLibrary);
  }

  LoadedDll dll_;
  RegistrySandbox sandbox_{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
  std::vector<std::string> table_;
};

TEST_F(DllRegistrationTest, WritesTheClassTableAndTheTypeLibraryOnly) {
  ImportPatch patch(dll_.Handle(), "oleaut32.dll", "RegisterTypeLib", reinterpret_cast<void*>(&RecordingRegisterTypeLib));
  ASSERT_TRUE(patch.Active());
  RealRegisterTypeLib = patch.OriginalAs<decltype(&RegisterTypeLib)>();
  TypeLibraryRegistrations.clear();

  ASSERT_EQ(dll_.DllRegisterServer(), S_OK);
  ExpectOnlyHkcr(table_);
  ASSERT_EQ(TypeLibraryRegistrations.size(), 1u);
  EXPECT_EQ(TypeLibraryRegistrations[0].Path, Wide(dll_.Path()));
  EXPECT_EQ(TypeLibraryRegistrations[0].HelpDirectory, Wide(DirectoryOf(dll_.Path())));

  std::vector<std::string> library = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT)).TypeLibrary;
  const std::string version = std::string("Typelib\\") + ZirpelLibraryId + "\\1.0";
  EXPECT_NE(std::find(library.begin(), library.end(), version + "\\HELPDIR = REG_SZ \"" + DirectoryOf(dll_.Path()) + "\\0\""),
            library.end())
      << ::testing::PrintToString(library);
}

TEST_F(DllRegistrationTest, RegisteringAgainReplacesTheClassKeyButKeepsProgIdExtras) {
  ASSERT_EQ(dll_.DllRegisterServer(), S_OK);
  const std::vector<std::string> once = sandbox_.Dump(HKEY_CLASSES_ROOT);
  ASSERT_EQ(dll_.DllRegisterServer(), S_OK);
  EXPECT_EQ(sandbox_.Dump(HKEY_CLASSES_ROOT), once);

  const std::string classKey = std::string("CLSID\\") + LongBeepClassId;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (classKey + "\\Stray\\Deeper").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, classKey.c_str(), "Stray value", REG_SZ, "x", 2), ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, "ZIRPEL.LongBeep\\Extra", nullptr, REG_SZ, "kept", 5), ERROR_SUCCESS);

  ASSERT_EQ(dll_.DllRegisterServer(), S_OK);
  EXPECT_EQ(sandbox_.Dump(HKEY_CLASSES_ROOT),
            Concat(once, {"ZIRPEL.LongBeep\\Extra", "ZIRPEL.LongBeep\\Extra = REG_SZ \"kept\\0\""}));
}

TEST_F(DllRegistrationTest, RegisterThenUnregisterLeavesOnlyClsid) {
  ASSERT_EQ(dll_.DllRegisterServer(), S_OK);
  EXPECT_EQ(dll_.DllUnregisterServer(), S_OK);
  ExpectOnlyHkcr({"CLSID"});
  std::vector<std::string> library = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT)).TypeLibrary;
  EXPECT_TRUE(OnlyTypeLibraryParents(library)) << ::testing::PrintToString(library);
}

TEST_F(DllRegistrationTest, UnregisteringWithNothingRegisteredSucceedsAndWritesNothing) {
  EXPECT_EQ(dll_.DllUnregisterServer(), S_OK);
  EXPECT_EQ(sandbox_.DumpAll(), std::vector<std::string>{});
}

TEST_F(DllRegistrationTest, UnregisteringWithoutTheRemovalEntryLeavesTheTypeLibrary) {
  ASSERT_EQ(dll_.DllRegisterServer(), S_OK);
  const std::vector<std::string> library = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT)).TypeLibrary;
  ImportPatch patch(dll_.Handle(), "kernel32.dll", "GetProcAddress",
                    reinterpret_cast<void*>(&GetProcAddressWithoutRemoval));
  ASSERT_TRUE(patch.Active());
  EXPECT_EQ(dll_.DllUnregisterServer(), S_OK);
  SplitDump split = SplitTypeLibraryEntries(sandbox_.Dump(HKEY_CLASSES_ROOT));
  EXPECT_EQ(split.Class, std::vector<std::string>{"CLSID"});
  EXPECT_EQ(split.TypeLibrary, library);
}

}  // namespace
