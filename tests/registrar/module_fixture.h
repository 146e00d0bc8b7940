#pragma once
// A started server module, so the engine's heap allocations work in a test
// program that links the core library directly.
#include <gtest/gtest.h>
#include <windows.h>

#include "server/server_module.h"

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { StartModule(&module_, nullptr, GetModuleHandle(nullptr), nullptr); }
  void TearDown() override { StopModule(&module_); }

 private:
  ServerModule module_ = {};
};
