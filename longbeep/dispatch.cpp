#include "longbeep/longbeep.h"

// Filled in by the late-bound support.
HRESULT STDMETHODCALLTYPE LongBeepGetTypeInfo(LongBeepPart*, UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE LongBeepGetIDsOfNames(LongBeepPart*, REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE LongBeepInvoke(LongBeepPart*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                        UINT*) {
  return E_NOTIMPL;
}
