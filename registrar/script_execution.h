#pragma once
// Runs a registry script against the registry, in register or removal mode.
#include <windows.h>

#include "registrar/script_format.h"

// registering nonzero: create and write; zero: remove what the script describes.
HRESULT RunScript(ScriptParser* parser, const char* text, BOOL registering);

// Walks one block; the token buffer holds the "{" just read. On success the
// cursor stands just past the block's "}". keyAbsent: read the block, change nothing.
HRESULT ProcessKeyBlock(ScriptParser* parser, char* token, HKEY parent, BOOL registering, BOOL keyAbsent);

// Reads the kind and value that follow the "=" in the token buffer and writes
// them to the key (valueName null: its default value); leaves the next token
// in the buffer.
HRESULT WriteValue(ScriptParser* parser, HKEY key, const char* valueName, char* token);
// Passes over a value clause when the token in the buffer begins one.
HRESULT SkipValueClause(ScriptParser* parser, char* token);

// Names that no tree deletion may target.
bool IsProtectedKeyName(const char* name);

// Registry status; on success the holder's previous key is closed and replaced.
LONG OpenKey(HKEY* holder, HKEY parent, const char* name, REGSAM access);
// Deletes a subkey with everything beneath it, deepest keys first.
LONG DeleteKeyTree(HKEY parent, const char* name);
// Removal walks keys opened for reading only; the value goes through a handle
// of its own that may set values. The registry's status.
LONG DeleteNamedValue(HKEY key, const char* name);
bool KeyHasChildKeys(HKEY key);
// Any value but a sole default value.
bool KeyHasNamedValues(HKEY key);
