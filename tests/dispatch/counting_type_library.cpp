#include "tests/dispatch/counting_type_library.h"

#include <oleauto.h>

namespace {

ImportPatch* activePatch = nullptr;

HRESULT STDAPICALLTYPE CountingLoadRegTypeLib(REFGUID libraryId, WORD major, WORD minor, LCID locale,
                                              ITypeLib** out) {
  TypeLibraryDoubleState* state = &CountingTypeLibraryLoader::State();
  InterlockedIncrement(&state->Loads);
  if (state->OnLoad) {
    state->OnLoad();
  }
  auto real = activePatch->OriginalAs<HRESULT(STDAPICALLTYPE*)(REFGUID, WORD, WORD, LCID, ITypeLib**)>();
  ITypeLib* library = nullptr;
  HRESULT result = real(libraryId, major, minor, locale, &library);
  if (FAILED(result)) {
    *out = nullptr;
    return result;
  }
  *out = new CountingTypeLib(library, state);
  return result;
}

}  // namespace

CountingTypeInfo::CountingTypeInfo(ITypeInfo* real, TypeLibraryDoubleState* state) : real_(real), state_(state) {
  InterlockedIncrement(&state_->TypeInfoReferences);
}

// Answers ITypeInfo only, never ITypeInfo2.
HRESULT CountingTypeInfo::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITypeInfo)) {
    *out = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CountingTypeInfo::AddRef() {
  InterlockedIncrement(&state_->TypeInfoReferences);
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG CountingTypeInfo::Release() {
  if (references_ <= 0) {
    InterlockedIncrement(&state_->TypeInfoOverReleases);
    return 0;
  }
  InterlockedDecrement(&state_->TypeInfoReferences);
  LONG count = InterlockedDecrement(&references_);
  // Kept alive at zero, so an extra release is counted instead of crashing.
  if (count == 0) {
    real_->Release();
    real_ = nullptr;
  }
  return static_cast<ULONG>(count);
}

HRESULT CountingTypeInfo::GetTypeAttr(TYPEATTR** attributes) {
  if (state_->FailTypeAttr) {
    return E_OUTOFMEMORY;
  }
  HRESULT result = real_->GetTypeAttr(attributes);
  if (state_->OnTypeAttr) {
    state_->OnTypeAttr();
  }
  return result;
}

HRESULT CountingTypeInfo::GetTypeComp(ITypeComp** comp) { return real_->GetTypeComp(comp); }

HRESULT CountingTypeInfo::GetFuncDesc(UINT index, FUNCDESC** function) {
  if (index == state_->FailFuncDescAt) {
    return E_OUTOFMEMORY;
  }
  return real_->GetFuncDesc(index, function);
}

HRESULT CountingTypeInfo::GetVarDesc(UINT index, VARDESC** variable) { return real_->GetVarDesc(index, variable); }

HRESULT CountingTypeInfo::GetNames(MEMBERID member, BSTR* names, UINT maxNames, UINT* count) {
  return real_->GetNames(member, names, maxNames, count);
}

HRESULT CountingTypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* type) {
  return real_->GetRefTypeOfImplType(index, type);
}

HRESULT CountingTypeInfo::GetImplTypeFlags(UINT index, INT* flags) { return real_->GetImplTypeFlags(index, flags); }

HRESULT CountingTypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) {
  {
    std::lock_guard<std::mutex> hold(state_->Lock);
    std::wstring joined;
    for (UINT i = 0; i < count; ++i) {
      joined += (i == 0 ? L"" : L"|") + std::wstring(names[i]);
    }
    state_->LookupNames.push_back(joined);
    state_->LookupCounts.push_back(count);
  }
  return real_->GetIDsOfNames(names, count, ids);
}

HRESULT CountingTypeInfo::Invoke(PVOID instance, MEMBERID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* badArgument) {
  return real_->Invoke(instance, member, flags, params, result, exception, badArgument);
}

HRESULT CountingTypeInfo::GetDocumentation(MEMBERID member, BSTR* name, BSTR* doc, DWORD* helpContext,
                                           BSTR* helpFile) {
  if (member == state_->FailDocumentationOf) {
    return E_OUTOFMEMORY;
  }
  return real_->GetDocumentation(member, name, doc, helpContext, helpFile);
}

HRESULT CountingTypeInfo::GetDllEntry(MEMBERID member, INVOKEKIND kind, BSTR* dll, BSTR* name, WORD* ordinal) {
  return real_->GetDllEntry(member, kind, dll, name, ordinal);
}

HRESULT CountingTypeInfo::GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) { return real_->GetRefTypeInfo(type, info); }

