#include "registrar/script_format.h"

namespace {

// A quoted token refuses a character once this many bytes are stored.
constexpr int QuotedTokenLimit = TokenBufferSize - 2;

// Copies the whole character at the cursor and moves past it; false, with
// nothing written, when it would not leave room below `limit` bytes.
bool CopyCharacter(ScriptParser* parser, char* token, int* stored, int limit) {
  const char* next = CharNextA(parser->Cursor);
  int size = static_cast<int>(next - parser->Cursor);
  if (*stored + size > limit) {
    return false;
  }
  for (int i = 0; i < size; ++i) {
    token[(*stored)++] = parser->Cursor[i];
  }
  parser->Cursor = next;
  return true;
}

HRESULT ReadUnquoted(ScriptParser* parser, char* token) {
  int stored = 0;
  while (*parser->Cursor != '\0' && !IsBlank(*parser->Cursor)) {
    // Unquoted tokens are not measured by the format; the buffer sets the bound.
    if (!CopyCharacter(parser, token, &stored, TokenBufferSize - 1)) {
      return DISP_E_EXCEPTION;
    }
  }
  token[stored] = '\0';
  return S_OK;
}

HRESULT ReadQuoted(ScriptParser* parser, char* token) {
  int stored = 0;
  parser->Cursor = CharNextA(parser->Cursor);
  for (;;) {
    if (*parser->Cursor == '\0') {
      return DISP_E_EXCEPTION;
    }
    if (IsQuoteEnd(parser)) {
      break;
    }
    if (*parser->Cursor == '\'') {
      parser->Cursor = CharNextA(parser->Cursor);
    }
    if (stored >= QuotedTokenLimit) {
      return DISP_E_EXCEPTION;
    }
    // Below the limit a character of up to two bytes always fits.
    CopyCharacter(parser, token, &stored, TokenBufferSize - 1);
  }
  token[stored] = '\0';
  parser->Cursor = CharNextA(parser->Cursor);
  return S_OK;
}

}  // namespace

bool IsBlank(char character) {
  return character == ' ' || character == '\t' || character == '\n' || character == '\r';
}

void SkipBlanks(ScriptParser* parser) {
  while (IsBlank(*parser->Cursor)) {
    parser->Cursor = CharNextA(parser->Cursor);
  }
}

bool IsQuoteEnd(const ScriptParser* parser) {
  return *parser->Cursor == '\'' && *CharNextA(parser->Cursor) != '\'';
}

HRESULT ReadToken(ScriptParser* parser, char* token) {
  SkipBlanks(parser);
  if (*parser->Cursor == '\0') {
    return DISP_E_EXCEPTION;
  }
  return *parser->Cursor == '\'' ? ReadQuoted(parser, token) : ReadUnquoted(parser, token);
}
