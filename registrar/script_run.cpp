#include <windows.h>
#include <objbase.h>

#include "registrar/script_execution.h"

namespace {

// Walks every root section of the expanded script at the cursor.
HRESULT WalkRootSections(ScriptParser* parser, char* token, BOOL registering) {
  while (*parser->Cursor != '\0') {
    HRESULT result = ReadToken(parser, token);
    if (FAILED(result)) {
      return result;
    }
    HKEY root = FindRootKey(token);
    if (root == nullptr) {
      return DISP_E_EXCEPTION;
    }
    result = ReadToken(parser, token);
    if (FAILED(result)) {
      return result;
    }
    if (token[0] != '{') {
      return DISP_E_EXCEPTION;
    }
    const char* sectionStart = parser->Cursor;
    result = ProcessKeyBlock(parser, token, root, registering, FALSE);
    if (FAILED(result)) {
      if (registering) {
        // Undo what the failed section describes; the registration's failure is what counts.
        parser->Cursor = sectionStart;
        ProcessKeyBlock(parser, token, root, FALSE, FALSE);
      }
      return result;
    }
    SkipBlanks(parser);
  }
  return S_OK;
}

}  // namespace

HRESULT RunScript(ScriptParser* parser, const char* text, BOOL registering) {
  char* expanded = nullptr;
  HRESULT result = ExpandVariables(parser, text, &expanded);
  if (FAILED(result)) {
    return result;
  }
  parser->Cursor = expanded;
  char token[TokenBufferSize];
  result = WalkRootSections(parser, token, registering);
  CoTaskMemFree(expanded);
  return result;
}
