#pragma once
// Replaces the test program's imports of the task allocator with one that puts
// a guard after every block, so a write past a block's end is seen when it is
// reallocated or freed. Allocations can also be refused from the n-th on.
#include <windows.h>

#include "tests/support/import_patch.h"

class GuardedTaskMemory {
 public:
  GuardedTaskMemory();
  // Every block made while the object lives must be freed before it goes.
  ~GuardedTaskMemory();

  bool Active() const { return alloc_.Active() && realloc_.Active() && free_.Active(); }
  // Refuse CoTaskMemAlloc calls from the n-th (from 1) on; 0 refuses none.
  void FailAllocFrom(int n);
  void FailReallocFrom(int n);

  int Overruns() const;     // guards found broken
  int LiveBlocks() const;   // made and not yet freed
  int Reallocs() const;     // growth calls seen
  SIZE_T LastSize() const;  // size asked by the latest alloc or realloc

 private:
  ImportPatch alloc_;
  ImportPatch realloc_;
  ImportPatch free_;
};
