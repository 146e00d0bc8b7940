#include "server/server_module.h"

#include "server/module_heap.h"

ServerModule* CurrentModule = nullptr;

namespace {

// Identifies the record's layout; nothing reads it.
const GUID ModuleLayoutTag = {0x5B0C6E21, 0x8F3A, 0x4D17, {0x9E, 0x42, 0x1A, 0x6C, 0x3B, 0x7D, 0x20, 0xF5}};

// The library identifier handed to StartModule; kept, never read.
GUID KeptLibraryId;

}  // namespace

HRESULT StartModule(ServerModule* module, ClassEntry* classes, HINSTANCE instance, const GUID* libraryId) {
  module->LayoutTag = &ModuleLayoutTag;
  CurrentModule = module;
  module->RecordSize = sizeof(ServerModule);
  module->LayoutVersion = 0x0300;

  module->Classes = classes;
  module->LockCount = 0;
  module->ResourceInstance = instance;
  module->TypeLibInstance = instance;
  module->ModuleInstance = instance;

  module->BaseHeap = nullptr;
  InitializeCriticalSection(&module->TypeInfoLock);
  InitializeCriticalSection(&module->SpareLock);
  InitializeCriticalSection(&module->ClassTableLock);

  module->Reserved = nullptr;
  module->DestroyHeapsAtTerm = true;
  module->HeapMask = 0;
  module->NextHeap = 0;
  module->Heaps = nullptr;

  // Class init functions run before any heap exists.
  if (module->Classes != nullptr) {
    for (ClassEntry* row = module->Classes; row->ClassId != nullptr; ++row) {
      row->ClassInitTerm(TRUE);
    }
  }
  if (libraryId != nullptr) {
    KeptLibraryId = *libraryId;
  }
  CreateModuleHeaps(module);
  return S_OK;
}

HRESULT StopModule(ServerModule* module) {
  if (module->Classes != nullptr) {
    for (ClassEntry* row = module->Classes; row->ClassId != nullptr; ++row) {
      if (row->ClassObject != nullptr) {
        row->ClassObject->Release();
      }
      row->ClassObject = nullptr;
      row->ClassInitTerm(FALSE);
    }
  }
  DeleteCriticalSection(&module->TypeInfoLock);
  DeleteCriticalSection(&module->SpareLock);
  DeleteCriticalSection(&module->ClassTableLock);

  // Callbacks run after the locks are gone and while the heaps still exist.
  CleanupNode* node = module->CleanupList;
  while (node != nullptr) {
    node->Callback(node->Argument);
    CleanupNode* next = node->Next;
    ModuleFree(node);
    node = next;
  }

  DestroyModuleHeaps(module);
  return S_OK;
}

HRESULT AddCleanup(ServerModule* module, void (*callback)(void*), void* argument) {
  auto* node = static_cast<CleanupNode*>(ModuleAlloc(sizeof(CleanupNode)));
  if (node == nullptr) {
    return E_OUTOFMEMORY;
  }
  node->Callback = callback;
  node->Argument = argument;
  EnterCriticalSection(&module->TypeInfoLock);
  node->Next = module->CleanupList;
  module->CleanupList = node;
  LeaveCriticalSection(&module->TypeInfoLock);
  return S_OK;
}
