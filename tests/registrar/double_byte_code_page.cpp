#include "tests/registrar/double_byte_code_page.h"

namespace {

BOOL WINAPI FakeIsLeadByte(BYTE byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

LPSTR WINAPI FakeCharNext(LPCSTR text) {
  if (*text == '\0') {
    return const_cast<LPSTR>(text);
  }
  bool pair = FakeIsLeadByte(static_cast<BYTE>(text[0])) && text[1] != '\0';
  return const_cast<LPSTR>(text + (pair ? 2 : 1));
}

// Serves the engine's one use: CP_ACP, a zero-terminated source (-1), a buffer.
int WINAPI FakeWideToNarrow(UINT, DWORD, LPCWCH text, int, LPSTR buffer, int size, LPCCH, LPBOOL) {
  int stored = 0;
  for (const wchar_t* at = text;; ++at) {
    bool pair = *at == 0x3042;
    if (stored + (pair ? 2 : 1) > size) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    if (pair) {
      buffer[stored++] = '\x82';
      buffer[stored++] = '\xA0';
    } else {
      buffer[stored++] = static_cast<char>(*at);
    }
    if (*at == 0) {
      return stored;
    }
  }
}

}  // namespace

DoubleByteCodePage::DoubleByteCodePage()
    : lead_(GetModuleHandle(nullptr), nullptr, "IsDBCSLeadByte", reinterpret_cast<void*>(&FakeIsLeadByte)),
      next_(GetModuleHandle(nullptr), nullptr, "CharNextA", reinterpret_cast<void*>(&FakeCharNext)),
      narrow_(GetModuleHandle(nullptr), nullptr, "WideCharToMultiByte", reinterpret_cast<void*>(&FakeWideToNarrow)) {}
