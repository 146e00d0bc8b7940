// The server as a client meets it: DllGetClassObject, the class factory and
// LongBeep objects, through the real DLL.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

#include <vector>

#include "longbeep/identifiers.h"
#include "tests/support/beep_recorder.h"
#include "tests/support/call_counter.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/longbeep_client.h"

namespace {

void* const Garbage = reinterpret_cast<void*>(static_cast<uintptr_t>(0xDEADBEEF));

class ServerDll : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(dll.Handle(), nullptr) << dll.Path(); }

  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    return factory;
  }

  // LockCount as a client can measure it: walk it down to zero with
  // LockServer(FALSE), then put it back.
  LONG LockCount(IClassFactory* factory) {
    LONG steps = 0;
    while (dll.DllCanUnloadNow() != S_OK && steps < 64) {
      factory->LockServer(FALSE);
      ++steps;
    }
    for (LONG i = 0; i < steps; ++i) {
      factory->LockServer(TRUE);
    }
    return steps;
  }

  LoadedDll dll;
};

TEST_F(ServerDll, ClassObjectIsMadeOnceAndCached) {
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
  HeapCallCounter heap(dll.Handle());
  ASSERT_TRUE(heap.Active());

  IClassFactory* first = Factory();
  EXPECT_EQ(heap.Allocations(), 1);
  IClassFactory* second = Factory();
  EXPECT_EQ(second, first);
  EXPECT_EQ(heap.Allocations(), 1);
  second->Release();
  first->Release();
  // The row still holds the factory, but not the library.
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
  EXPECT_EQ(heap.Frees(), 0);
}

TEST_F(ServerDll, RefusedInterfaceLeavesTheFactoryCached) {
  HeapCallCounter heap(dll.Handle());
  void* out = Garbage;
  EXPECT_EQ(dll.DllGetClassObject(CLSID_LongBeep, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(heap.Allocations(), 1);
  factory->Release();
}

TEST_F(ServerDll, LookupFailures) {
  HeapCallCounter heap(dll.Handle());
  void* out = Garbage;
  EXPECT_EQ(dll.DllGetClassObject(IID_ILongBeep, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(heap.Allocations(), 0);
}

TEST_F(ServerDll, FactoryCreationOutOfMemoryLeavesTheRowEmpty) {
  HeapCallCounter heap(dll.Handle());
  heap.FailAllocations(true);
  void* out = Garbage;
  EXPECT_EQ(dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, nullptr);
  heap.FailAllocations(false);
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  factory->Release();
}

TEST_F(ServerDll, FactoryAnswersIUnknownAndIClassFactoryOnly) {
  IClassFactory* factory = Factory();
  IUnknown* unknown = nullptr;
  ASSERT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(factory));
  unknown->Release();
  void* out = Garbage;
  EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  factory->Release();
}

TEST_F(ServerDll, FactoryHoldsTheLibraryOnceWhileAClientHoldsIt) {
  IClassFactory* factory = Factory();  // count 2: the row and us
  EXPECT_EQ(LockCount(factory), 1);
  factory->AddRef();  // 2 -> 3 does not add a lock
  EXPECT_EQ(LockCount(factory), 1);
  factory->Release();
  EXPECT_EQ(LockCount(factory), 1);
  factory->Release();  // back to 1: the library is free again
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

TEST_F(ServerDll, LockServerHasNoFloor) {
  IClassFactory* factory = Factory();
  factory->LockServer(TRUE);
  factory->LockServer(TRUE);
  factory->LockServer(FALSE);
  EXPECT_EQ(LockCount(factory), 2);  // one lock plus the client's hold on the factory
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);

  factory = Factory();  // LockCount 1 from our hold on the factory
  factory->LockServer(FALSE);
  factory->LockServer(FALSE);  // unmatched: LockCount is now -1
  EXPECT_EQ(dll.DllCanUnloadNow(), S_FALSE);
  factory->LockServer(TRUE);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

TEST_F(ServerDll, StandaloneObjectAnswersItsInterfacesWithOnePointer) {
  IClassFactory* factory = Factory();
  IUnknown* unknown = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  void* beep = nullptr;
  void* dispatch = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_ILongBeep, &beep), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, &dispatch), S_OK);
  EXPECT_EQ(beep, static_cast<void*>(unknown));
  EXPECT_EQ(dispatch, static_cast<void*>(unknown));
  void* out = Garbage;
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  // Three references taken, three plus the creation's to give back.
  EXPECT_EQ(unknown->Release(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  factory->Release();
  EXPECT_EQ(dll.DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(unknown->Release(), 0u);
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

TEST_F(ServerDll, FailedCreationGivesEverythingBack) {
  IClassFactory* factory = Factory();
  HeapCallCounter heap(dll.Handle());
  void* out = Garbage;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(heap.Allocations(), heap.Frees());
  EXPECT_EQ(LockCount(factory), 1);

  out = Garbage;
  heap.FailAllocations(true);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ILongBeep, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, nullptr);
  heap.FailAllocations(false);
  EXPECT_EQ(LockCount(factory), 1);

  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ILongBeep, nullptr), E_POINTER);
  factory->Release();
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

TEST_F(ServerDll, BeepSoundPassesItsArgumentsUnchanged) {
  struct Case {
    LONG Frequency, Duration;
    BOOL BeepResult;
    BeepCall Expected;
  };
  const Case cases[] = {
      {440, 200, TRUE, {440, 200}},
      {0, 0, TRUE, {0, 0}},
      {-1, -1, TRUE, {0xFFFFFFFF, 0xFFFFFFFF}},
      {440, 200, FALSE, {440, 200}},  // a failing Beep is not the caller's failure
  };
  IClassFactory* factory = Factory();
  ILongBeepClient* beep = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILongBeep, reinterpret_cast<void**>(&beep)), S_OK);
  for (const Case& c : cases) {
    BeepRecorder beeps(dll.Handle(), c.BeepResult);
    ASSERT_TRUE(beeps.Active());
    EXPECT_EQ(beep->BeepSound(c.Frequency, c.Duration), S_OK);
    EXPECT_EQ(beeps.Calls(), std::vector<BeepCall>{c.Expected}) << c.Frequency << "/" << c.Duration;
  }
  UINT count = 0;
  EXPECT_EQ(beep->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(beep->GetTypeInfoCount(nullptr), E_POINTER);
  beep->Release();
  factory->Release();
}

}  // namespace
