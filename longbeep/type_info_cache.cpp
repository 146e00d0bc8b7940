#include "longbeep/type_info_cache.h"

#include <cstring>

#include "server/module_heap.h"
#include "server/server_module.h"

namespace {

// The Entries array is preceded by its element count, so it can be freed alone.
NameCacheEntry* MakeNameArray(LONG count) {
  auto* header = static_cast<SIZE_T*>(ModuleAlloc(sizeof(SIZE_T) + count * sizeof(NameCacheEntry)));
  if (header == nullptr) {
    return nullptr;
  }
  *header = static_cast<SIZE_T>(count);
  auto* entries = reinterpret_cast<NameCacheEntry*>(header + 1);
  for (LONG k = 0; k < count; ++k) {
    entries[k].Name = nullptr;
  }
  return entries;
}

void FreeNameArray(NameCacheEntry* entries) {
  SIZE_T* header = reinterpret_cast<SIZE_T*>(entries) - 1;
  for (SIZE_T k = *header; k-- > 0;) {
    SysFreeString(entries[k].Name);
  }
  ModuleFree(header);
}

// Exact, case-sensitive match; the newest entries are searched first.
bool FindCachedName(const TypeInfoCache* cache, const OLECHAR* name, DISPID* id) {
  LONG length = lstrlenW(name);
  for (LONG k = cache->EntryCount; k-- > 0;) {
    const NameCacheEntry& entry = cache->Entries[k];
    // A nameless entry's Length was never written.
    if (entry.Name != nullptr && entry.Length == length &&
        std::memcmp(entry.Name, name, static_cast<size_t>(length) * sizeof(OLECHAR)) == 0) {
      *id = entry.MemberId;
      return true;
    }
  }
  return false;
}

// Runs under TypeInfoLock, with nothing loaded yet.
HRESULT LoadTypeInfo(TypeInfoCache* cache, LCID locale) {
  ITypeLib* library = nullptr;
  HRESULT result = LoadRegTypeLib(cache->LibraryId, cache->MajorVersion, cache->MinorVersion, locale, &library);
  if (FAILED(result)) {
    return result;
  }
  ITypeInfo* typeInfo = nullptr;
  result = library->GetTypeInfoOfGuid(cache->InterfaceId, &typeInfo);
  if (FAILED(result)) {
    library->Release();
    return result;
  }
  // The cache takes a reference of its own on the chosen pointer, ITypeInfo2
  // when offered; every other reference is dropped once it is published.
  ITypeInfo* chosen = typeInfo;
  chosen->AddRef();
  ITypeInfo2* typeInfo2 = nullptr;
  if (SUCCEEDED(typeInfo->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&typeInfo2)))) {
    chosen->Release();
    chosen = typeInfo2;
    chosen->AddRef();
  }
  BuildNameCache(cache, chosen);
  __atomic_store_n(&cache->TypeInfo, chosen, __ATOMIC_RELEASE);
  if (typeInfo2 != nullptr) {
    typeInfo2->Release();
  }
  library->Release();
  typeInfo->Release();
  return result;
}

}  // namespace

HRESULT EnsureLoaded(TypeInfoCache* cache, LCID locale) {
  if (PublishedTypeInfo(cache) != nullptr) {
    return S_OK;
  }
  ServerModule* module = CurrentModule;
  HRESULT result = S_OK;
  EnterCriticalSection(&module->TypeInfoLock);
  if (PublishedTypeInfo(cache) == nullptr) {
    result = LoadTypeInfo(cache, locale);
  }
  LeaveCriticalSection(&module->TypeInfoLock);
  // Registered on every locked pass, loaded or not; extra runs do nothing.
  AddCleanup(module, &ReleaseTypeInfoCache, cache);
  return result;
}

ITypeInfo* LoadedTypeInfo(TypeInfoCache* cache, LCID locale, HRESULT* result) {
  *result = S_OK;
  ITypeInfo* typeInfo = PublishedTypeInfo(cache);
  if (typeInfo == nullptr) {
    *result = EnsureLoaded(cache, locale);
    typeInfo = PublishedTypeInfo(cache);
  }
  return typeInfo;
}

HRESULT ProvideTypeInfo(TypeInfoCache* cache, LCID locale, ITypeInfo** out) {
  HRESULT result;
  ITypeInfo* typeInfo = LoadedTypeInfo(cache, locale, &result);
  *out = typeInfo;
  if (typeInfo == nullptr) {
    return result;
  }
  typeInfo->AddRef();
  return S_OK;
}

HRESULT ResolveNames(TypeInfoCache* cache, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) {
  if (count != 0 && (names == nullptr || ids == nullptr)) {
    return E_POINTER;
  }
  HRESULT result;
  ITypeInfo* typeInfo = LoadedTypeInfo(cache, locale, &result);
  if (typeInfo == nullptr) {
    return result;
  }
  // Each name is looked up as a member name of its own, parameter names too.
  for (UINT i = 0; i < count; ++i) {
    if (FindCachedName(cache, names[i], &ids[i])) {
      continue;
    }
    result = typeInfo->GetIDsOfNames(&names[i], 1, &ids[i]);
    if (FAILED(result)) {
      return result;
    }
  }
  return result;
}

void BuildNameCache(TypeInfoCache* cache, ITypeInfo* typeInfo) {
  TYPEATTR* attributes = nullptr;
  if (FAILED(typeInfo->GetTypeAttr(&attributes))) {
    return;
  }
  cache->EntryCount = attributes->cFuncs;
  if (cache->EntryCount != 0) {
    cache->Entries = MakeNameArray(cache->EntryCount);
    if (cache->Entries == nullptr) {
      cache->EntryCount = 0;  // no table: every name goes to the platform
    }
  }
  for (LONG k = 0; k < cache->EntryCount; ++k) {
    FUNCDESC* function = nullptr;
    if (FAILED(typeInfo->GetFuncDesc(static_cast<UINT>(k), &function))) {
      continue;
    }
    BSTR name = nullptr;
    if (SUCCEEDED(typeInfo->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
      NameCacheEntry& entry = cache->Entries[k];
      entry.Name = name;
      entry.Length = static_cast<LONG>(SysStringLen(name));
      entry.MemberId = function->memid;
    }
    typeInfo->ReleaseFuncDesc(function);
  }
  typeInfo->ReleaseTypeAttr(attributes);
}

void ReleaseTypeInfoCache(void* argument) {
  auto* cache = static_cast<TypeInfoCache*>(argument);
  if (cache->TypeInfo != nullptr) {
    cache->TypeInfo->Release();
    cache->TypeInfo = nullptr;
  }
  if (cache->Entries != nullptr) {
    FreeNameArray(cache->Entries);
    cache->Entries = nullptr;
  }
  cache->EntryCount = 0;
}
