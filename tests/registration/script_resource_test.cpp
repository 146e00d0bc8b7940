// Reading a class's script resource: the loader's errors, the handle's release,
// the module path's limits, and text that is not followed by a zero byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "registrar/registrar.h"
#include "registrar/script_resource.h"
#include "tests/support/test_module.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registry_sandbox.h"

namespace {

const HRESULT ResourceTypeNotFound = HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
const HRESULT ResourceNameNotFound = HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
const HRESULT PathTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Data files opened by the product code and not yet released.
std::set<HMODULE> OpenDataFiles;
int DataFileOpens = 0;
decltype(&LoadLibraryExA) RealLoadLibraryExA;
decltype(&FreeLibrary) RealFreeLibrary;

HMODULE WINAPI TrackingLoadLibraryExA(LPCSTR path, HANDLE file, DWORD flags) {
  HMODULE module = RealLoadLibraryExA(path, file, flags);
  ++DataFileOpens;
  if (module != nullptr) {
    OpenDataFiles.insert(module);
  }
  return module;
}

BOOL WINAPI TrackingFreeLibrary(HMODULE module) {
  OpenDataFiles.erase(module);
  return RealFreeLibrary(module);
}

HMODULE WINAPI LoadLibraryExFailingSilently(LPCSTR, HANDLE, DWORD) {
  SetLastError(0);
  return nullptr;
}

HRSRC WINAPI FindResourceFailingSilently(HMODULE, LPCSTR, LPCSTR) {
  SetLastError(0);
  return nullptr;
}

HGLOBAL WINAPI LoadResourceFailingSilently(HMODULE, HRSRC) {
  SetLastError(0);
  return nullptr;
}

// Tracks the data files that the product code opens through the test program's imports.
class DataFileTracker {
 public:
  DataFileTracker()
      : load_(GetModuleHandle(nullptr), nullptr, "LoadLibraryExA", reinterpret_cast<void*>(&TrackingLoadLibraryExA)),
        free_(GetModuleHandle(nullptr), nullptr, "FreeLibrary", reinterpret_cast<void*>(&TrackingFreeLibrary)) {
    RealLoadLibraryExA = load_.OriginalAs<decltype(&LoadLibraryExA)>();
    RealFreeLibrary = free_.OriginalAs<decltype(&FreeLibrary)>();
    OpenDataFiles.clear();
    DataFileOpens = 0;
  }
  bool Active() const { return load_.Active() && free_.Active(); }

 private:
  ImportPatch load_;
  ImportPatch free_;
};

class ScriptResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll_.Handle(), nullptr);
    ASSERT_TRUE(sandbox_.Active());
    ConstructRegistrar(&registrar_);
    ASSERT_EQ(AddVariable(&registrar_, L"Module", Wide(dll_.Path()).c_str()), S_OK);
  }
  void TearDown() override { DestroyRegistrar(&registrar_); }

  HRESULT Run(WORD id, const char* type, BOOL registering = TRUE) {
    return RunScriptResource(&registrar_, Wide(dll_.Path()).c_str(), id, type, registering);
  }

  LoadedDll dll_;
  RegistrySandbox sandbox_{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
  TestModule module_{NoClasses, dll_.Handle()};
  Registrar registrar_;
};

TEST_F(ScriptResourceTest, LoaderErrorsMapToWin32ResultsAndReleaseTheFile) {
  DataFileTracker tracker;
  ASSERT_TRUE(tracker.Active());
  EXPECT_EQ(Run(101, "NOSUCHTYPE"), ResourceTypeNotFound);
  EXPECT_EQ(Run(102, "REGISTRY"), ResourceNameNotFound);
  EXPECT_EQ(Run(101, "REGISTRY", FALSE), S_OK);  // removal with nothing registered
  EXPECT_EQ(DataFileOpens, 3);
  EXPECT_TRUE(OpenDataFiles.empty());

  HRESULT missing = RunScriptResource(&registrar_, L"C:\\no such dir\\ZIRPEL.dll", 101, "REGISTRY", TRUE);
  EXPECT_EQ(HRESULT_FACILITY(missing), FACILITY_WIN32);
  EXPECT_TRUE(FAILED(missing));
  EXPECT_TRUE(sandbox_.DumpAll().empty());
}

