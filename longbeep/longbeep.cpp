#include "longbeep/longbeep.h"

#include "longbeep/identifiers.h"
#include "objects/object_wrappers.h"

const InterfaceEntry LongBeepClass::Interfaces[] = {
    {&IID_ILongBeep, 0, {PlainOffsetRow}},
    {&IID_IDispatch, 0, {PlainOffsetRow}},
    {nullptr, 0, {EndOfTable}},
};

const LongBeepTable LongBeepClass::StandaloneTable = {
    {&StandaloneQueryInterface<LongBeepClass>, &StandaloneAddRef<LongBeepClass>, &StandaloneRelease<LongBeepClass>},
    &LongBeepGetTypeInfoCount,
    &LongBeepGetTypeInfo,
    &LongBeepGetIDsOfNames,
    &LongBeepInvoke,
    &LongBeepBeepSound,
};

const LongBeepTable LongBeepClass::InnerTable = {
    {&InnerQueryInterface<LongBeepClass>, &InnerAddRef<LongBeepClass>, &InnerRelease<LongBeepClass>},
    &LongBeepGetTypeInfoCount,
    &LongBeepGetTypeInfo,
    &LongBeepGetIDsOfNames,
    &LongBeepInvoke,
    &LongBeepBeepSound,
};

HRESULT STDMETHODCALLTYPE LongBeepGetTypeInfoCount(LongBeepPart*, UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE LongBeepBeepSound(LongBeepPart*, LONG frequency, LONG duration) {
  // Negative values pass as their two's-complement; whether a tone sounded is not our business.
  Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(duration));
  return S_OK;
}
