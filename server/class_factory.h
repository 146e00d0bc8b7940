#pragma once
// The class object of a class row: IClassFactory over the row's object creator.
#include <windows.h>
#include <objbase.h>

#include "objects/interface_table.h"
#include "server/class_entry.h"

struct ClassFactory;

struct ClassFactoryTable {
  UnknownEntries<ClassFactory> Unknown;
  HRESULT(STDMETHODCALLTYPE* CreateInstance)(ClassFactory* self, IUnknown* outer, REFIID iid, void** out);
  HRESULT(STDMETHODCALLTYPE* LockServer)(ClassFactory* self, BOOL lock);
};

struct ClassFactory {
  const ClassFactoryTable* Table;
  volatile LONG RefCount;  // 1 is the class row's own reference
  CRITICAL_SECTION BaseLock;
  ObjectCreator CreateObject;
  CRITICAL_SECTION RefLock;
};

// The CreateClassObject of a class row.
HRESULT CreateClassFactory(ObjectCreator creator, REFIID iid, void** out);
