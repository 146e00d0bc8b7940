#pragma once
// A test double for the registered type library: a module's import of
// LoadRegTypeLib is replaced so every load hands out a wrapper over the real
// library, whose type information delegates to the real one, counts what the
// code under test asks of it, and can be told to fail the reads the name
// cache is built from.
#include <windows.h>
#include <oaidl.h>

#include <climits>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/import_patch.h"

struct TypeLibraryDoubleState {
  LONG Loads = 0;  // calls of the patched LoadRegTypeLib
  // Every ITypeInfo::GetIDsOfNames call: the names asked, in one string
  // joined by '|', and the count passed.
  std::vector<std::wstring> LookupNames;
  std::vector<UINT> LookupCounts;
  LONG TypeInfoReferences = 0;  // live references on wrapping type information
  LONG TypeInfoOverReleases = 0;  // releases after the count reached 0

  bool FailTypeAttr = false;
  UINT FailFuncDescAt = UINT_MAX;
  MEMBERID FailDocumentationOf = MEMBERID_NIL;

  std::function<void()> OnLoad;  // runs inside LoadRegTypeLib, before the real load
  std::function<void()> OnTypeAttr;  // after the attributes were handed out
  std::function<void()> OnReleaseTypeAttr;

  std::mutex Lock;  // guards the vectors; calls may come from several threads

  void Reset();
};

// Kept out of anonymous namespaces: see tests/support/longbeep_client.h.
class CountingTypeInfo final : public ITypeInfo {
 public:
  CountingTypeInfo(ITypeInfo* real, TypeLibraryDoubleState* state);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attributes) override;
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override;
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** function) override;
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** variable) override;
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID member, BSTR* names, UINT maxNames, UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* type) override;
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* badArgument) override;
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID member, BSTR* name, BSTR* doc, DWORD* helpContext,
                                             BSTR* helpFile) override;
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID member, INVOKEKIND kind, BSTR* dll, BSTR* name,
                                        WORD* ordinal) override;
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID member, INVOKEKIND kind, PVOID* address) override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, PVOID* object) override;
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID member, BSTR* mops) override;
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** library, UINT* index) override;
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attributes) override;
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* function) override;
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* variable) override;

 private:
  ITypeInfo* real_;
  TypeLibraryDoubleState* state_;
  LONG references_ = 1;
};

class CountingTypeLib final : public ITypeLib {
 public:
  CountingTypeLib(ITypeLib* real, TypeLibraryDoubleState* state);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  UINT STDMETHODCALLTYPE GetTypeInfoCount() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* kind) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** attributes) override;
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override;
  HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* helpContext,
                                             BSTR* helpFile) override;
  HRESULT STDMETHODCALLTYPE IsName(LPOLESTR name, ULONG hash, BOOL* found) override;
  HRESULT STDMETHODCALLTYPE FindName(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids,
                                     USHORT* found) override;
  void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* attributes) override;

 private:
  ~CountingTypeLib();
  ITypeLib* real_;
  TypeLibraryDoubleState* state_;
  LONG references_ = 1;
};

// One at a time: the patched function and the wrappers reach one static
// state, which outlives the loader, since a DLL releases its type information
// only when it unloads.
class CountingTypeLibraryLoader {
 public:
  explicit CountingTypeLibraryLoader(HMODULE module);
  ~CountingTypeLibraryLoader();
  CountingTypeLibraryLoader(const CountingTypeLibraryLoader&) = delete;
  CountingTypeLibraryLoader& operator=(const CountingTypeLibraryLoader&) = delete;

  bool Active() const { return patch_.Active(); }
  static TypeLibraryDoubleState& State();
  // The platform lookups so far, as "name|name:count" strings.
  static std::vector<std::wstring> Lookups();

 private:
  ImportPatch patch_;
};
