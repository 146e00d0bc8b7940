// The server module's internals, through the core library linked into this
// program: its platform calls go through this program's own import table.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "longbeep/longbeep.h"
#include "objects/object_wrappers.h"
#include "server/class_factory.h"
#include "server/module_heap.h"
#include "server/server_module.h"
#include "tests/support/import_patch.h"

namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

template <class Function>
Function Kernel32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

// What the module asks of the platform, in order.
std::vector<std::string> events;
DWORD processorCount = 1;
int failHeapCreateAt = 0;  // 1-based call number to fail, 0 for none
int heapCreateCalls = 0;
bool failHeapAlloc = false;
bool failHeapReAlloc = false;
std::vector<void*> heapAllocResults;

void WINAPI FakeGetSystemInfo(SYSTEM_INFO* info) {
  Kernel32<decltype(&GetSystemInfo)>("GetSystemInfo")(info);
  info->dwNumberOfProcessors = processorCount;
}

HANDLE WINAPI CountingHeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum) {
  if (++heapCreateCalls == failHeapCreateAt) {
    return nullptr;
  }
  return Kernel32<decltype(&HeapCreate)>("HeapCreate")(options, initial, maximum);
}

BOOL WINAPI LoggingHeapDestroy(HANDLE heap) {
  events.push_back("HeapDestroy");
  return Kernel32<decltype(&HeapDestroy)>("HeapDestroy")(heap);
}

LPVOID WINAPI RecordingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  if (failHeapAlloc) {
    return nullptr;
  }
  void* block = Kernel32<decltype(&HeapAlloc)>("HeapAlloc")(heap, flags, size);
  heapAllocResults.push_back(block);
  return block;
}

LPVOID WINAPI FailableHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  if (failHeapReAlloc) {
    return nullptr;
  }
  return Kernel32<decltype(&HeapReAlloc)>("HeapReAlloc")(heap, flags, block, size);
}

void WINAPI LoggingDeleteCriticalSection(CRITICAL_SECTION* lock) {
  events.push_back("DeleteCriticalSection");
  Kernel32<decltype(&DeleteCriticalSection)>("DeleteCriticalSection")(lock);
}

void* Fn(auto* function) { return reinterpret_cast<void*>(function); }

// A module started on a faked processor count, with the heap calls watched.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    heapAllocResults.clear();
    heapCreateCalls = 0;
    failHeapCreateAt = 0;
    failHeapAlloc = false;
    failHeapReAlloc = false;
    ASSERT_TRUE(systemInfo.Active() && heapCreate.Active() && heapDestroy.Active() && heapAlloc.Active() &&
                heapReAlloc.Active() && deleteLock.Active());
  }
  void TearDown() override {
    if (started) {
      Stop();
    }
  }

  void Start(DWORD processors, ClassEntry* classes = nullptr) {
    processorCount = processors;
    StartModule(&module, classes, Self(), nullptr);
    started = true;
  }
  void Stop() {
    StopModule(&module);
    started = false;
  }

  ImportPatch systemInfo{Self(), "kernel32.dll", "GetSystemInfo", Fn(&FakeGetSystemInfo)};
  ImportPatch heapCreate{Self(), "kernel32.dll", "HeapCreate", Fn(&CountingHeapCreate)};
  ImportPatch heapDestroy{Self(), "kernel32.dll", "HeapDestroy", Fn(&LoggingHeapDestroy)};
  ImportPatch heapAlloc{Self(), "kernel32.dll", "HeapAlloc", Fn(&RecordingHeapAlloc)};
  ImportPatch heapReAlloc{Self(), "kernel32.dll", "HeapReAlloc", Fn(&FailableHeapReAlloc)};
  ImportPatch deleteLock{Self(), "kernel32.dll", "DeleteCriticalSection", Fn(&LoggingDeleteCriticalSection)};
  ServerModule module{};
  bool started = false;
};

