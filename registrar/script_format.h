#pragma once
// The registry script format: expansion of %variables% and reading of tokens.
#include <windows.h>
#include <wtypes.h>

struct Registrar;

// The reading state of one script run.
struct ScriptParser {
  const char* Cursor;    // next character to read
  Registrar* Variables;  // supplies variable values; not owned; null means no variables
};

inline constexpr int TokenBufferSize = 4096;

// The longest variable name, in bytes, without its terminator.
inline constexpr int MaxVariableNameLength = 31;

// On success *expanded is a zero-terminated text in task memory that the caller frees.
HRESULT ExpandVariables(ScriptParser* parser, const char* text, char** expanded);
void SkipBlanks(ScriptParser* parser);
HRESULT ReadToken(ScriptParser* parser, char* token);  // token: TokenBufferSize bytes
// The value of the first variable whose name matches without regard to case, or null.
const wchar_t* FindVariable(Registrar* registrar, const char* name);

// The growable buffer that receives the expanded script.
struct ScriptBuffer {
  LONG Length;    // bytes stored so far
  LONG Capacity;  // bytes allocated
  char* Data;     // task memory
};

// Appends one whole character (two bytes for a double-byte one). Fails with
// E_OUTOFMEMORY, leaving the buffer as it was, when the storage cannot grow.
HRESULT AppendChar(ScriptBuffer* buffer, const char* character);
// Appends UTF-16 text converted to the ANSI code page, without its terminator.
HRESULT AppendWideText(ScriptBuffer* buffer, const wchar_t* text);

bool IsBlank(char character);
// The cursor stands on an apostrophe that is not the first of a doubled pair.
bool IsQuoteEnd(const ScriptParser* parser);

// The predefined handle that a root-key name stands for, or null.
HKEY FindRootKey(const char* name);
// The kind number (VT_BSTR, VT_UI4 or VT_UI1) of a kind letter; false when none.
bool FindValueKind(const char* letter, VARTYPE* kind);
// 0 to 15; 0 for a byte that is no hexadecimal digit.
BYTE HexDigitValue(char digit);
