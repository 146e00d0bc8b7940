#include "tests/support/registered_type_library.h"

#include <oleauto.h>

std::wstring WidePath(const std::string& path) {
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  wide.resize(length - 1);
  return wide;
}

RegisteredTypeLibrary::RegisteredTypeLibrary(const std::string& dllPath) {
  if (!sandbox_.Active()) {
    return;
  }
  std::wstring path = WidePath(dllPath);
  ITypeLib* library = nullptr;
  result_ = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(result_)) {
    return;
  }
  result_ = RegisterTypeLib(library, path.data(), nullptr);
  library->Release();
}

// The sandbox takes the registration with it.
RegisteredTypeLibrary::~RegisteredTypeLibrary() = default;
