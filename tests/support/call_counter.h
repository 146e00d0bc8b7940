#pragma once
// Counts, or fails from the n-th call on, one import of a module: the same
// import can then be watched in the DLL under test or in the test program.
#include <windows.h>

#include "tests/support/import_patch.h"

// Counts HeapAlloc and HeapFree calls of one module; can make HeapAlloc fail.
class HeapCallCounter {
 public:
  explicit HeapCallCounter(HMODULE module);
  ~HeapCallCounter();

  bool Active() const { return alloc_.Active() && free_.Active(); }
  LONG Allocations() const;
  LONG Frees() const;
  // From now on every HeapAlloc of the module returns null (or not).
  void FailAllocations(bool fail);

 private:
  ImportPatch alloc_;
  ImportPatch free_;
};
