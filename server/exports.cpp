// The library's entry point and exports, over its one ServerModule.
#include <windows.h>
#include <objbase.h>

#include "longbeep/identifiers.h"
#include "longbeep/longbeep.h"
#include "registrar/server_registration.h"
#include "server/server_module.h"

namespace {

ServerModule Module;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    StartModule(&Module, ClassTable, instance, &LIBID_ZIRPELLib);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    StopModule(&Module);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return __atomic_load_n(&Module.LockCount, __ATOMIC_RELAXED) == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  return LookupClassObject(&Module, classId, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegisterModuleClasses(&Module); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterModuleClasses(&Module); }