TEST_F(ScriptResourceTest, ResourceIdentifierKeepsItsLow16Bits) {
  EXPECT_EQ(RegisterScriptResource(&registrar_, Wide(dll_.Path()).c_str(), L"REGISTRY", 0x10000 + 102),
            ResourceNameNotFound);
  EXPECT_EQ(RegisterScriptResource(&registrar_, Wide(dll_.Path()).c_str(), L"registry", 0x10000 + 101), S_OK);
  EXPECT_EQ(UnregisterScriptResource(&registrar_, Wide(dll_.Path()).c_str(), L"REGISTRY", 0x20000 + 101), S_OK);
  EXPECT_EQ(sandbox_.Dump(HKEY_CLASSES_ROOT), std::vector<std::string>{"CLSID"});
}

TEST_F(ScriptResourceTest, LastErrorOfZeroCountsAsDoneWithoutRunningTheScript) {
  const std::pair<const char*, void*> failures[] = {
      {"LoadLibraryExA", reinterpret_cast<void*>(&LoadLibraryExFailingSilently)},
      {"FindResourceA", reinterpret_cast<void*>(&FindResourceFailingSilently)},
      {"LoadResource", reinterpret_cast<void*>(&LoadResourceFailingSilently)},
  };
  for (const auto& [function, replacement] : failures) {
    DataFileTracker tracker;
    ImportPatch patch(GetModuleHandle(nullptr), nullptr, function, replacement);
    ASSERT_TRUE(patch.Active()) << function;
    EXPECT_EQ(Run(101, "REGISTRY"), S_OK) << function;
    EXPECT_TRUE(OpenDataFiles.empty()) << function;
    EXPECT_TRUE(sandbox_.DumpAll().empty()) << function;
  }
}

// Module paths that cannot be read whole make ApplyClassScript fail before any file is opened.
std::string ShortPathResult;
DWORD ShortPathLength = 0;
DWORD ShortPathError = 0;

DWORD WINAPI FakeGetShortPathNameA(LPCSTR, LPSTR buffer, DWORD size) {
  if (ShortPathLength != 0 && ShortPathLength < size) {
    lstrcpynA(buffer, ShortPathResult.c_str(), size);
  }
  SetLastError(ShortPathError);
  return ShortPathLength;
}

DWORD WINAPI TruncatingGetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  // What a path of MAX_PATH characters or more gives: a full buffer without terminator.
  memset(buffer, 'x', size);
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

struct ShortPathCase {
  DWORD Length;
  DWORD Error;
  HRESULT Expected;
};

