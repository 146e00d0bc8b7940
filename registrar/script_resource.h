#pragma once
// A class's registry script, stored in the module file as a "REGISTRY"
// resource, run with the one variable Module in register or removal mode.
#include <windows.h>

struct Registrar;

// Runs the module's script resource resourceId; registering nonzero registers, zero removes.
HRESULT ApplyClassScript(UINT resourceId, BOOL registering);

// Both keep the low 16 bits of resourceId; a null resourceType stays null.
HRESULT RegisterScriptResource(Registrar* registrar, const wchar_t* modulePath, const wchar_t* resourceType,
                               UINT resourceId);
HRESULT UnregisterScriptResource(Registrar* registrar, const wchar_t* modulePath, const wchar_t* resourceType,
                                 UINT resourceId);

// Opens modulePath as a data file and runs its resource (resourceType, resourceId).
HRESULT RunScriptResource(Registrar* registrar, const wchar_t* modulePath, WORD resourceId,
                          const char* resourceType, BOOL registering);

// Runs exactly size bytes of script text, which need not be zero-terminated and are never written to.
HRESULT RunScriptBytes(Registrar* registrar, const char* data, DWORD size, BOOL registering);

// True when the byte just past data[0 .. size-1] lies in the same committed, readable region and is zero.
bool IsFollowedByZero(const char* data, DWORD size);

// Copies source with every apostrophe written twice; destination holds 2 * length + 1 characters.
void DoubleApostrophes(wchar_t* destination, const wchar_t* source);
