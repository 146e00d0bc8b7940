#include "registrar/script_execution.h"

namespace {

const char* const ProtectedKeyNames[] = {"CLSID", "TYPELIB"};

// RegEnumKeyExA refuses names that do not fit; such a subkey stops the deletion.
constexpr DWORD SubkeyNameSize = 256;
constexpr DWORD ValueNameSize = 4096;

}  // namespace

bool IsProtectedKeyName(const char* name) {
  for (const char* protectedName : ProtectedKeyNames) {
    if (lstrcmpiA(name, protectedName) == 0) {
      return true;
    }
  }
  return false;
}

LONG OpenKey(HKEY* holder, HKEY parent, const char* name, REGSAM access) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(parent, name, 0, access, &opened);
  if (status != ERROR_SUCCESS) {
    return status;
  }
  HKEY previous = *holder;
  *holder = opened;
  return previous == nullptr ? ERROR_SUCCESS : RegCloseKey(previous);
}

LONG DeleteKeyTree(HKEY parent, const char* name) {
  HKEY key = nullptr;
  LONG status = OpenKey(&key, parent, name, KEY_READ | KEY_WRITE);
  if (status != ERROR_SUCCESS) {
    return status;
  }
  for (;;) {
    char subkey[SubkeyNameSize];
    DWORD size = SubkeyNameSize;
    FILETIME written;
    // Index 0 each time: every pass removes the subkey that stood there.
    if (RegEnumKeyExA(key, 0, subkey, &size, nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS) {
      break;
    }
    status = DeleteKeyTree(key, subkey);
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      return status;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, name);
}

LONG DeleteNamedValue(HKEY key, const char* name) {
  HKEY writable = nullptr;
  LONG status = RegOpenKeyExA(key, nullptr, 0, KEY_SET_VALUE, &writable);
  if (status != ERROR_SUCCESS) {
    return status;
  }
  status = RegDeleteValueA(writable, name);
  // A predefined root comes back as itself, and is never closed.
  if (writable != key) {
    RegCloseKey(writable);
  }
  return status;
}

bool KeyHasChildKeys(HKEY key) {
  DWORD subkeys = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subkeys != 0;
}

bool KeyHasNamedValues(HKEY key) {
  DWORD values = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  if (values != 1) {
    return values > 1;
  }
  char name[ValueNameSize];
  DWORD size = ValueNameSize;
  if (RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return name[0] != '\0';
}
