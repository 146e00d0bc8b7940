#include "tests/support/loaded_dll.h"

std::string TestProgramDirectory() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

LoadedDll::LoadedDll(const char* fileName) : path_(TestProgramDirectory() + fileName) {
  module_ = LoadLibraryA(path_.c_str());
}

LoadedDll::~LoadedDll() {
  if (module_ != nullptr) {
    FreeLibrary(module_);
  }
}

HRESULT LoadedDll::DllCanUnloadNow() const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
  return function == nullptr ? E_NOTIMPL : function();
}

HRESULT LoadedDll::DllGetClassObject(REFCLSID classId, REFIID iid, void** out) const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  return function == nullptr ? E_NOTIMPL : function(classId, iid, out);
}

HRESULT LoadedDll::DllRegisterServer() const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
  return function == nullptr ? E_NOTIMPL : function();
}

HRESULT LoadedDll::DllUnregisterServer() const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer");
  return function == nullptr ? E_NOTIMPL : function();
}
