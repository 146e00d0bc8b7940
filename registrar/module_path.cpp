#include "registrar/module_path.h"

HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

HRESULT LastErrorFailure() {
  HRESULT result = LastErrorResult();
  return result == S_OK ? E_FAIL : result;
}

HRESULT ReadModuleFileName(HINSTANCE module, char* path) {
  DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0) {
    return LastErrorFailure();
  }
  // A full buffer means the name was cut, and perhaps left unterminated.
  if (length >= MAX_PATH) {
    path[0] = '\0';
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  }
  return S_OK;
}

HRESULT ReadShortPathName(const char* path, char* shortPath) {
  DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
  if (length == 0) {
    return LastErrorFailure();
  }
  // At MAX_PATH or more the result is the size it would need, and nothing was written.
  if (length >= MAX_PATH) {
    shortPath[0] = '\0';
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  }
  return S_OK;
}
