#include "registrar/module_path.h"

HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

HRESULT LastErrorFailure() {
  HRESULT result = LastErrorResult();
  return result == S_OK ? E_FAIL : result;
}

namespace {

// Both platform calls answer 0 on failure and MAX_PATH or more when the path was cut
// (and perhaps left unterminated) or would need a larger buffer.
HRESULT CheckedPathLength(DWORD length, char* path) {
  if (length == 0) {
    return LastErrorFailure();
  }
  if (length >= MAX_PATH) {
    path[0] = '\0';
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  }
  return S_OK;
}

}  // namespace

HRESULT ReadModuleFileName(HINSTANCE module, char* path) {
  return CheckedPathLength(GetModuleFileNameA(module, path, MAX_PATH), path);
}

HRESULT ReadShortPathName(const char* path, char* shortPath) {
  return CheckedPathLength(GetShortPathNameA(path, shortPath, MAX_PATH), shortPath);
}
