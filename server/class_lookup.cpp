#include "server/server_module.h"

HRESULT LookupClassObject(ServerModule* module, REFCLSID classId, REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  HRESULT result = S_OK;
  for (ClassEntry* row = module->Classes; row != nullptr && row->ClassId != nullptr; ++row) {
    if (row->CreateClassObject == nullptr || !IsEqualCLSID(*row->ClassId, classId)) {
      continue;
    }
    // The slot is written once, under the lock, after the object is complete,
    // so a reader that sees it set without the lock sees a finished object.
    if (__atomic_load_n(&row->ClassObject, __ATOMIC_ACQUIRE) == nullptr) {
      EnterCriticalSection(&module->ClassTableLock);
      if (row->ClassObject == nullptr) {
        IUnknown* created = nullptr;
        result = row->CreateClassObject(row->CreateObject, IID_IUnknown, reinterpret_cast<void**>(&created));
        __atomic_store_n(&row->ClassObject, created, __ATOMIC_RELEASE);
      }
      LeaveCriticalSection(&module->ClassTableLock);
    }
    IUnknown* classObject = __atomic_load_n(&row->ClassObject, __ATOMIC_ACQUIRE);
    if (classObject != nullptr) {
      result = classObject->QueryInterface(iid, out);
    }
    break;
  }
  if (*out == nullptr && result == S_OK) {
    result = CLASS_E_CLASSNOTAVAILABLE;
  }
  return result;
}
