#pragma once
// Registration of the whole server: every class row's registry entries and
// categories, then the type library that the module file carries.
#include <windows.h>
#include <oaidl.h>

struct ServerModule;

// The first failure, else the type library's registration result.
HRESULT RegisterModuleClasses(ServerModule* module);
// Removes everything it can; always S_OK.
HRESULT UnregisterModuleClasses(ServerModule* module);

// Loads the type library from the module file, else from the same path ending in ".tlb".
// On success the caller releases *library and frees *loadedPath; on failure both are null.
HRESULT LoadOwnTypeLibrary(ServerModule* module, ITypeLib** library, BSTR* loadedPath);
HRESULT RegisterOwnTypeLibrary(ServerModule* module);
// The result of the load; the removal's own result is dropped.
HRESULT UnregisterOwnTypeLibrary(ServerModule* module);

// Characters up to and including the last backslash, slash or colon; 0 when there is none.
int DirectoryPartLength(const wchar_t* path);

// Puts ".tlb" in place of everything from the path's last "." on, or at its end when it has
// none. path must have room for 4 more characters.
void ReplaceExtensionWithTlb(char* path);
