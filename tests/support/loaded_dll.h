#pragma once
// The DLL under test, loaded from the test program's own directory, with its
// exports. Freeing it runs its process detach, so each load starts afresh.
#include <windows.h>
#include <objbase.h>

#include <string>

// Directory of the running test program, with a trailing backslash.
std::string TestProgramDirectory();

class LoadedDll {
 public:
  explicit LoadedDll(const char* fileName = "ZIRPEL.dll");
  ~LoadedDll();
  LoadedDll(const LoadedDll&) = delete;
  LoadedDll& operator=(const LoadedDll&) = delete;

  HMODULE Handle() const { return module_; }
  const std::string& Path() const { return path_; }

  template <class Function>
  Function Export(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HRESULT DllCanUnloadNow() const;
  HRESULT DllGetClassObject(REFCLSID classId, REFIID iid, void** out) const;
  HRESULT DllRegisterServer() const;
  HRESULT DllUnregisterServer() const;

 private:
  std::string path_;
  HMODULE module_ = nullptr;
};
