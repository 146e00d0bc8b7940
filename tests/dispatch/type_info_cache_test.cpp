// The cache linked directly, over a module record of the test's own, so the
// cleanup list can be examined: two threads making their first late-bound
// calls at once.
#include <gtest/gtest.h>
#include <windows.h>

#include "longbeep/identifiers.h"
#include "longbeep/type_info_cache.h"
#include "server/server_module.h"
#include "tests/dispatch/counting_type_library.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registered_type_library.h"

namespace {

// Signals when the second thread reaches the load lock.
CRITICAL_SECTION* watchedLock = nullptr;
DWORD secondThreadId = 0;
HANDLE secondArrived = nullptr;
ImportPatch* enterPatch = nullptr;

void WINAPI WatchingEnterCriticalSection(CRITICAL_SECTION* lock) {
  if (lock == watchedLock && GetCurrentThreadId() == secondThreadId) {
    SetEvent(secondArrived);
  }
  enterPatch->OriginalAs<void(WINAPI*)(CRITICAL_SECTION*)>()(lock);
}

struct Lookup {
  TypeInfoCache* Cache;
  HRESULT Result = E_FAIL;
  DISPID Id = 0;
};

DWORD WINAPI LookUpBeepSound(void* argument) {
  auto* lookup = static_cast<Lookup*>(argument);
  LPOLESTR name = const_cast<LPOLESTR>(L"BeepSound");
  lookup->Result = ResolveNames(lookup->Cache, &name, 1, LOCALE_USER_DEFAULT, &lookup->Id);
  return 0;
}

int CleanupsOf(const ServerModule& module, const TypeInfoCache* cache) {
  int count = 0;
  for (CleanupNode* node = module.CleanupList; node != nullptr; node = node->Next) {
    if (node->Argument == cache && node->Callback == &ReleaseTypeInfoCache) {
      ++count;
    }
  }
  return count;
}

TEST(TypeInfoCacheThreads, TwoFirstCallsAtOnceLoadOnceAndRegisterTheCleanupTwice) {
  RegisteredTypeLibrary library(TestProgramDirectory() + "ZIRPEL.dll");
  ASSERT_EQ(library.Result(), S_OK);
  ServerModule module = {};
  StartModule(&module, nullptr, GetModuleHandle(nullptr), nullptr);
  TypeInfoCache cache = {IID_ILongBeep, LIBID_ZIRPELLib, 1, 0, nullptr, nullptr, 0};
  TypeLibraryDoubleState& state = CountingTypeLibraryLoader::State();
  {
    CountingTypeLibraryLoader loader(GetModuleHandle(nullptr));
    ASSERT_TRUE(loader.Active());
    ImportPatch enter(GetModuleHandle(nullptr), nullptr, "EnterCriticalSection",
                      reinterpret_cast<void*>(&WatchingEnterCriticalSection));
    ASSERT_TRUE(enter.Active());
    enterPatch = &enter;
    watchedLock = &module.TypeInfoLock;
    secondArrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE loading = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // The first thread holds the lock inside the load until the second is at the lock.
    state.OnLoad = [&] {
      SetEvent(loading);
      WaitForSingleObject(secondArrived, 10000);
    };

    Lookup first{&cache}, second{&cache};
    HANDLE firstThread = CreateThread(nullptr, 0, &LookUpBeepSound, &first, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(loading, 10000), WAIT_OBJECT_0);
    HANDLE secondThread = CreateThread(nullptr, 0, &LookUpBeepSound, &second, CREATE_SUSPENDED, &secondThreadId);
    ResumeThread(secondThread);
    HANDLE threads[] = {firstThread, secondThread};
    ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(secondArrived, 0), WAIT_OBJECT_0);  // the race did happen

    EXPECT_EQ(first.Result, S_OK);
    EXPECT_EQ(first.Id, 1);
    EXPECT_EQ(second.Result, S_OK);
    EXPECT_EQ(second.Id, 1);
    EXPECT_EQ(state.Loads, 1);
    EXPECT_TRUE(loader.Lookups().empty());
    EXPECT_EQ(CleanupsOf(module, &cache), 2);
    EXPECT_EQ(state.TypeInfoReferences, 1);

    state.OnLoad = nullptr;
    for (HANDLE handle : {firstThread, secondThread, loading, secondArrived}) {
      CloseHandle(handle);
    }
    watchedLock = nullptr;
  }
  // The first cleanup releases the one reference; the second finds nothing.
  StopModule(&module);
  EXPECT_EQ(state.TypeInfoReferences, 0);
  EXPECT_EQ(state.TypeInfoOverReleases, 0);
  EXPECT_EQ(cache.TypeInfo, nullptr);
  EXPECT_EQ(cache.Entries, nullptr);
}

}  // namespace
