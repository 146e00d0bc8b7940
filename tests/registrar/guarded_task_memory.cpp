#include "tests/registrar/guarded_task_memory.h"

#include <cstring>

namespace {

constexpr unsigned char GuardByte = 0xA5;
constexpr SIZE_T GuardSize = 16;

struct BlockHeader {
  SIZE_T Size;
  SIZE_T Padding;
};

int failAllocFrom = 0;
int failReallocFrom = 0;
int allocCalls = 0;
int reallocCalls = 0;
int overruns = 0;
int liveBlocks = 0;
SIZE_T lastSize = 0;

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

void CheckGuard(BlockHeader* header) {
  auto* guard = reinterpret_cast<unsigned char*>(header + 1) + header->Size;
  for (SIZE_T i = 0; i < GuardSize; ++i) {
    if (guard[i] != GuardByte) {
      ++overruns;
      return;
    }
  }
}

void* Place(BlockHeader* header, SIZE_T size) {
  header->Size = size;
  memset(reinterpret_cast<unsigned char*>(header + 1) + size, GuardByte, GuardSize);
  return header + 1;
}

LPVOID WINAPI GuardedAlloc(SIZE_T size) {
  lastSize = size;
  if (failAllocFrom != 0 && ++allocCalls >= failAllocFrom) {
    return nullptr;
  }
  auto* header = static_cast<BlockHeader*>(HeapAlloc(GetProcessHeap(), 0, sizeof(BlockHeader) + size + GuardSize));
  if (header == nullptr) {
    return nullptr;
  }
  ++liveBlocks;
  return Place(header, size);
}

void WINAPI GuardedFree(LPVOID block) {
  if (block == nullptr) {
    return;
  }
  BlockHeader* header = HeaderOf(block);
  CheckGuard(header);
  --liveBlocks;
  HeapFree(GetProcessHeap(), 0, header);
}

LPVOID WINAPI GuardedRealloc(LPVOID block, SIZE_T size) {
  ++reallocCalls;
  lastSize = size;
  if (failReallocFrom != 0 && reallocCalls >= failReallocFrom) {
    return nullptr;
  }
  if (block == nullptr) {
    int refusals = failAllocFrom;
    failAllocFrom = 0;
    void* made = GuardedAlloc(size);
    failAllocFrom = refusals;
    return made;
  }
  BlockHeader* header = HeaderOf(block);
  CheckGuard(header);
  auto* moved = static_cast<BlockHeader*>(
      HeapReAlloc(GetProcessHeap(), 0, header, sizeof(BlockHeader) + size + GuardSize));
  return moved == nullptr ? nullptr : Place(moved, size);
}

}  // namespace

GuardedTaskMemory::GuardedTaskMemory()
    : alloc_(GetModuleHandle(nullptr), nullptr, "CoTaskMemAlloc", reinterpret_cast<void*>(&GuardedAlloc)),
      realloc_(GetModuleHandle(nullptr), nullptr, "CoTaskMemRealloc", reinterpret_cast<void*>(&GuardedRealloc)),
      free_(GetModuleHandle(nullptr), nullptr, "CoTaskMemFree", reinterpret_cast<void*>(&GuardedFree)) {
  failAllocFrom = failReallocFrom = allocCalls = reallocCalls = overruns = liveBlocks = 0;
  lastSize = 0;
}

GuardedTaskMemory::~GuardedTaskMemory() { failAllocFrom = failReallocFrom = 0; }

void GuardedTaskMemory::FailAllocFrom(int n) {
  failAllocFrom = n;
  allocCalls = 0;
}

void GuardedTaskMemory::FailReallocFrom(int n) {
  failReallocFrom = n;
  reallocCalls = 0;
}

int GuardedTaskMemory::Overruns() const { return overruns; }
int GuardedTaskMemory::LiveBlocks() const { return liveBlocks; }
int GuardedTaskMemory::Reallocs() const { return reallocCalls; }
SIZE_T GuardedTaskMemory::LastSize() const { return lastSize; }
