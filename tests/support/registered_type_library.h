#pragma once
// The DLL's embedded type library, registered with the platform inside a
// registry sandbox that redirects HKEY_CLASSES_ROOT; leaving the scope undoes
// both, so the prefix's registry never sees it.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "tests/support/registry_sandbox.h"

class RegisteredTypeLibrary {
 public:
  explicit RegisteredTypeLibrary(const std::string& dllPath);
  ~RegisteredTypeLibrary();
  RegisteredTypeLibrary(const RegisteredTypeLibrary&) = delete;
  RegisteredTypeLibrary& operator=(const RegisteredTypeLibrary&) = delete;

  // S_OK once the library is loaded from the file and registered.
  HRESULT Result() const { return result_; }

 private:
  RegistrySandbox sandbox_;
  HRESULT result_ = E_FAIL;
};

std::wstring WidePath(const std::string& path);
