#include <windows.h>
#include <oleauto.h>

#include "registrar/script_execution.h"

namespace {

HRESULT WriteDword(HKEY key, const char* valueName, const char* text) {
  wchar_t wide[TokenBufferSize];
  int length = lstrlenA(text);
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length + 1) == 0) {
    return DISP_E_EXCEPTION;
  }
  ULONG number = 0;
  // A text that is no number fails the entry rather than write an arbitrary one.
  if (FAILED(VarUI4FromStr(wide, 0, 0, &number))) {
    return DISP_E_EXCEPTION;
  }
  BYTE data[4] = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
                  static_cast<BYTE>(number >> 24)};
  RegSetValueExA(key, valueName, 0, REG_DWORD, data, sizeof data);
  return S_OK;
}

HRESULT WriteBinary(HKEY key, const char* valueName, const char* text) {
  int length = lstrlenA(text);
  if (length % 2 != 0) {
    return E_FAIL;
  }
  BYTE data[TokenBufferSize / 2] = {};
  for (int i = 0; i < length; ++i) {
    data[i / 2] |= static_cast<BYTE>(HexDigitValue(text[i]) << (i % 2 == 0 ? 4 : 0));
  }
  RegSetValueExA(key, valueName, 0, REG_BINARY, data, static_cast<DWORD>(length / 2));
  return S_OK;
}

}  // namespace

HRESULT WriteValue(ScriptParser* parser, HKEY key, const char* valueName, char* token) {
  char letter[TokenBufferSize];
  HRESULT result = ReadToken(parser, letter);
  if (FAILED(result)) {
    return result;
  }
  VARTYPE kind = VT_EMPTY;
  if (!FindValueKind(letter, &kind)) {
    return DISP_E_EXCEPTION;
  }
  char text[TokenBufferSize];
  result = ReadToken(parser, text);
  if (FAILED(result)) {
    return result;
  }
  // A refused write is not reported: the walk goes on.
  switch (kind) {
    case VT_BSTR:
      RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(lstrlenA(text)) + 1);
      break;
    case VT_UI4:
      result = WriteDword(key, valueName, text);
      break;
    default:
      result = WriteBinary(key, valueName, text);
      break;
  }
  return FAILED(result) ? result : ReadToken(parser, token);
}

HRESULT SkipValueClause(ScriptParser* parser, char* token) {
  if (token[0] != '=') {
    return S_OK;
  }
  HRESULT result = ReadToken(parser, token);
  if (FAILED(result)) {
    return result;
  }
  char text[TokenBufferSize];
  result = ReadToken(parser, text);
  return FAILED(result) ? result : ReadToken(parser, token);
}
