// Registration with one failing registry call: whichever call fails, the DLL
// reports a failure or success, never crashes, leaves nothing of the class
// behind after a failure, and the next registration is a clean one.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/registration/registration_table.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registry_sandbox.h"

namespace {

LONG RegistryCalls = 0;
LONG FailingCall = 0;
void* RealFunctions[9];

template <int Index, class Result, class... Arguments>
Result WINAPI FaultyRegistryCall(Arguments... arguments) {
  if (++RegistryCalls == FailingCall) {
    return ERROR_ACCESS_DENIED;
  }
  return reinterpret_cast<Result(WINAPI*)(Arguments...)>(RealFunctions[Index])(arguments...);
}

template <int Index, class Result, class... Arguments>
void* FaultyVersionOf(Result(WINAPI*)(Arguments...)) {
  return reinterpret_cast<void*>(&FaultyRegistryCall<Index, Result, Arguments...>);
}

// Every registry import that the script's run goes through.
class FaultyRegistry {
 public:
  explicit FaultyRegistry(HMODULE dll) {
    const std::pair<const char*, void*> functions[] = {
        {"RegOpenKeyExA", FaultyVersionOf<0>(&RegOpenKeyExA)},
        {"RegCreateKeyExA", FaultyVersionOf<1>(&RegCreateKeyExA)},
        {"RegCloseKey", FaultyVersionOf<2>(&RegCloseKey)},
        {"RegSetValueExA", FaultyVersionOf<3>(&RegSetValueExA)},
        {"RegDeleteValueA", FaultyVersionOf<4>(&RegDeleteValueA)},
        {"RegDeleteKeyA", FaultyVersionOf<5>(&RegDeleteKeyA)},
        {"RegEnumKeyExA", FaultyVersionOf<6>(&RegEnumKeyExA)},
        {"RegQueryInfoKeyA", FaultyVersionOf<7>(&RegQueryInfoKeyA)},
        {"RegEnumValueA", FaultyVersionOf<8>(&RegEnumValueA)},
    };
    int index = 0;
    for (const auto& [name, replacement] : functions) {
      patches_.push_back(std::make_unique<ImportPatch>(dll, nullptr, name, replacement));
      RealFunctions[index++] = patches_.back()->Original();
    }
  }
  // The script must reach the registry through at least these.
  bool Active() const { return patches_[0]->Active() && patches_[1]->Active() && patches_[3]->Active(); }

 private:
  std::vector<std::unique_ptr<ImportPatch>> patches_;
};

std::vector<std::string> CleanRegistration() {
  RegistrySandbox sandbox{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
  LoadedDll dll;
  EXPECT_EQ(dll.DllRegisterServer(), S_OK);
  return sandbox.DumpAll();
}

TEST(RegistryFaultTest, AnyFailingRegistryCallIsReportedOrHarmless) {
  const std::vector<std::string> clean = CleanRegistration();
  ASSERT_FALSE(clean.empty());
  int failures = 0;
  for (FailingCall = 1;; ++FailingCall) {
    RegistrySandbox sandbox{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
    ASSERT_TRUE(sandbox.Active());
    LoadedDll dll;
    ASSERT_NE(dll.Handle(), nullptr);
    HRESULT result;
    {
      FaultyRegistry registry(dll.Handle());
      ASSERT_TRUE(registry.Active());
      RegistryCalls = 0;
      result = dll.DllRegisterServer();
    }
    if (RegistryCalls < FailingCall) {
      EXPECT_EQ(result, S_OK);
      break;
    }
    if (FAILED(result)) {
      ++failures;
      SplitDump split = SplitTypeLibraryEntries(sandbox.Dump(HKEY_CLASSES_ROOT));
      EXPECT_TRUE(split.Class.empty() || split.Class == std::vector<std::string>{"CLSID"})
          << "call " << FailingCall << ": " << ::testing::PrintToString(split.Class);
      EXPECT_EQ(split.TypeLibrary, std::vector<std::string>{}) << "call " << FailingCall;
    } else {
      EXPECT_EQ(result, S_OK) << "call " << FailingCall;
    }
    EXPECT_EQ(dll.DllRegisterServer(), S_OK) << "call " << FailingCall;
    EXPECT_EQ(sandbox.DumpAll(), clean) << "call " << FailingCall;
  }
  EXPECT_GT(FailingCall, 20);
  EXPECT_GT(failures, 0);
  std::printf("%ld registry calls in one registration; %d of them fail it when they fail\n", FailingCall - 1,
              failures);
}

}  // namespace
