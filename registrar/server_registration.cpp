#include "registrar/server_registration.h"

#include <oleauto.h>

#include "registrar/category_list.h"
#include "registrar/module_path.h"
#include "server/server_module.h"

namespace {

// The module path (at most MAX_PATH - 1 characters) with room for the ".tlb" rule.
constexpr int TypeLibraryPathSize = MAX_PATH + 4;

using UnRegisterTypeLibFunction = HRESULT(STDAPICALLTYPE*)(REFGUID, WORD, WORD, LCID, SYSKIND);

bool IsPassedBy(const ClassEntry& row) {
  return row.SkipModuleRegistration != nullptr && row.SkipModuleRegistration() != nullptr;
}

HRESULT LoadTypeLibraryFrom(const char* path, wchar_t* widePath, ITypeLib** library) {
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, TypeLibraryPathSize) == 0) {
    return LastErrorFailure();
  }
  return LoadTypeLib(widePath, library);
}

// Without the platform's removal entry nothing is removed, and nothing is reported.
void RemoveTypeLibraryRegistration(const TLIBATTR& attributes) {
  HMODULE automation = LoadLibraryA("oleaut32.dll");
  if (automation == nullptr) {
    return;
  }
  auto remove = reinterpret_cast<UnRegisterTypeLibFunction>(
      reinterpret_cast<void*>(GetProcAddress(automation, "UnRegisterTypeLib")));
  if (remove != nullptr) {
    remove(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid, attributes.syskind);
  }
  FreeLibrary(automation);
}

// The help directory is the loaded path's directory part, with its separator.
HRESULT RegisterLoadedTypeLibrary(ITypeLib* library, BSTR path) {
  wchar_t helpDirectory[MAX_PATH];
  int directoryLength = DirectoryPartLength(path);
  if (directoryLength >= MAX_PATH) {
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  }
  lstrcpynW(helpDirectory, path, directoryLength + 1);
  return RegisterTypeLib(library, path, helpDirectory);
}

// The library's identity comes from the file, not from the registry; the removal's result is dropped.
HRESULT UnregisterLoadedTypeLibrary(ITypeLib* library, BSTR) {
  TLIBATTR* attributes = nullptr;
  if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes != nullptr) {
    RemoveTypeLibraryRegistration(*attributes);
    library->ReleaseTLibAttr(attributes);
  }
  return S_OK;
}

// Loads the module's type library for work and releases it after: the load's failure, else work's result.
HRESULT WithOwnTypeLibrary(ServerModule* module, HRESULT (*work)(ITypeLib* library, BSTR path)) {
  ITypeLib* library = nullptr;
  BSTR path = nullptr;
  HRESULT result = LoadOwnTypeLibrary(module, &library, &path);
  if (FAILED(result)) {
    return result;
  }
  result = work(library, path);
  library->Release();
  SysFreeString(path);
  return result;
}

}  // namespace

HRESULT RegisterModuleClasses(ServerModule* module) {
  for (ClassEntry* row = module->Classes; row != nullptr && row->ClassId != nullptr; ++row) {
    if (IsPassedBy(*row)) {
      continue;
    }
    HRESULT result = row->ClassRegistration(TRUE);
    if (FAILED(result)) {
      return result;
    }
    result = RegisterCategoryList(row->ClassId, row->GetCategoryList(), TRUE);
    if (FAILED(result)) {
      return result;
    }
  }
  return RegisterOwnTypeLibrary(module);
}

HRESULT UnregisterModuleClasses(ServerModule* module) {
  for (ClassEntry* row = module->Classes; row != nullptr && row->ClassId != nullptr; ++row) {
    if (IsPassedBy(*row)) {
      continue;
    }
    row->ClassRegistration(FALSE);
    RegisterCategoryList(row->ClassId, row->GetCategoryList(), FALSE);
  }
  UnregisterOwnTypeLibrary(module);
  return S_OK;
}

HRESULT LoadOwnTypeLibrary(ServerModule* module, ITypeLib** library, BSTR* loadedPath) {
  *library = nullptr;
  *loadedPath = nullptr;
  char path[TypeLibraryPathSize];
  HRESULT result = ReadModuleFileName(module->TypeLibInstance, path);
  if (FAILED(result)) {
    return result;
  }
  wchar_t widePath[TypeLibraryPathSize];
  result = LoadTypeLibraryFrom(path, widePath, library);
  if (FAILED(result)) {
    ReplaceExtensionWithTlb(path);
    result = LoadTypeLibraryFrom(path, widePath, library);
    if (FAILED(result)) {
      *library = nullptr;
      return result;
    }
  }
  *loadedPath = SysAllocString(widePath);
  if (*loadedPath == nullptr) {
    (*library)->Release();
    *library = nullptr;
    return E_OUTOFMEMORY;
  }
  return result;
}

HRESULT RegisterOwnTypeLibrary(ServerModule* module) {
  return WithOwnTypeLibrary(module, &RegisterLoadedTypeLibrary);
}

HRESULT UnregisterOwnTypeLibrary(ServerModule* module) {
  return WithOwnTypeLibrary(module, &UnregisterLoadedTypeLibrary);
}

int DirectoryPartLength(const wchar_t* path) {
  int length = 0;
  for (int index = 0; path[index] != L'\0'; ++index) {
    wchar_t character = path[index];
    if (character == L'\\' || character == L'/' || character == L':') {
      length = index + 1;
    }
  }
  return length;
}

void ReplaceExtensionWithTlb(char* path) {
  char* lastDot = nullptr;
  char* cursor = path;
  for (; *cursor != '\0'; cursor = CharNextA(cursor)) {
    if (*cursor == '.') {
      lastDot = cursor;
    }
  }
  lstrcpyA(lastDot != nullptr ? lastDot : cursor, ".tlb");
}
