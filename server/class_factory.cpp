#include "server/class_factory.h"

#include "server/module_heap.h"
#include "server/server_module.h"

namespace {

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(ClassFactory* self, REFIID iid, void** out);
ULONG STDMETHODCALLTYPE FactoryAddRef(ClassFactory* self);
ULONG STDMETHODCALLTYPE FactoryRelease(ClassFactory* self);

HRESULT STDMETHODCALLTYPE FactoryCreateInstance(ClassFactory* self, IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
    return CLASS_E_NOAGGREGATION;
  }
  return self->CreateObject(outer, iid, out);
}

HRESULT STDMETHODCALLTYPE FactoryLockServer(ClassFactory*, BOOL lock) {
  // Unpaired calls are the caller's business: the count has no floor.
  if (lock) {
    InterlockedIncrement(&CurrentModule->LockCount);
  } else {
    InterlockedDecrement(&CurrentModule->LockCount);
  }
  return S_OK;
}

// The lower layer's IUnknown entries: nothing may call them before the full
// table is installed.
HRESULT STDMETHODCALLTYPE TrapQueryInterface(ClassFactory*, REFIID, void**) {
  DebugBreak();
  return 0;
}
ULONG STDMETHODCALLTYPE TrapAddRef(ClassFactory*) {
  DebugBreak();
  return 0;
}
ULONG STDMETHODCALLTYPE TrapRelease(ClassFactory*) {
  DebugBreak();
  return 0;
}

const ClassFactoryTable LowerLayerTable = {
    {&TrapQueryInterface, &TrapAddRef, &TrapRelease}, &FactoryCreateInstance, &FactoryLockServer};

const ClassFactoryTable FactoryTable = {
    {&FactoryQueryInterface, &FactoryAddRef, &FactoryRelease}, &FactoryCreateInstance, &FactoryLockServer};

const InterfaceEntry FactoryInterfaces[] = {
    {&IID_IClassFactory, 0, {PlainOffsetRow}},
    {nullptr, 0, {EndOfTable}},
};

void DestroyFactory(ClassFactory* factory) {
  DeleteCriticalSection(&factory->RefLock);
  DeleteCriticalSection(&factory->BaseLock);
  ModuleFree(factory);
}

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(ClassFactory* self, REFIID iid, void** out) {
  return FindInterface(self, FactoryInterfaces, iid, out);
}

ULONG STDMETHODCALLTYPE FactoryAddRef(ClassFactory* self) {
  EnterCriticalSection(&self->RefLock);
  LONG count = InterlockedIncrement(&self->RefCount);
  // The first reference beyond the class row's own holds the library loaded.
  if (count == 2) {
    InterlockedIncrement(&CurrentModule->LockCount);
  }
  LeaveCriticalSection(&self->RefLock);
  return static_cast<ULONG>(count);
}

ULONG STDMETHODCALLTYPE FactoryRelease(ClassFactory* self) {
  EnterCriticalSection(&self->RefLock);
  LONG count = InterlockedDecrement(&self->RefCount);
  LeaveCriticalSection(&self->RefLock);
  if (count == 0) {
    DestroyFactory(self);
  } else if (count == 1) {
    InterlockedDecrement(&CurrentModule->LockCount);
  }
  return static_cast<ULONG>(count);
}

}  // namespace

HRESULT CreateClassFactory(ObjectCreator creator, REFIID iid, void** out) {
  auto* factory = static_cast<ClassFactory*>(ModuleAlloc(sizeof(ClassFactory)));
  if (factory == nullptr) {
    return E_OUTOFMEMORY;
  }
  factory->RefCount = 0;
  InitializeCriticalSection(&factory->BaseLock);
  factory->Table = &LowerLayerTable;
  InitializeCriticalSection(&factory->RefLock);
  factory->Table = &FactoryTable;
  factory->CreateObject = creator;
  HRESULT result = FactoryQueryInterface(factory, iid, out);
  if (result != S_OK) {
    DestroyFactory(factory);
  }
  return result;
}
