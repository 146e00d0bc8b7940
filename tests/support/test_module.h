#pragma once
// A ServerModule of the test program's own, for product code linked into it:
// the code reaches the module through CurrentModule, as the DLL's copy does.
#include <windows.h>

#include "server/server_module.h"

class TestModule {
 public:
  TestModule(ClassEntry* classes, HINSTANCE instance) { StartModule(&module_, classes, instance, nullptr); }
  ~TestModule() { StopModule(&module_); }
  TestModule(const TestModule&) = delete;
  TestModule& operator=(const TestModule&) = delete;

  ServerModule* Get() { return &module_; }

 private:
  ServerModule module_{};
};

// The table of a module without classes: the end row only.
inline ClassEntry NoClasses[] = {{}};