TEST_F(ModuleTest, HeapCountFollowsTheProcessorCount) {
  struct Case {
    DWORD Processors;
    UINT Heaps;  // 0: single-heap mode
  };
  const Case cases[] = {{1, 0}, {2, 4}, {3, 4}, {4, 8}, {5, 8}, {8, 16}, {16, 32}};
  for (const Case& c : cases) {
    heapCreateCalls = 0;
    events.clear();
    Start(c.Processors);
    if (c.Heaps == 0) {
      EXPECT_EQ(module.Heaps, nullptr);
      EXPECT_EQ(module.HeapMask, 0u);
      EXPECT_EQ(heapCreateCalls, 1);
    } else {
      EXPECT_NE(module.Heaps, nullptr) << c.Processors;
      EXPECT_EQ(module.HeapMask + 1, c.Heaps) << c.Processors;
      EXPECT_EQ(heapCreateCalls, static_cast<int>(c.Heaps) + 1) << c.Processors;
    }
    Stop();
    // Every per-processor heap, then the base heap.
    EXPECT_EQ(events.size(), 3 + (c.Heaps == 0 ? 1 : c.Heaps + 1)) << c.Processors;
  }
}

TEST_F(ModuleTest, SingleHeapBlocksCarryNoHeader) {
  Start(1);
  void* block = ModuleAlloc(24);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block, heapAllocResults.back());
  ModuleFree(block);
  ModuleFree(nullptr);
}

TEST_F(ModuleTest, AllocationsTakeTheHeapsInTurn) {
  Start(2);
  ASSERT_EQ(module.HeapMask, 3u);
  std::vector<void*> blocks;
  for (int i = 0; i < 6; ++i) {
    heapAllocResults.clear();
    void* block = ModuleAlloc(8);
    ASSERT_NE(block, nullptr);
    // Two words of header: the owning heap, then an unused word.
    auto* header = reinterpret_cast<HANDLE*>(heapAllocResults.back());
    EXPECT_EQ(static_cast<void*>(header + 2), block);
    EXPECT_EQ(header[0], module.Heaps[i % 4]) << "allocation " << i;
    blocks.push_back(block);
  }
  EXPECT_EQ(module.NextHeap, 6u);

  // Resizing and freeing leave the counter alone, and a block keeps its heap.
  void* grown = ModuleRealloc(blocks[1], 4096);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(reinterpret_cast<HANDLE*>(grown)[-2], module.Heaps[1]);
  ModuleFree(grown);
  ModuleFree(blocks[0]);
  EXPECT_EQ(module.NextHeap, 6u);

  // A null block is a fresh allocation.
  void* fresh = ModuleRealloc(nullptr, 8);
  EXPECT_EQ(module.NextHeap, 7u);
  EXPECT_EQ(reinterpret_cast<HANDLE*>(fresh)[-2], module.Heaps[2]);
  ModuleFree(fresh);
  for (size_t i = 2; i < blocks.size(); ++i) {
    ModuleFree(blocks[i]);
  }
}

TEST_F(ModuleTest, FailedReallocKeepsTheOldBlock) {
  for (DWORD processors : {1u, 2u}) {
    Start(processors);
    auto* block = static_cast<char*>(ModuleAlloc(16));
    ASSERT_NE(block, nullptr);
    lstrcpyA(block, "kept contents");
    failHeapReAlloc = true;
    EXPECT_EQ(ModuleRealloc(block, 1 << 20), nullptr);
    failHeapReAlloc = false;
    EXPECT_STREQ(block, "kept contents");
    if (processors > 1) {
      EXPECT_EQ(reinterpret_cast<HANDLE*>(block)[-2], module.Heaps[0]);
    }
    ModuleFree(block);
    Stop();
  }
}

TEST_F(ModuleTest, FailedHeapSetFallsBackToOneHeap) {
  // The third heap of the set cannot be made: the two before it are destroyed.
  failHeapCreateAt = 4;
  Start(2);
  EXPECT_EQ(module.Heaps, nullptr);
  EXPECT_EQ(module.HeapMask, 0u);
  EXPECT_EQ(events, (std::vector<std::string>{"HeapDestroy", "HeapDestroy"}));
  void* block = ModuleAlloc(8);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block, heapAllocResults.back());
  ModuleFree(block);
  Stop();

  // The Heaps array itself cannot be had.
  failHeapCreateAt = 0;
  heapCreateCalls = 0;
  failHeapAlloc = true;
  Start(4);
  failHeapAlloc = false;
  EXPECT_EQ(module.Heaps, nullptr);
  EXPECT_EQ(heapCreateCalls, 1);
  block = ModuleAlloc(8);
  EXPECT_EQ(block, heapAllocResults.back());
  ModuleFree(block);
}


