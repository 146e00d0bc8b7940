#pragma once
// A started server module, so the engine's heap allocations work in a test
// program that links the core library directly.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/test_module.h"

class ModuleTest : public ::testing::Test {
 private:
  TestModule module_{nullptr, GetModuleHandle(nullptr)};
};
