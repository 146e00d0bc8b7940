#pragma once
// Wrappers that give a class its reference count, destruction, share of the
// module's LockCount, and aggregation. A class supplies:
//   Class::Part        its class part: { const Class::Table* Table; }
//   Class::Table       its table of functions, the IUnknown entries first
//   Class::Interfaces  its InterfaceTable
//   Class::StandaloneTable, Class::InnerTable
#include <windows.h>
#include <objbase.h>

#include "objects/interface_table.h"
#include "server/module_heap.h"
#include "server/server_module.h"

template <class Class>
struct StandaloneObject {
  const typename Class::Table* Table;
  LONG RefCount;
};

template <class Class>
struct InnerObject {
  const typename Class::Table* Table;
  IUnknown* Outer;  // holds no reference
};

template <class Class>
struct AggregateObject {
  const UnknownEntries<AggregateObject>* Table;  // the controlling table; this field is the aggregate's IUnknown
  LONG RefCount;
  InnerObject<Class> Inner;
};

// Standalone entries.

template <class Class>
HRESULT STDMETHODCALLTYPE StandaloneQueryInterface(typename Class::Part* self, REFIID iid, void** out) {
  return FindInterface(self, Class::Interfaces, iid, out);
}

template <class Class>
ULONG STDMETHODCALLTYPE StandaloneAddRef(typename Class::Part* self) {
  auto* object = reinterpret_cast<StandaloneObject<Class>*>(self);
  return static_cast<ULONG>(++object->RefCount);
}

template <class Class>
ULONG STDMETHODCALLTYPE StandaloneRelease(typename Class::Part* self) {
  auto* object = reinterpret_cast<StandaloneObject<Class>*>(self);
  LONG count = --object->RefCount;
  if (count == 0) {
    InterlockedDecrement(&CurrentModule->LockCount);
    ModuleFree(object);
  }
  return static_cast<ULONG>(count);
}

// Controlling entries of an aggregate: its own IUnknown, held by the outer object.

template <class Class>
ULONG STDMETHODCALLTYPE ControllingAddRef(AggregateObject<Class>* self) {
  return static_cast<ULONG>(++self->RefCount);
}

template <class Class>
HRESULT STDMETHODCALLTYPE ControllingQueryInterface(AggregateObject<Class>* self, REFIID iid, void** out) {
  if (!IsEqualIID(iid, IID_IUnknown)) {
    return FindInterface(&self->Inner, Class::Interfaces, iid, out);
  }
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = self;
  ControllingAddRef(self);
  return S_OK;
}

template <class Class>
ULONG STDMETHODCALLTYPE ControllingRelease(AggregateObject<Class>* self) {
  LONG count = --self->RefCount;
  if (count == 0) {
    InterlockedDecrement(&CurrentModule->LockCount);
    ModuleFree(self);
  }
  return static_cast<ULONG>(count);
}

template <class Class>
inline constexpr UnknownEntries<AggregateObject<Class>> ControllingTable = {
    &ControllingQueryInterface<Class>, &ControllingAddRef<Class>, &ControllingRelease<Class>};

// Inner entries: identity and lifetime belong to the outer object.

template <class Class>
HRESULT STDMETHODCALLTYPE InnerQueryInterface(typename Class::Part* self, REFIID iid, void** out) {
  auto* inner = reinterpret_cast<InnerObject<Class>*>(self);
  HRESULT result = inner->Outer->QueryInterface(iid, out);
  if (SUCCEEDED(result)) {
    return result;
  }
  // The outer object's refusal does not end the request when the class has the interface.
  return FindInterface(inner, Class::Interfaces, iid, out);
}

template <class Class>
ULONG STDMETHODCALLTYPE InnerAddRef(typename Class::Part* self) {
  return reinterpret_cast<InnerObject<Class>*>(self)->Outer->AddRef();
}

template <class Class>
ULONG STDMETHODCALLTYPE InnerRelease(typename Class::Part* self) {
  return reinterpret_cast<InnerObject<Class>*>(self)->Outer->Release();
}

// Creators. Each new object holds one unit of LockCount from its construction;
// a failed creation query destroys it and gives the unit back.

template <class Class>
HRESULT CreateStandalone(REFIID iid, void** out) {
  auto* object = static_cast<StandaloneObject<Class>*>(ModuleAlloc(sizeof(StandaloneObject<Class>)));
  if (object == nullptr) {
    return E_OUTOFMEMORY;
  }
  object->RefCount = 0;
  object->Table = &Class::StandaloneTable;
  InterlockedIncrement(&CurrentModule->LockCount);
  HRESULT result = StandaloneQueryInterface<Class>(reinterpret_cast<typename Class::Part*>(object), iid, out);
  if (result != S_OK) {
    InterlockedDecrement(&CurrentModule->LockCount);
    ModuleFree(object);
  }
  return result;
}

template <class Class>
HRESULT CreateAggregate(IUnknown* outer, REFIID iid, void** out) {
  auto* object = static_cast<AggregateObject<Class>*>(ModuleAlloc(sizeof(AggregateObject<Class>)));
  if (object == nullptr) {
    return E_OUTOFMEMORY;
  }
  object->RefCount = 0;
  object->Inner.Table = &Class::InnerTable;
  object->Inner.Outer = outer;
  object->Table = &ControllingTable<Class>;
  InterlockedIncrement(&CurrentModule->LockCount);
  HRESULT result = ControllingQueryInterface<Class>(object, iid, out);
  if (result != S_OK) {
    InterlockedDecrement(&CurrentModule->LockCount);
    ModuleFree(object);
  }
  return result;
}

template <class Class>
HRESULT CreateStandaloneOrAggregate(IUnknown* outer, REFIID iid, void** out) {
  if (outer == nullptr) {
    return CreateStandalone<Class>(iid, out);
  }
  return CreateAggregate<Class>(outer, iid, out);
}
