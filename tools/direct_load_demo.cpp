// Loads ZIRPEL.dll directly, creates a LongBeep through its class object and
// calls BeepSound(440, 200) early bound, watching the DLL's own import of Beep.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "longbeep/identifiers.h"
#include "tests/support/import_patch.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/longbeep_client.h"

namespace {

decltype(&Beep) realBeep = nullptr;

BOOL WINAPI ObservedBeep(DWORD frequency, DWORD duration) {
  std::printf("   the DLL called Beep(%lu, %lu)\n", static_cast<unsigned long>(frequency),
              static_cast<unsigned long>(duration));
  return realBeep(frequency, duration);
}

const char* Answer(HRESULT result) { return result == S_OK ? "S_OK" : result == S_FALSE ? "S_FALSE" : "failure"; }

}  // namespace

int main() {
  LoadedDll dll;
  if (dll.Handle() == nullptr) {
    std::printf("cannot load %s\n", dll.Path().c_str());
    return 1;
  }
  std::printf("1. loaded %s\n", dll.Path().c_str());
  ImportPatch beep(dll.Handle(), "kernel32.dll", "Beep", reinterpret_cast<void*>(&ObservedBeep));
  realBeep = beep.OriginalAs<decltype(&Beep)>();

  IClassFactory* factory = nullptr;
  HRESULT result = dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  std::printf("2. DllGetClassObject(LongBeep, IClassFactory) = 0x%08lx\n", static_cast<unsigned long>(result));
  if (FAILED(result)) {
    return 1;
  }
  ILongBeepClient* longBeep = nullptr;
  result = factory->CreateInstance(nullptr, IID_ILongBeep, reinterpret_cast<void**>(&longBeep));
  factory->Release();
  std::printf("3. CreateInstance(ILongBeep) = 0x%08lx\n", static_cast<unsigned long>(result));
  if (FAILED(result)) {
    return 1;
  }
  std::printf("4. BeepSound(440, 200):\n");
  result = longBeep->BeepSound(440, 200);
  std::printf("   BeepSound returned 0x%08lx\n", static_cast<unsigned long>(result));
  std::printf("5. DllCanUnloadNow while the object lives: %s\n", Answer(dll.DllCanUnloadNow()));
  longBeep->Release();
  std::printf("6. DllCanUnloadNow after its release:      %s\n", Answer(dll.DllCanUnloadNow()));
  return 0;
}
