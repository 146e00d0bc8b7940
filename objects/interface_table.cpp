#include "objects/interface_table.h"

#include <objbase.h>

HRESULT FindInterface(void* base, const InterfaceEntry* table, REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  auto* bytes = static_cast<BYTE*>(base);
  void* answer = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    // Every table's first row is a plain offset row for the object's identity.
    answer = bytes + table[0].Data;
  } else {
    for (const InterfaceEntry* row = table;; ++row) {
      if (row->Resolver.Mark == EndOfTable) {
        return E_NOINTERFACE;
      }
      if (row->Iid != nullptr && !IsEqualIID(*row->Iid, iid)) {
        continue;
      }
      if (row->Resolver.Mark == PlainOffsetRow) {
        answer = bytes + row->Data;
        break;
      }
      HRESULT result = row->Resolver.Function(base, iid, out, row->Data);
      if (result == S_OK) {
        return S_OK;
      }
      if (FAILED(result) && row->Iid != nullptr) {
        return result;
      }
    }
  }
  auto* view = static_cast<UnknownView*>(answer);
  view->Table->AddRef(view);
  *out = answer;
  return S_OK;
}
