#include <windows.h>
#include <objbase.h>

#include "registrar/narrow_text.h"
#include "registrar/script_format.h"

namespace {

// Doubles the storage until `needed` more bytes fit; the old storage stays
// valid when the reallocation fails.
HRESULT MakeRoom(ScriptBuffer* buffer, LONG needed) {
  if (buffer->Capacity - buffer->Length >= needed) {
    return S_OK;
  }
  LONG capacity = buffer->Capacity;
  // An empty text's buffer starts with no storage at all.
  while (capacity - buffer->Length < needed) {
    if (capacity > MAXLONG / 2) {
      return E_OUTOFMEMORY;
    }
    capacity = capacity == 0 ? 2 : 2 * capacity;
  }
  auto* grown = static_cast<char*>(CoTaskMemRealloc(buffer->Data, static_cast<SIZE_T>(capacity)));
  if (grown == nullptr) {
    return E_OUTOFMEMORY;
  }
  buffer->Data = grown;
  buffer->Capacity = capacity;
  return S_OK;
}

}  // namespace

HRESULT AppendChar(ScriptBuffer* buffer, const char* character) {
  // A lead byte before the terminator is a character of its own, as for CharNextA.
  LONG size = IsDBCSLeadByte(static_cast<BYTE>(character[0])) && character[1] != '\0' ? 2 : 1;
  HRESULT result = MakeRoom(buffer, size);
  if (FAILED(result)) {
    return result;
  }
  for (LONG i = 0; i < size; ++i) {
    buffer->Data[buffer->Length++] = character[i];
  }
  return S_OK;
}

HRESULT AppendWideText(ScriptBuffer* buffer, const wchar_t* text) {
  NarrowText narrow;
  HRESULT result = MakeNarrowText(&narrow, text);
  for (const char* next = narrow.Text; SUCCEEDED(result) && *next != '\0'; next = CharNextA(next)) {
    result = AppendChar(buffer, next);
  }
  FreeNarrowText(&narrow);
  return result;
}