void LogCleanup(void* argument) { events.push_back(static_cast<const char*>(argument)); }

TEST_F(ModuleTest, CleanupsRunNewestFirstBetweenLocksAndHeaps) {
  Start(2);
  ASSERT_EQ(AddCleanup(&module, &LogCleanup, const_cast<char*>("A")), S_OK);
  ASSERT_EQ(AddCleanup(&module, &LogCleanup, const_cast<char*>("B")), S_OK);
  events.clear();
  Stop();
  std::vector<std::string> expected = {"DeleteCriticalSection", "DeleteCriticalSection", "DeleteCriticalSection",
                                       "B", "A"};
  expected.insert(expected.end(), 5, "HeapDestroy");
  EXPECT_EQ(events, expected);
}

TEST_F(ModuleTest, AddCleanupWithoutMemoryLeavesTheListAlone) {
  Start(1);
  failHeapAlloc = true;
  EXPECT_EQ(AddCleanup(&module, &LogCleanup, const_cast<char*>("A")), E_OUTOFMEMORY);
  failHeapAlloc = false;
  EXPECT_EQ(module.CleanupList, nullptr);
}

// A class row that records when its init and term run and what exists then.
void RecordingInitTerm(BOOL starting) {
  events.push_back(starting ? "init" : "term");
  if (starting) {
    events.push_back(CurrentModule->BaseHeap == nullptr ? "no heap yet" : "heap exists");
  }
}
const void* Include() { return nullptr; }
const CategoryEntry* NoCategories() { return nullptr; }
HRESULT NoRegistration(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE NoQuery(UnknownView*, REFIID, void** out) {
  *out = nullptr;
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE NoAddRef(UnknownView*) { return 2; }
ULONG STDMETHODCALLTYPE CountedRelease(UnknownView*) {
  events.push_back("release");
  return 0;
}
const UnknownEntries<UnknownView> StubTable = {&NoQuery, &NoAddRef, &CountedRelease};
UnknownView stubClassObject{&StubTable};

const GUID ClassA = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
const GUID ClassB = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 12}};

TEST_F(ModuleTest, ClassRowsStartBeforeTheHeapsAndEndRowByRow) {
  ClassEntry classes[] = {
      {&ClassA, &NoRegistration, nullptr, nullptr, reinterpret_cast<IUnknown*>(&stubClassObject), 0, &Include,
       &NoCategories, &RecordingInitTerm},
      {&ClassB, &NoRegistration, nullptr, nullptr, nullptr, 0, &Include, &NoCategories, &RecordingInitTerm},
      {},
  };
  Start(1, classes);
  EXPECT_EQ(events, (std::vector<std::string>{"init", "no heap yet", "init", "no heap yet"}));

  // A row without a class-object creator is invisible to lookups.
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(LookupClassObject(&module, ClassA, IID_IUnknown, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);

  events.clear();
  Stop();
  EXPECT_EQ(classes[0].ClassObject, nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"release", "term", "term", "DeleteCriticalSection",
                                              "DeleteCriticalSection", "DeleteCriticalSection", "HeapDestroy"}));
}

// Creators out of memory: E_OUTOFMEMORY, the out pointer untouched, nothing counted.
HRESULT NeverCalled(IUnknown*, REFIID, void**) { return E_UNEXPECTED; }

TEST_F(ModuleTest, CreatorsOutOfMemory) {
  Start(2);
  void* const untouched = reinterpret_cast<void*>(7);
  failHeapAlloc = true;
  void* out = untouched;
  EXPECT_EQ(CreateClassFactory(&NeverCalled, IID_IUnknown, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, untouched);
  EXPECT_EQ(CreateStandaloneOrAggregate<LongBeepClass>(nullptr, IID_IUnknown, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, untouched);
  IUnknown* outer = reinterpret_cast<IUnknown*>(&stubClassObject);
  EXPECT_EQ(CreateStandaloneOrAggregate<LongBeepClass>(outer, IID_IUnknown, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, untouched);
  failHeapAlloc = false;
  EXPECT_EQ(module.LockCount, 0);

  // A refused interface: the new object is gone and its unit of LockCount given back.
  EXPECT_EQ(CreateStandaloneOrAggregate<LongBeepClass>(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(module.LockCount, 0);
}

}  // namespace
