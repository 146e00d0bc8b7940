#pragma once
// Replaces the registry calls of this program with stand-ins that do nothing
// and succeed (opens fail, so every key is created), leaving only the
// engine's own work to time.
#include <windows.h>

#include <memory>
#include <vector>

#include "tests/support/import_patch.h"

class RegistryStub {
 public:
  RegistryStub();
  ~RegistryStub();

 private:
  std::vector<std::unique_ptr<ImportPatch>> patches_;
};
