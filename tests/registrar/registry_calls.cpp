#include "tests/registrar/registry_calls.h"

namespace {

bool armed = false;
RegistryFaults faults;
RegistryCallLog log;

using OpenFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using CreateFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                     LPDWORD);
using CloseFunction = LONG(WINAPI*)(HKEY);
using SetValueFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
using DeleteKeyFunction = LONG(WINAPI*)(HKEY, LPCSTR);

OpenFunction realOpen = nullptr;
CreateFunction realCreate = nullptr;
CloseFunction realClose = nullptr;
SetValueFunction realSetValue = nullptr;
DeleteKeyFunction realDeleteKey = nullptr;

bool IsRefused(int count, int failAt) { return failAt != 0 && count == failAt; }

LONG WINAPI WatchedOpen(HKEY parent, LPCSTR name, DWORD options, REGSAM access, PHKEY key) {
  LONG status = realOpen(parent, name, options, access, key);
  // Opening a predefined root without a subkey hands back the root itself.
  if (armed && status == ERROR_SUCCESS && *key != parent) {
    ++log.KeysOpened;
  }
  return status;
}

LONG WINAPI WatchedCreate(HKEY parent, LPCSTR name, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                          LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
  if (armed) {
    log.CreatedKeys.push_back(name);
    if (IsRefused(++log.Creates, faults.FailCreateAt)) {
      return ERROR_ACCESS_DENIED;
    }
  }
  LONG status = realCreate(parent, name, reserved, keyClass, options, access, security, key, disposition);
  if (armed && status == ERROR_SUCCESS) {
    ++log.KeysOpened;
  }
  return status;
}

LONG WINAPI WatchedClose(HKEY key) {
  LONG status = realClose(key);
  if (armed) {
    ++log.KeysClosed;
    if (IsRefused(++log.Closes, faults.FailCloseAt)) {
      return ERROR_INVALID_HANDLE;
    }
  }
  return status;
}

LONG WINAPI WatchedSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (armed && IsRefused(++log.SetValues, faults.FailSetValueAt)) {
    return ERROR_ACCESS_DENIED;
  }
  return realSetValue(key, name, reserved, type, data, size);
}

LONG WINAPI WatchedDeleteKey(HKEY parent, LPCSTR name) {
  if (armed && (IsRefused(++log.DeleteKeys, faults.FailDeleteKeyAt) ||
                (!faults.FailDeleteKeyNamed.empty() && faults.FailDeleteKeyNamed == name))) {
    return ERROR_ACCESS_DENIED;
  }
  LONG status = realDeleteKey(parent, name);
  if (armed && status == ERROR_SUCCESS) {
    log.DeletedKeys.push_back(name);
  }
  return status;
}

template <class Function>
void Patch(std::vector<std::unique_ptr<ImportPatch>>& patches, const char* name, Function replacement,
           Function* original) {
  patches.push_back(std::make_unique<ImportPatch>(GetModuleHandle(nullptr), nullptr, name,
                                                  reinterpret_cast<void*>(replacement)));
  *original = patches.back()->OriginalAs<Function>();
}

}  // namespace

RegistryCallWatch::RegistryCallWatch() {
  Patch(patches_, "RegOpenKeyExA", &WatchedOpen, &realOpen);
  Patch(patches_, "RegCreateKeyExA", &WatchedCreate, &realCreate);
  Patch(patches_, "RegCloseKey", &WatchedClose, &realClose);
  Patch(patches_, "RegSetValueExA", &WatchedSetValue, &realSetValue);
  Patch(patches_, "RegDeleteKeyA", &WatchedDeleteKey, &realDeleteKey);
}

RegistryCallWatch::~RegistryCallWatch() {
  Disarm();
  // Restored newest first, as they were made.
  while (!patches_.empty()) {
    patches_.pop_back();
  }
}

bool RegistryCallWatch::Active() const {
  for (const auto& patch : patches_) {
    if (!patch->Active()) {
      return false;
    }
  }
  return true;
}

void RegistryCallWatch::Arm(const RegistryFaults& chosen) {
  faults = chosen;
  log = RegistryCallLog{};
  armed = true;
}

void RegistryCallWatch::Disarm() { armed = false; }

const RegistryCallLog& RegistryCallWatch::Log() const { return log; }
