#include "registrar/script_resource.h"

#include <malloc.h>
#include <string.h>

#include "registrar/module_path.h"
#include "registrar/registrar.h"
#include "registrar/script_execution.h"
#include "server/server_module.h"

namespace {

const wchar_t ScriptResourceType[] = L"REGISTRY";

// Longer scripts are copied to task memory, so that no resource can exhaust the stack.
constexpr DWORD StackCopyLimit = 16384;

// The ANSI forms of a module path and of a resource type; a longer text fails to convert.
constexpr int AnsiPathSize = 2 * MAX_PATH + 2;
constexpr int AnsiTypeSize = 2 * 256 + 2;

bool IsReadable(DWORD protection) {
  if ((protection & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
    return false;
  }
  return (protection & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                        PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

HRESULT RunModuleScript(Registrar* registrar, UINT resourceId, BOOL registering) {
  char modulePath[MAX_PATH];
  HRESULT result = ReadModuleFileName(CurrentModule->ModuleInstance, modulePath);
  if (FAILED(result)) {
    return result;
  }
  char shortPath[MAX_PATH];
  result = ReadShortPathName(modulePath, shortPath);
  if (FAILED(result)) {
    return result;
  }
  wchar_t wideShortPath[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, shortPath, -1, wideShortPath, MAX_PATH) == 0) {
    return LastErrorFailure();
  }
  wchar_t moduleValue[2 * MAX_PATH + 1];
  DoubleApostrophes(moduleValue, wideShortPath);
  // Not checked: without the variable the script's %MODULE% fails in expansion.
  AddVariable(registrar, L"Module", moduleValue);
  return registering ? RegisterScriptResource(registrar, wideShortPath, ScriptResourceType, resourceId)
                     : UnregisterScriptResource(registrar, wideShortPath, ScriptResourceType, resourceId);
}

HRESULT RunTypedScriptResource(Registrar* registrar, const wchar_t* modulePath, const wchar_t* resourceType,
                               UINT resourceId, BOOL registering) {
  char ansiType[AnsiTypeSize];
  const char* type = nullptr;
  if (resourceType != nullptr) {
    if (WideCharToMultiByte(CP_ACP, 0, resourceType, -1, ansiType, AnsiTypeSize, nullptr, nullptr) == 0) {
      return LastErrorFailure();
    }
    type = ansiType;
  }
  return RunScriptResource(registrar, modulePath, static_cast<WORD>(resourceId & 0xFFFF), type, registering);
}

}  // namespace

HRESULT ApplyClassScript(UINT resourceId, BOOL registering) {
  Registrar registrar;
  ConstructRegistrar(&registrar);
  HRESULT result = RunModuleScript(&registrar, resourceId, registering);
  DestroyRegistrar(&registrar);
  return result;
}

HRESULT RegisterScriptResource(Registrar* registrar, const wchar_t* modulePath, const wchar_t* resourceType,
                               UINT resourceId) {
  return RunTypedScriptResource(registrar, modulePath, resourceType, resourceId, TRUE);
}

HRESULT UnregisterScriptResource(Registrar* registrar, const wchar_t* modulePath, const wchar_t* resourceType,
                                 UINT resourceId) {
  return RunTypedScriptResource(registrar, modulePath, resourceType, resourceId, FALSE);
}

HRESULT RunScriptResource(Registrar* registrar, const wchar_t* modulePath, WORD resourceId,
                          const char* resourceType, BOOL registering) {
  char ansiPath[AnsiPathSize];
  if (WideCharToMultiByte(CP_ACP, 0, modulePath, -1, ansiPath, AnsiPathSize, nullptr, nullptr) == 0) {
    return LastErrorFailure();
  }
  HMODULE file = LoadLibraryExA(ansiPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (file == nullptr) {
    return LastErrorResult();
  }
  HRESULT result;
  HRSRC resource = FindResourceA(file, MAKEINTRESOURCEA(resourceId), resourceType);
  HGLOBAL loaded = resource == nullptr ? nullptr : LoadResource(file, resource);
  if (loaded == nullptr) {
    // A last error of 0 reads as S_OK: the class counts as done with nothing run.
    result = LastErrorResult();
  } else {
    result = RunScriptBytes(registrar, static_cast<const char*>(LockResource(loaded)), SizeofResource(file, resource),
                            registering);
  }
  FreeLibrary(file);
  return result;
}

HRESULT RunScriptBytes(Registrar* registrar, const char* data, DWORD size, BOOL registering) {
  ScriptParser parser = {nullptr, registrar};
  if (IsFollowedByZero(data, size)) {
    return RunScript(&parser, data, registering);
  }
  bool onStack = size < StackCopyLimit;
  char* copy = static_cast<char*>(onStack ? _alloca(size + 1) : CoTaskMemAlloc(size + 1));
  if (copy == nullptr) {
    return E_OUTOFMEMORY;
  }
  if (size != 0) {
    memcpy(copy, data, size);
  }
  copy[size] = '\0';
  HRESULT result = RunScript(&parser, copy, registering);
  if (!onStack) {
    CoTaskMemFree(copy);
  }
  return result;
}

bool IsFollowedByZero(const char* data, DWORD size) {
  MEMORY_BASIC_INFORMATION region;
  if (data == nullptr || VirtualQuery(data, &region, sizeof region) == 0) {
    return false;
  }
  const char* regionEnd = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  if (region.State != MEM_COMMIT || !IsReadable(region.Protect) || size >= static_cast<SIZE_T>(regionEnd - data)) {
    return false;
  }
  return data[size] == '\0';
}

void DoubleApostrophes(wchar_t* destination, const wchar_t* source) {
  for (; *source != L'\0'; ++source) {
    if (*source == L'\'') {
      *destination++ = L'\'';
    }
    *destination++ = *source;
  }
  *destination = L'\0';
}
