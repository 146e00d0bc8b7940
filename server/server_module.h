#pragma once
// The one module-wide record of a loaded copy of the library.
#include <windows.h>

#include "server/class_entry.h"

struct CleanupNode {
  void (*Callback)(void* argument);
  void* Argument;
  CleanupNode* Next;  // registered before this one
};

struct ServerModule {
  UINT RecordSize;
  HINSTANCE ModuleInstance;
  HINSTANCE ResourceInstance;
  HINSTANCE TypeLibInstance;
  ClassEntry* Classes;
  volatile LONG LockCount;  // changed only by interlocked increment and decrement
  HANDLE BaseHeap;
  CRITICAL_SECTION TypeInfoLock;
  CRITICAL_SECTION SpareLock;
  CRITICAL_SECTION ClassTableLock;
  UINT LayoutVersion;
  void* Reserved;
  bool DestroyHeapsAtTerm;
  const GUID* LayoutTag;
  UINT HeapMask;  // heap count minus one; 0 in single-heap mode
  HANDLE* Heaps;  // null in single-heap mode
  UINT NextHeap;  // picks the heap of the next allocation; races only skew the spread
  CleanupNode* CleanupList;  // newest first
};

// Set by StartModule; the allocator and the class code reach the record through it.
extern ServerModule* CurrentModule;

// Always S_OK. libraryId may be null.
HRESULT StartModule(ServerModule* module, ClassEntry* classes, HINSTANCE instance, const GUID* libraryId);
// Always S_OK; runs on process detach.
HRESULT StopModule(ServerModule* module);

HRESULT LookupClassObject(ServerModule* module, REFCLSID classId, REFIID iid, void** out);

// Runs callback(argument) at StopModule, newest registration first.
HRESULT AddCleanup(ServerModule* module, void (*callback)(void*), void* argument);
