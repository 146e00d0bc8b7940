#include "bench/registrar/registry_stub.h"

namespace {

HKEY StandInKey() { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(0x1234)); }

LONG WINAPI StubOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return ERROR_FILE_NOT_FOUND; }

LONG WINAPI StubCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY key, LPDWORD) {
  *key = StandInKey();
  return ERROR_SUCCESS;
}

LONG WINAPI StubClose(HKEY) { return ERROR_SUCCESS; }

LONG WINAPI StubSetValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_SUCCESS; }

}  // namespace

RegistryStub::RegistryStub() {
  HMODULE self = GetModuleHandle(nullptr);
  patches_.push_back(std::make_unique<ImportPatch>(self, nullptr, "RegOpenKeyExA", reinterpret_cast<void*>(&StubOpen)));
  patches_.push_back(
      std::make_unique<ImportPatch>(self, nullptr, "RegCreateKeyExA", reinterpret_cast<void*>(&StubCreate)));
  patches_.push_back(std::make_unique<ImportPatch>(self, nullptr, "RegCloseKey", reinterpret_cast<void*>(&StubClose)));
  patches_.push_back(
      std::make_unique<ImportPatch>(self, nullptr, "RegSetValueExA", reinterpret_cast<void*>(&StubSetValue)));
}

RegistryStub::~RegistryStub() {
  while (!patches_.empty()) {
    patches_.pop_back();
  }
}
