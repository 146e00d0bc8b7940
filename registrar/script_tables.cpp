#include "registrar/script_format.h"

namespace {

struct RootKeyRow {
  const char* Name;
  HKEY Key;
};

// Searched in this order; the first match wins.
const RootKeyRow RootKeyTable[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

struct ValueKindRow {
  const char* Letter;
  VARTYPE Kind;
};

const ValueKindRow ValueKindTable[] = {
    {"S", VT_BSTR},
    {"D", VT_UI4},
    {"B", VT_UI1},
};

}  // namespace

HKEY FindRootKey(const char* name) {
  for (const RootKeyRow& row : RootKeyTable) {
    if (lstrcmpiA(name, row.Name) == 0) {
      return row.Key;
    }
  }
  return nullptr;
}

bool FindValueKind(const char* letter, VARTYPE* kind) {
  for (const ValueKindRow& row : ValueKindTable) {
    if (lstrcmpiA(letter, row.Letter) == 0) {
      *kind = row.Kind;
      return true;
    }
  }
  return false;
}

BYTE HexDigitValue(char digit) {
  if (digit >= '0' && digit <= '9') {
    return static_cast<BYTE>(digit - '0');
  }
  if (digit >= 'A' && digit <= 'F') {
    return static_cast<BYTE>(digit - 'A' + 10);
  }
  if (digit >= 'a' && digit <= 'f') {
    return static_cast<BYTE>(digit - 'a' + 10);
  }
  return 0;
}