TEST_F(ScriptResourceTest, UnreadableModulePathsFailBeforeAnyFileIsOpened) {
  {
    DataFileTracker tracker;
    ImportPatch patch(GetModuleHandle(nullptr), nullptr, "GetModuleFileNameA",
                      reinterpret_cast<void*>(&TruncatingGetModuleFileNameA));
    ASSERT_TRUE(patch.Active());
    EXPECT_EQ(ApplyClassScript(101, TRUE), PathTooLong);
    EXPECT_EQ(DataFileOpens, 0);
  }
  const ShortPathCase cases[] = {
      {0, ERROR_FILE_NOT_FOUND, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
      {0, 0, E_FAIL},
      {MAX_PATH, 0, PathTooLong},
      {MAX_PATH + 40, 0, PathTooLong},
  };
  for (const ShortPathCase& test : cases) {
    ShortPathLength = test.Length;
    ShortPathError = test.Error;
    DataFileTracker tracker;
    ImportPatch patch(GetModuleHandle(nullptr), nullptr, "GetShortPathNameA",
                      reinterpret_cast<void*>(&FakeGetShortPathNameA));
    ASSERT_TRUE(patch.Active());
    EXPECT_EQ(ApplyClassScript(101, TRUE), test.Expected) << test.Length;
    EXPECT_EQ(DataFileOpens, 0);
  }
  EXPECT_TRUE(sandbox_.DumpAll().empty());
}

// Pages for text at the very end of readable memory.
class PagePair {
 public:
  explicit PagePair(DWORD secondPage) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_ = system.dwPageSize;
    base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * size_, MEM_RESERVE, PAGE_NOACCESS));
    VirtualAlloc(base_, size_, MEM_COMMIT, PAGE_READWRITE);
    if (secondPage != 0) {
      VirtualAlloc(base_ + size_, size_, MEM_COMMIT, secondPage);
    }
  }
  ~PagePair() { VirtualFree(base_, 0, MEM_RELEASE); }
  // Places text so that its last byte is the last byte of the first page.
  char* PlaceAtPageEnd(const std::string& text) {
    char* start = base_ + size_ - text.size();
    memcpy(start, text.data(), text.size());
    return start;
  }

 private:
  char* base_ = nullptr;
  DWORD size_ = 0;
};

TEST(FollowedByZeroTest, OnlyAReadableZeroByteCounts) {
  char text[] = "HKCR { }\0HKCR { }X";
  EXPECT_TRUE(IsFollowedByZero(text, 8));
  EXPECT_FALSE(IsFollowedByZero(text + 9, 8));
  EXPECT_FALSE(IsFollowedByZero(nullptr, 0));
  // Nothing readable after the first page: the byte past the text is never touched.
  for (DWORD secondPage : {DWORD{0}, DWORD{PAGE_NOACCESS}, DWORD{PAGE_READONLY | PAGE_GUARD}}) {
    PagePair pages(secondPage);
    EXPECT_FALSE(IsFollowedByZero(pages.PlaceAtPageEnd("HKCR { }"), 8)) << secondPage;
  }
  PagePair readable(PAGE_READWRITE);
  EXPECT_TRUE(IsFollowedByZero(readable.PlaceAtPageEnd("HKCR { }"), 8));
}

TEST(FollowedByZeroTest, TheDllsOwnScriptIsUsedInPlace) {
  HMODULE file = LoadLibraryExA((TestProgramDirectory() + "ZIRPEL.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(file, nullptr);
  HRSRC resource = FindResourceA(file, MAKEINTRESOURCEA(101), "REGISTRY");
  ASSERT_NE(resource, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(file, resource)));
  EXPECT_TRUE(IsFollowedByZero(text, SizeofResource(file, resource)));
  FreeLibrary(file);
}

TEST_F(ScriptResourceTest, TextIsExactlyTheGivenBytesAndStaysUnchanged) {
  // Past the given bytes stands a second section that would fail the run if it were read.
  const std::string stored = "HKCR\r\n{\r\n\tA = s 'x'\r\n}\r\nHKXX { }";
  const DWORD size = static_cast<DWORD>(stored.find("HKXX"));
  std::string memory = stored;
  EXPECT_EQ(RunScriptBytes(&registrar_, memory.data(), size, TRUE), S_OK);
  EXPECT_EQ(memory, stored);
  EXPECT_EQ(sandbox_.Dump(HKEY_CLASSES_ROOT), (std::vector<std::string>{"A", "A = REG_SZ \"x\\0\""}));

  PagePair pages(PAGE_NOACCESS);
  const std::string atEnd = stored.substr(0, size);
  EXPECT_EQ(RunScriptBytes(&registrar_, pages.PlaceAtPageEnd(atEnd), size, FALSE), S_OK);
  EXPECT_TRUE(sandbox_.Dump(HKEY_CLASSES_ROOT).empty());
}

}  // namespace
