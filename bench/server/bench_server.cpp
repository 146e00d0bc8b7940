// Activation, QueryInterface and the module heap set, each beside a floor:
// a minimal hand-written object, or the process heap.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <thread>

#include "bench/support/timing.h"
#include "longbeep/identifiers.h"
#include "server/module_heap.h"
#include "server/server_module.h"
#include "tests/support/loaded_dll.h"

namespace {

// The floor: a static table and one process-heap block per object.
struct MinimalObject;
struct MinimalTable {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(MinimalObject*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(MinimalObject*);
  ULONG(STDMETHODCALLTYPE* Release)(MinimalObject*);
};
struct MinimalObject {
  const MinimalTable* Table;
  LONG RefCount;
};

ULONG STDMETHODCALLTYPE MinimalAddRef(MinimalObject* self) { return static_cast<ULONG>(++self->RefCount); }
ULONG STDMETHODCALLTYPE MinimalRelease(MinimalObject* self) {
  LONG count = --self->RefCount;
  if (count == 0) {
    HeapFree(GetProcessHeap(), 0, self);
  }
  return static_cast<ULONG>(count);
}
HRESULT STDMETHODCALLTYPE MinimalQueryInterface(MinimalObject* self, REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ILongBeep)) {
    *out = self;
    MinimalAddRef(self);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
const MinimalTable MinimalObjectTable = {&MinimalQueryInterface, &MinimalAddRef, &MinimalRelease};

HRESULT CreateMinimalObject(REFIID iid, void** out) {
  auto* object = static_cast<MinimalObject*>(HeapAlloc(GetProcessHeap(), 0, sizeof(MinimalObject)));
  if (object == nullptr) {
    return E_OUTOFMEMORY;
  }
  object->Table = &MinimalObjectTable;
  object->RefCount = 0;
  HRESULT result = MinimalQueryInterface(object, iid, out);
  if (result != S_OK) {
    HeapFree(GetProcessHeap(), 0, object);
  }
  return result;
}

constexpr long Operations = 200000;

void BenchActivation(const LoadedDll& dll) {
  double floor = BestNanosecondsPerOperation(Operations, [] {
    for (long i = 0; i < Operations; ++i) {
      IUnknown* object = nullptr;
      CreateMinimalObject(IID_ILongBeep, reinterpret_cast<void**>(&object));
      object->Release();
    }
  });
  double activation = BestNanosecondsPerOperation(Operations, [&] {
    for (long i = 0; i < Operations; ++i) {
      IClassFactory* factory = nullptr;
      IUnknown* object = nullptr;
      dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory));
      factory->CreateInstance(nullptr, IID_ILongBeep, reinterpret_cast<void**>(&object));
      object->Release();
      factory->Release();
    }
  });
  IClassFactory* held = nullptr;
  dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&held));
  double createOnly = BestNanosecondsPerOperation(Operations, [&] {
    for (long i = 0; i < Operations; ++i) {
      IUnknown* object = nullptr;
      held->CreateInstance(nullptr, IID_ILongBeep, reinterpret_cast<void**>(&object));
      object->Release();
    }
  });
  held->Release();
  PrintRow("minimal object: create + Release (floor)", floor, floor);
  PrintRow("DllGetClassObject + CreateInstance + Releases", activation, floor);
  PrintRow("CreateInstance + Release on a held factory", createOnly, floor);
}

void BenchQueryInterface(const LoadedDll& dll) {
  IUnknown* minimal = nullptr;
  CreateMinimalObject(IID_IUnknown, reinterpret_cast<void**>(&minimal));
  IClassFactory* factory = nullptr;
  IUnknown* object = nullptr;
  dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
  auto pairs = [](IUnknown* target, REFIID iid) {
    return BestNanosecondsPerOperation(Operations * 10, [&] {
      for (long i = 0; i < Operations * 10; ++i) {
        void* answer = nullptr;
        target->QueryInterface(iid, &answer);
        static_cast<IUnknown*>(answer)->Release();
      }
    });
  };
  double floor = pairs(minimal, IID_ILongBeep);
  PrintRow("minimal object: QueryInterface + Release (floor)", floor, floor);
  PrintRow("LongBeep: QueryInterface(ILongBeep) + Release", pairs(object, IID_ILongBeep), floor);
  PrintRow("LongBeep: QueryInterface(IDispatch) + Release", pairs(object, IID_IDispatch), floor);
  PrintRow("LongBeep: QueryInterface(IUnknown) + Release", pairs(object, IID_IUnknown), floor);
  object->Release();
  factory->Release();
  minimal->Release();
}

// Each thread allocates and frees blocks of a few sizes, `Operations` pairs.
template <class Alloc, class Free>
double HeapPairs(int threads, Alloc alloc, Free free) {
  return BestNanosecondsPerOperation(Operations * threads, [&] {
    auto work = [&] {
      void* blocks[8];
      for (long i = 0; i < Operations; i += 8) {
        for (int k = 0; k < 8; ++k) {
          blocks[k] = alloc(static_cast<SIZE_T>(16 + 8 * k));
        }
        for (int k = 0; k < 8; ++k) {
          free(blocks[k]);
        }
      }
    };
    if (threads == 1) {
      work();
      return;
    }
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
  });
}

void BenchHeaps() {
  ServerModule module{};
  StartModule(&module, nullptr, GetModuleHandleA(nullptr), nullptr);
  std::printf("(module heap set: %u heap%s)\n", module.HeapMask + 1, module.HeapMask == 0 ? "" : "s");
  auto processAlloc = [](SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); };
  auto processFree = [](void* block) { HeapFree(GetProcessHeap(), 0, block); };
  for (int threads : {1, 2}) {
    double floor = HeapPairs(threads, processAlloc, processFree);
    double module = HeapPairs(threads, &ModuleAlloc, &ModuleFree);
    char name[64];
    std::snprintf(name, sizeof name, "process heap alloc/free, %d thread%s (floor)", threads, threads == 1 ? "" : "s");
    PrintRow(name, floor, floor);
    std::snprintf(name, sizeof name, "ModuleAlloc/ModuleFree, %d thread%s", threads, threads == 1 ? "" : "s");
    PrintRow(name, module, floor);
  }
  StopModule(&module);
}

}  // namespace

int main() {
  LoadedDll dll;
  if (dll.Handle() == nullptr) {
    std::printf("cannot load %s\n", dll.Path().c_str());
    return 1;
  }
  PrintHeader();
  BenchActivation(dll);
  BenchQueryInterface(dll);
  BenchHeaps();
  return 0;
}
