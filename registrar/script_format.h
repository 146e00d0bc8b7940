#pragma once
// The registry script format: expansion of %variables% and reading of tokens.
#include <windows.h>

struct Registrar;

// The reading state of one script run.
struct ScriptParser {
  const char* Cursor;    // next character to read
  Registrar* Variables;  // supplies variable values; not owned
};

inline constexpr int TokenBufferSize = 4096;

// On success *expanded is a zero-terminated text in task memory that the caller frees.
HRESULT ExpandVariables(ScriptParser* parser, const char* text, char** expanded);
void SkipBlanks(ScriptParser* parser);
HRESULT ReadToken(ScriptParser* parser, char* token);  // token: TokenBufferSize bytes
// The value of the first variable whose name matches without regard to case, or null.
const wchar_t* FindVariable(Registrar* registrar, const char* name);
