#include "registrar/narrow_text.h"

#include <objbase.h>

HRESULT MakeNarrowText(NarrowText* narrow, const wchar_t* text) {
  narrow->Allocated = nullptr;
  narrow->Text = nullptr;
  // Every UTF-16 unit becomes at most two bytes.
  SIZE_T size = 2 * static_cast<SIZE_T>(lstrlenW(text)) + 2;
  char* buffer = narrow->Local;
  if (size > sizeof narrow->Local) {
    narrow->Allocated = static_cast<char*>(CoTaskMemAlloc(size));
    if (narrow->Allocated == nullptr) {
      return E_OUTOFMEMORY;
    }
    buffer = narrow->Allocated;
  }
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, static_cast<int>(size), nullptr, nullptr) == 0) {
    buffer[0] = '\0';
  }
  narrow->Text = buffer;
  return S_OK;
}

void FreeNarrowText(NarrowText* narrow) {
  CoTaskMemFree(narrow->Allocated);
  narrow->Allocated = nullptr;
  narrow->Text = nullptr;
}