HRESULT CountingTypeInfo::AddressOfMember(MEMBERID member, INVOKEKIND kind, PVOID* address) {
  return real_->AddressOfMember(member, kind, address);
}

HRESULT CountingTypeInfo::CreateInstance(IUnknown* outer, REFIID iid, PVOID* object) {
  return real_->CreateInstance(outer, iid, object);
}

HRESULT CountingTypeInfo::GetMops(MEMBERID member, BSTR* mops) { return real_->GetMops(member, mops); }

HRESULT CountingTypeInfo::GetContainingTypeLib(ITypeLib** library, UINT* index) {
  return real_->GetContainingTypeLib(library, index);
}

void CountingTypeInfo::ReleaseTypeAttr(TYPEATTR* attributes) {
  if (state_->OnReleaseTypeAttr) {
    state_->OnReleaseTypeAttr();
  }
  real_->ReleaseTypeAttr(attributes);
}

void CountingTypeInfo::ReleaseFuncDesc(FUNCDESC* function) { real_->ReleaseFuncDesc(function); }

void CountingTypeInfo::ReleaseVarDesc(VARDESC* variable) { real_->ReleaseVarDesc(variable); }

CountingTypeLib::CountingTypeLib(ITypeLib* real, TypeLibraryDoubleState* state) : real_(real), state_(state) {}

CountingTypeLib::~CountingTypeLib() { real_->Release(); }

HRESULT CountingTypeLib::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITypeLib)) {
    *out = static_cast<ITypeLib*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CountingTypeLib::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG CountingTypeLib::Release() {
  LONG count = InterlockedDecrement(&references_);
  if (count == 0) {
    delete this;
  }
  return static_cast<ULONG>(count);
}

UINT CountingTypeLib::GetTypeInfoCount() { return real_->GetTypeInfoCount(); }

HRESULT CountingTypeLib::GetTypeInfo(UINT index, ITypeInfo** info) { return real_->GetTypeInfo(index, info); }

HRESULT CountingTypeLib::GetTypeInfoType(UINT index, TYPEKIND* kind) { return real_->GetTypeInfoType(index, kind); }

HRESULT CountingTypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) {
  ITypeInfo* real = nullptr;
  HRESULT result = real_->GetTypeInfoOfGuid(guid, &real);
  *info = FAILED(result) ? nullptr : new CountingTypeInfo(real, state_);
  return result;
}

HRESULT CountingTypeLib::GetLibAttr(TLIBATTR** attributes) { return real_->GetLibAttr(attributes); }

HRESULT CountingTypeLib::GetTypeComp(ITypeComp** comp) { return real_->GetTypeComp(comp); }

HRESULT CountingTypeLib::GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) {
  return real_->GetDocumentation(index, name, doc, helpContext, helpFile);
}

HRESULT CountingTypeLib::IsName(LPOLESTR name, ULONG hash, BOOL* found) { return real_->IsName(name, hash, found); }

HRESULT CountingTypeLib::FindName(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids, USHORT* found) {
  return real_->FindName(name, hash, infos, ids, found);
}

void CountingTypeLib::ReleaseTLibAttr(TLIBATTR* attributes) { real_->ReleaseTLibAttr(attributes); }

void TypeLibraryDoubleState::Reset() {
  std::lock_guard<std::mutex> hold(Lock);
  Loads = 0;
  LookupNames.clear();
  LookupCounts.clear();
  TypeInfoReferences = 0;
  TypeInfoOverReleases = 0;
  FailTypeAttr = false;
  FailFuncDescAt = UINT_MAX;
  FailDocumentationOf = MEMBERID_NIL;
  OnLoad = nullptr;
  OnTypeAttr = nullptr;
  OnReleaseTypeAttr = nullptr;
}

CountingTypeLibraryLoader::CountingTypeLibraryLoader(HMODULE module)
    : patch_(module, "oleaut32.dll", "LoadRegTypeLib", reinterpret_cast<void*>(&CountingLoadRegTypeLib)) {
  State().Reset();
  activePatch = &patch_;
}

CountingTypeLibraryLoader::~CountingTypeLibraryLoader() { activePatch = nullptr; }

TypeLibraryDoubleState& CountingTypeLibraryLoader::State() {
  static TypeLibraryDoubleState state;
  return state;
}

std::vector<std::wstring> CountingTypeLibraryLoader::Lookups() {
  TypeLibraryDoubleState& state = State();
  std::lock_guard<std::mutex> hold(state.Lock);
  std::vector<std::wstring> lookups;
  for (size_t i = 0; i < state.LookupNames.size(); ++i) {
    lookups.push_back(state.LookupNames[i] + L":" + std::to_wstring(state.LookupCounts[i]));
  }
  return lookups;
}
