#include "server/module_heap.h"

#include "server/server_module.h"

namespace {

// In multi-heap mode every block starts with two words: the owning heap, then one unused.
constexpr SIZE_T HeaderSize = 2 * sizeof(void*);

HANDLE CreateGrowableHeap() { return HeapCreate(0, 0, 0); }

// The smallest power of two above the processor count, minus one.
UINT HeapMaskFor(DWORD processors) {
  UINT mask = 0;
  while (processors != 0) {
    mask = (mask << 1) | 1;
    processors >>= 1;
  }
  return mask;
}

HANDLE* BlockHeader(void* block) { return reinterpret_cast<HANDLE*>(static_cast<BYTE*>(block) - HeaderSize); }

void* PastHeader(void* header) { return static_cast<BYTE*>(header) + HeaderSize; }

}  // namespace

void CreateModuleHeaps(ServerModule* module) {
  module->BaseHeap = CreateGrowableHeap();
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  if (info.dwNumberOfProcessors <= 1 || module->BaseHeap == nullptr) {
    module->Heaps = nullptr;
    module->HeapMask = 0;
    return;
  }
  UINT mask = HeapMaskFor(info.dwNumberOfProcessors);
  auto* heaps = static_cast<HANDLE*>(HeapAlloc(module->BaseHeap, 0, (SIZE_T{mask} + 1) * sizeof(HANDLE)));
  if (heaps == nullptr) {
    return;  // single-heap mode: every allocator agrees while Heaps is null
  }
  for (UINT i = 0; i <= mask; ++i) {
    heaps[i] = CreateGrowableHeap();
    if (heaps[i] == nullptr) {
      for (UINT created = 0; created < i; ++created) {
        HeapDestroy(heaps[created]);
      }
      HeapFree(module->BaseHeap, 0, heaps);
      return;
    }
  }
  module->HeapMask = mask;
  module->Heaps = heaps;
}

void DestroyModuleHeaps(ServerModule* module) {
  if (module->BaseHeap == nullptr || !module->DestroyHeapsAtTerm) {
    return;
  }
  if (module->Heaps != nullptr) {
    for (UINT i = 0; i <= module->HeapMask; ++i) {
      HeapDestroy(module->Heaps[i]);
    }
  }
  // The Heaps array lives in BaseHeap and goes with it.
  HeapDestroy(module->BaseHeap);
}

void* ModuleAlloc(SIZE_T size) {
  ServerModule* module = CurrentModule;
  if (module->Heaps == nullptr) {
    return module->BaseHeap == nullptr ? nullptr : HeapAlloc(module->BaseHeap, 0, size);
  }
  // A plain increment: a lost update only sends two blocks to the same heap.
  UINT index = module->NextHeap++;
  HANDLE heap = module->Heaps[index & module->HeapMask];
  if (size > static_cast<SIZE_T>(-1) - HeaderSize) {
    return nullptr;
  }
  void* header = HeapAlloc(heap, 0, size + HeaderSize);
  if (header == nullptr) {
    return nullptr;
  }
  static_cast<HANDLE*>(header)[0] = heap;
  return PastHeader(header);
}

void* ModuleRealloc(void* block, SIZE_T size) {
  if (block == nullptr) {
    return ModuleAlloc(size);
  }
  ServerModule* module = CurrentModule;
  if (module->Heaps == nullptr) {
    return HeapReAlloc(module->BaseHeap, 0, block, size);
  }
  if (size > static_cast<SIZE_T>(-1) - HeaderSize) {
    return nullptr;
  }
  // A block never changes heap.
  HANDLE* header = BlockHeader(block);
  void* moved = HeapReAlloc(header[0], 0, header, size + HeaderSize);
  return moved == nullptr ? nullptr : PastHeader(moved);
}

void ModuleFree(void* block) {
  if (block == nullptr) {
    return;
  }
  ServerModule* module = CurrentModule;
  if (module->Heaps == nullptr) {
    HeapFree(module->BaseHeap, 0, block);
    return;
  }
  HANDLE* header = BlockHeader(block);
  HeapFree(header[0], 0, header);
}
