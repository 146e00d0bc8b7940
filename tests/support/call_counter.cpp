#include "tests/support/call_counter.h"

namespace {

volatile LONG allocations = 0;
volatile LONG frees = 0;
volatile LONG failing = 0;

// Taken from kernel32 itself: the module's own slots may be the patched ones.
template <class Function>
Function Kernel32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

const auto realHeapAlloc = Kernel32Function<decltype(&HeapAlloc)>("HeapAlloc");
const auto realHeapFree = Kernel32Function<decltype(&HeapFree)>("HeapFree");

LPVOID WINAPI CountingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  InterlockedIncrement(&allocations);
  return failing ? nullptr : realHeapAlloc(heap, flags, size);
}

BOOL WINAPI CountingHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  InterlockedIncrement(&frees);
  return realHeapFree(heap, flags, block);
}

void* Reset() {
  allocations = 0;
  frees = 0;
  failing = 0;
  return reinterpret_cast<void*>(&CountingHeapAlloc);
}

}  // namespace

HeapCallCounter::HeapCallCounter(HMODULE module)
    : alloc_(module, "kernel32.dll", "HeapAlloc", Reset()),
      free_(module, "kernel32.dll", "HeapFree", reinterpret_cast<void*>(&CountingHeapFree)) {}

HeapCallCounter::~HeapCallCounter() { failing = 0; }

LONG HeapCallCounter::Allocations() const { return allocations; }
LONG HeapCallCounter::Frees() const { return frees; }
void HeapCallCounter::FailAllocations(bool fail) { failing = fail ? 1 : 0; }
