#pragma once
// Replaces one named import of a loaded module (the DLL under test, or the test
// program itself) for the lifetime of the patch object.
#include <windows.h>

class ImportPatch {
 public:
  // dll may be null to match the function in any imported DLL.
  ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  bool Active() const { return slot_ != nullptr; }
  void* Original() const { return original_; }

  template <class Function>
  Function OriginalAs() const {
    return reinterpret_cast<Function>(original_);
  }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};
