#include "longbeep/identifiers.h"
#include "longbeep/longbeep.h"
#include "longbeep/type_info_cache.h"

namespace {

// Shared by every LongBeep object, from load to unload.
TypeInfoCache LongBeepTypeInfo = {IID_ILongBeep, LIBID_ZIRPELLib, 1, 0, nullptr, nullptr, 0};

}  // namespace

// Every index yields the same type information.
HRESULT STDMETHODCALLTYPE LongBeepGetTypeInfo(LongBeepPart*, UINT, LCID locale, ITypeInfo** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  return ProvideTypeInfo(&LongBeepTypeInfo, locale, out);
}

HRESULT STDMETHODCALLTYPE LongBeepGetIDsOfNames(LongBeepPart*, REFIID, LPOLESTR* names, UINT count, LCID locale,
                                               DISPID* ids) {
  return ResolveNames(&LongBeepTypeInfo, names, count, locale, ids);
}

// The platform calls the member through the table of the very object called,
// standalone or inner; the locale serves only a first load.
HRESULT STDMETHODCALLTYPE LongBeepInvoke(LongBeepPart* self, DISPID member, REFIID, LCID locale, WORD flags,
                                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                        UINT* badArgument) {
  HRESULT loaded;
  ITypeInfo* typeInfo = LoadedTypeInfo(&LongBeepTypeInfo, locale, &loaded);
  if (typeInfo == nullptr) {
    return loaded;
  }
  return typeInfo->Invoke(self, member, flags, params, result, exception, badArgument);
}
