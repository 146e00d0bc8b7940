#pragma once
// The server module's own file name, refused rather than cut short when it does not fit.
#include <windows.h>

// The platform's last error as an HRESULT; a last error of 0 reads as S_OK.
HRESULT LastErrorResult();

// The same, but a last error of 0 still reads as a failure (E_FAIL).
HRESULT LastErrorFailure();

// Full path of module into path[0 .. MAX_PATH-1]; fails when it needs MAX_PATH characters or more.
HRESULT ReadModuleFileName(HINSTANCE module, char* path);

// Short form of path into shortPath[0 .. MAX_PATH-1]; fails when it cannot be had or does not fit.
HRESULT ReadShortPathName(const char* path, char* shortPath);
