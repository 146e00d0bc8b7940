#pragma once
// The module-wide type information of one dual interface, loaded from its
// registered type library on the first late-bound call and kept until the
// module ends, with a table of its member names for GetIDsOfNames.
#include <windows.h>
#include <oaidl.h>

struct NameCacheEntry {
  BSTR Name;  // owned; null when the member's name could not be read
  LONG Length;  // SysStringLen(Name); not set while Name is null
  DISPID MemberId;
};

struct TypeInfoCache {
  const GUID& InterfaceId;
  const GUID& LibraryId;
  WORD MajorVersion;
  WORD MinorVersion;
  // Published once, with release ordering, after Entries and EntryCount are
  // complete; readers take no lock, so they load it with acquire ordering.
  // Owns one reference; may be an ITypeInfo2.
  ITypeInfo* TypeInfo;
  NameCacheEntry* Entries;  // module heap; carries its element count with it
  LONG EntryCount;
};

HRESULT EnsureLoaded(TypeInfoCache* cache, LCID locale);
HRESULT ProvideTypeInfo(TypeInfoCache* cache, LCID locale, ITypeInfo** out);
// Null name or DISPID arrays with a non-zero count: E_POINTER.
HRESULT ResolveNames(TypeInfoCache* cache, LPOLESTR* names, UINT count, LCID locale, DISPID* ids);
void BuildNameCache(TypeInfoCache* cache, ITypeInfo* typeInfo);
// The cleanup EnsureLoaded registers with the module; argument is the cache.
// A second run on the same cache finds nothing left and does nothing.
void ReleaseTypeInfoCache(void* argument);

// The loaded type information, or null; safe to call without a lock.
inline ITypeInfo* PublishedTypeInfo(const TypeInfoCache* cache) {
  return __atomic_load_n(&cache->TypeInfo, __ATOMIC_ACQUIRE);
}

// The loaded type information, loading it first when there is none yet.
// *result is S_OK when it was there already, else what the load returned;
// null when the load failed.
ITypeInfo* LoadedTypeInfo(TypeInfoCache* cache, LCID locale, HRESULT* result);
