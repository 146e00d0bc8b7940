// Late-bound calls against their alternatives, in one run:
//   GetIDsOfNames("BeepSound") answered by the name cache, against the
//   platform's ITypeInfo::GetIDsOfNames on the same type information;
//   Invoke of BeepSound, against the early-bound call.
// Beep is patched to a no-op in both. A short run with the DLL's heap and lock
// imports counted checks that the cached lookup allocates nothing and locks nothing.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>

#include "bench/support/timing.h"
#include "longbeep/identifiers.h"
#include "tests/support/call_counter.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/longbeep_client.h"
#include "tests/support/registered_type_library.h"

namespace {

BOOL WINAPI SilentBeep(DWORD, DWORD) { return TRUE; }

LONG lockEntries = 0;
ImportPatch* lockPatch = nullptr;

void WINAPI CountingEnterCriticalSection(CRITICAL_SECTION* lock) {
  ++lockEntries;
  lockPatch->OriginalAs<void(WINAPI*)(CRITICAL_SECTION*)>()(lock);
}

// Nanoseconds per call, the best of a few rounds.
template <class Call>
double NanosecondsPerCall(long calls, Call call) {
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    double start = NowNanoseconds();
    for (long i = 0; i < calls; ++i) {
      if (FAILED(call())) {
        std::printf("call failed\n");
        std::exit(1);
      }
    }
    double elapsed = (NowNanoseconds() - start) / static_cast<double>(calls);
    best = elapsed < best ? elapsed : best;
  }
  return best;
}

int Fail(const char* what, HRESULT result) {
  std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(result));
  return 1;
}

}  // namespace

int main() {
  LoadedDll dll;
  if (dll.Handle() == nullptr) {
    return Fail("loading ZIRPEL.dll", HRESULT_FROM_WIN32(GetLastError()));
  }
  RegisteredTypeLibrary library(dll.Path());
  if (FAILED(library.Result())) {
    return Fail("registering the type library", library.Result());
  }
  ImportPatch beep(dll.Handle(), "kernel32.dll", "Beep", reinterpret_cast<void*>(&SilentBeep));
  if (!beep.Active()) {
    return Fail("finding the DLL's Beep import", E_FAIL);
  }

  IClassFactory* factory = nullptr;
  HRESULT hr = dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) {
    return Fail("DllGetClassObject", hr);
  }
  ILongBeepClient* object = nullptr;
  hr = factory->CreateInstance(nullptr, IID_ILongBeep, reinterpret_cast<void**>(&object));
  factory->Release();
  if (FAILED(hr)) {
    return Fail("CreateInstance", hr);
  }

  LPOLESTR name = const_cast<LPOLESTR>(L"BeepSound");
  DISPID id = 0;
  hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);  // loads the cache
  if (FAILED(hr) || id != 1) {
    return Fail("the first GetIDsOfNames", hr);
  }
  ITypeInfo* typeInfo = nullptr;
  hr = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &typeInfo);
  if (FAILED(hr)) {
    return Fail("GetTypeInfo", hr);
  }

  LONG allocations = 0;
  {
    HeapCallCounter heap(dll.Handle());
    ImportPatch lock(dll.Handle(), nullptr, "EnterCriticalSection",
                     reinterpret_cast<void*>(&CountingEnterCriticalSection));
    lockPatch = &lock;
    if (!heap.Active() || !lock.Active()) {
      return Fail("finding the DLL's HeapAlloc and EnterCriticalSection imports", E_FAIL);
    }
    for (int i = 0; i < 1000; ++i) {
      object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    }
    allocations = heap.Allocations();
  }

  VARIANT arguments[2];
  VariantInit(&arguments[0]);
  VariantInit(&arguments[1]);
  V_VT(&arguments[0]) = VT_I4;  // Duration: DISPPARAMS holds the arguments last first
  V_I4(&arguments[0]) = 200;
  V_VT(&arguments[1]) = VT_I4;
  V_I4(&arguments[1]) = 440;
  DISPPARAMS params = {arguments, nullptr, 2, 0};

  const long lookupCalls = 2000000, platformCalls = 200000, invokeCalls = 200000, earlyCalls = 20000000;
  double cached = NanosecondsPerCall(lookupCalls, [&] {
    return object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  });
  double platform = NanosecondsPerCall(platformCalls, [&] { return typeInfo->GetIDsOfNames(&name, 1, &id); });
  double invoked = NanosecondsPerCall(invokeCalls, [&] {
    return object->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  });
  double early = NanosecondsPerCall(earlyCalls, [&] { return object->BeepSound(440, 200); });

  std::printf("%-52s %12s %10s\n", "operation", "calls", "ns/call");
  std::printf("%-52s %12ld %10.1f\n", "GetIDsOfNames(\"BeepSound\"), name cache", lookupCalls, cached);
  std::printf("%-52s %12ld %10.1f\n", "ITypeInfo::GetIDsOfNames(\"BeepSound\"), platform", platformCalls, platform);
  std::printf("%-52s %12ld %10.1f\n", "Invoke(DISPID 1, two VT_I4), Beep a no-op", invokeCalls, invoked);
  std::printf("%-52s %12ld %10.1f\n", "BeepSound early bound, Beep a no-op", earlyCalls, early);
  std::printf("\n");
  std::printf("platform lookup / cached lookup: %8.1fx (goal: at least 10x)\n", platform / cached);
  std::printf("Invoke / early-bound call:       %8.1fx\n", invoked / early);
  std::printf("cached lookup, 1000 calls: %ld module-heap allocations, %ld lock entries\n", allocations, lockEntries);

  typeInfo->Release();
  object->Release();
  return 0;
}
