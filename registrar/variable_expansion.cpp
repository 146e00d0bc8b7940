#include <windows.h>
#include <objbase.h>

#include "registrar/script_format.h"

namespace {

// Appends the value of the reference whose name starts at the cursor, and moves
// the cursor past the closing "%".
HRESULT ExpandReference(ScriptParser* parser, ScriptBuffer* buffer) {
  const char* name = parser->Cursor;
  const char* end = name;
  while (*end != '%') {
    if (*end == '\0') {
      return DISP_E_EXCEPTION;
    }
    end = CharNextA(end);
  }
  if (end - name > MaxVariableNameLength) {
    return E_FAIL;
  }
  char copy[MaxVariableNameLength + 1];
  lstrcpynA(copy, name, static_cast<int>(end - name) + 1);
  const wchar_t* value = FindVariable(parser->Variables, copy);
  if (value == nullptr) {
    return DISP_E_EXCEPTION;
  }
  HRESULT result = AppendWideText(buffer, value);
  parser->Cursor = CharNextA(end);
  return result;
}

HRESULT ExpandInto(ScriptParser* parser, ScriptBuffer* buffer) {
  HRESULT result = S_OK;
  while (SUCCEEDED(result) && *parser->Cursor != '\0') {
    const char* at = parser->Cursor;
    if (*at != '%') {
      result = AppendChar(buffer, at);
      parser->Cursor = CharNextA(at);
    } else if (at[1] == '%') {
      result = AppendChar(buffer, at + 1);
      parser->Cursor = at + 2;
    } else {
      parser->Cursor = at + 1;
      result = ExpandReference(parser, buffer);
    }
  }
  if (SUCCEEDED(result)) {
    result = AppendChar(buffer, parser->Cursor);
  }
  return result;
}

}  // namespace

HRESULT ExpandVariables(ScriptParser* parser, const char* text, char** expanded) {
  *expanded = nullptr;
  int length = lstrlenA(text);
  if (length > MAXLONG / 2) {
    return E_OUTOFMEMORY;
  }
  ScriptBuffer buffer = {0, 2 * length, nullptr};
  if (buffer.Capacity != 0) {
    buffer.Data = static_cast<char*>(CoTaskMemAlloc(static_cast<SIZE_T>(buffer.Capacity)));
    if (buffer.Data == nullptr) {
      return E_OUTOFMEMORY;
    }
  }
  parser->Cursor = text;
  HRESULT result = ExpandInto(parser, &buffer);
  if (FAILED(result)) {
    CoTaskMemFree(buffer.Data);
    return result;
  }
  *expanded = buffer.Data;
  return S_OK;
}
