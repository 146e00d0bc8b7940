// Client threads racing on the class table and on LockCount.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <thread>
#include <vector>

#include "longbeep/identifiers.h"
#include "tests/support/call_counter.h"
#include "tests/support/loaded_dll.h"

namespace {

constexpr int ThreadCount = 8;

// Releases every waiting thread at once.
class StartingGate {
 public:
  StartingGate() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~StartingGate() { CloseHandle(event_); }
  void Wait() const { WaitForSingleObject(event_, INFINITE); }
  void Open() const { SetEvent(event_); }

 private:
  HANDLE event_;
};

TEST(Concurrency, RacingFirstLookupsShareOneFactory) {
  for (int round = 0; round < 20; ++round) {
    LoadedDll dll;
    ASSERT_NE(dll.Handle(), nullptr);
    HeapCallCounter heap(dll.Handle());
    StartingGate gate;
    std::vector<void*> factories(ThreadCount, nullptr);
    std::vector<HRESULT> results(ThreadCount, E_FAIL);
    std::vector<std::thread> threads;
    for (int i = 0; i < ThreadCount; ++i) {
      threads.emplace_back([&, i] {
        gate.Wait();
        results[i] = dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, &factories[i]);
      });
    }
    gate.Open();
    for (std::thread& thread : threads) {
      thread.join();
    }
    EXPECT_EQ(heap.Allocations(), 1) << "round " << round;
    for (int i = 0; i < ThreadCount; ++i) {
      EXPECT_EQ(results[i], S_OK);
      EXPECT_EQ(factories[i], factories[0]);
      static_cast<IUnknown*>(factories[i])->Release();
    }
    EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
  }
}

TEST(Concurrency, CreatingAndReleasingOnManyThreadsBalancesLockCount) {
  LoadedDll dll;
  ASSERT_NE(dll.Handle(), nullptr);
  StartingGate gate;
  std::vector<std::thread> threads;
  volatile LONG failures = 0;
  for (int i = 0; i < ThreadCount; ++i) {
    threads.emplace_back([&] {
      gate.Wait();
      for (int n = 0; n < 2000; ++n) {
        IClassFactory* factory = nullptr;
        IDispatch* object = nullptr;
        if (FAILED(dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
            FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)))) {
          InterlockedIncrement(&failures);
          continue;
        }
        factory->LockServer(TRUE);
        factory->Release();
        object->Release();
        factory->LockServer(FALSE);
      }
    });
  }
  gate.Open();
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

}  // namespace
