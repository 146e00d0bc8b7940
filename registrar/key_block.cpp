#include "registrar/script_execution.h"

namespace {

// Longest remembered key name and value name, in bytes, with the terminator.
constexpr int NameBufferSize = 260;

// The state of one block's walk.
struct KeyBlock {
  ScriptParser* Parser;
  char* Token;  // shared with every level; holds the token in hand
  HKEY Parent;
  BOOL Registering;
  BOOL KeyAbsent;   // the block's own key is missing: read, change nothing
  HKEY CurrentKey;  // the one key of this block that is open
  bool MayDelete;   // cleared by "NoRemove" for the entry that it precedes
  char RememberedName[NameBufferSize];
  char ValueName[NameBufferSize];
};

bool IsKeyword(const char* token, const char* keyword) { return lstrcmpiA(token, keyword) == 0; }

bool IsBlockOpen(const char* token) { return token[0] == '{' && token[1] == '\0'; }

bool HasBackslash(const char* name) {
  for (const char* at = name; *at != '\0'; at = CharNextA(at)) {
    if (*at == '\\') {
      return true;
    }
  }
  return false;
}

HRESULT ReadNext(KeyBlock* block) { return ReadToken(block->Parser, block->Token); }

// A refused close still gives up the handle: the holder forgets it either way.
HRESULT CloseCurrentKey(KeyBlock* block) {
  if (block->CurrentKey == nullptr) {
    return S_OK;
  }
  LONG status = RegCloseKey(block->CurrentKey);
  block->CurrentKey = nullptr;
  return status == ERROR_SUCCESS ? S_OK : DISP_E_EXCEPTION;
}

// Nothing in the format puts a block after a value entry or a deletion.
HRESULT RefuseBlock(const KeyBlock* block) { return IsBlockOpen(block->Token) ? DISP_E_EXCEPTION : S_OK; }

// Reads past a value clause and an optional block walked in absent mode.
HRESULT PassOverEntryRest(KeyBlock* block) {
  HRESULT result = ReadNext(block);
  if (SUCCEEDED(result)) {
    result = SkipValueClause(block->Parser, block->Token);
  }
  if (SUCCEEDED(result) && IsBlockOpen(block->Token)) {
    result = ProcessKeyBlock(block->Parser, block->Token, nullptr, FALSE, TRUE);
    if (SUCCEEDED(result)) {
      result = ReadNext(block);
    }
  }
  return result;
}

HRESULT HandleValueEntry(KeyBlock* block) {
  HRESULT result = ReadNext(block);
  if (FAILED(result)) {
    return result;
  }
  if (lstrlenA(block->Token) >= NameBufferSize) {
    return DISP_E_EXCEPTION;
  }
  lstrcpynA(block->ValueName, block->Token, NameBufferSize);
  result = ReadNext(block);
  if (FAILED(result)) {
    return result;
  }
  if (block->Token[0] != '=') {
    return DISP_E_EXCEPTION;
  }
  if (block->Registering) {
    result = WriteValue(block->Parser, block->Parent, block->ValueName, block->Token);
  } else {
    if (!block->KeyAbsent) {
      DeleteNamedValue(block->Parent, block->ValueName);
    }
    result = SkipValueClause(block->Parser, block->Token);
  }
  return FAILED(result) ? result : RefuseBlock(block);
}

// Opens the key, or creates it, as the block's current key.
HRESULT OpenOrCreateKey(KeyBlock* block) {
  const char* name = block->Token;
  if (OpenKey(&block->CurrentKey, block->Parent, name, KEY_ALL_ACCESS) == ERROR_SUCCESS ||
      OpenKey(&block->CurrentKey, block->Parent, name, KEY_READ) == ERROR_SUCCESS) {
    return S_OK;
  }
  HKEY created = nullptr;
  if (RegCreateKeyExA(block->Parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created,
                      nullptr) != ERROR_SUCCESS) {
    return DISP_E_EXCEPTION;
  }
  if (FAILED(CloseCurrentKey(block))) {
    RegCloseKey(created);
    return DISP_E_EXCEPTION;
  }
  block->CurrentKey = created;
  return S_OK;
}

HRESULT RegisterKeyEntry(KeyBlock* block) {
  HRESULT result = OpenOrCreateKey(block);
  if (SUCCEEDED(result)) {
    result = ReadNext(block);
  }
  if (SUCCEEDED(result) && block->Token[0] == '=') {
    result = WriteValue(block->Parser, block->CurrentKey, nullptr, block->Token);
  }
  if (SUCCEEDED(result) && IsBlockOpen(block->Token)) {
    result = ProcessKeyBlock(block->Parser, block->Token, block->CurrentKey, TRUE, FALSE);
    if (SUCCEEDED(result)) {
      result = ReadNext(block);
    }
  }
  return result;
}

// Closes the current key and deletes it through the parent unless "NoRemove" keeps it.
HRESULT DeleteRememberedKey(KeyBlock* block) {
  if (FAILED(CloseCurrentKey(block))) {
    return DISP_E_EXCEPTION;
  }
  if (block->MayDelete) {
    RegDeleteKeyA(block->Parent, block->RememberedName);
  }
  return S_OK;
}

HRESULT RemoveKeyEntry(KeyBlock* block) {
  // A missing key puts only its own entry and block in absent mode.
  bool absent = block->KeyAbsent ||
                OpenKey(&block->CurrentKey, block->Parent, block->Token, KEY_READ) != ERROR_SUCCESS;
  lstrcpynA(block->RememberedName, block->Token, NameBufferSize);
  if (!absent && !KeyHasChildKeys(block->CurrentKey) && !KeyHasNamedValues(block->CurrentKey)) {
    HRESULT result = DeleteRememberedKey(block);
    return FAILED(result) ? result : PassOverEntryRest(block);
  }
  HRESULT result = ReadNext(block);
  if (SUCCEEDED(result)) {
    result = SkipValueClause(block->Parser, block->Token);
  }
  if (SUCCEEDED(result) && IsBlockOpen(block->Token)) {
    result = ProcessKeyBlock(block->Parser, block->Token, absent ? nullptr : block->CurrentKey, FALSE, absent);
    if (SUCCEEDED(result)) {
      result = ReadNext(block);
    }
  }
  if (FAILED(result) || absent) {
    return result;
  }
  // A key that keeps subkeys stays, and nothing of the same name beneath it is touched.
  return KeyHasChildKeys(block->CurrentKey) ? S_OK : DeleteRememberedKey(block);
}

HRESULT HandleKeyEntry(KeyBlock* block) {
  if (HasBackslash(block->Token)) {
    return DISP_E_EXCEPTION;
  }
  return block->Registering ? RegisterKeyEntry(block) : RemoveKeyEntry(block);
}

// "ForceRemove" and "Delete" in register mode: the tree goes first.
HRESULT HandleTreeDeletion(KeyBlock* block, bool deleteOnly) {
  HRESULT result = ReadNext(block);
  if (FAILED(result) || !block->Registering) {
    return result;
  }
  if (HasBackslash(block->Token)) {
    return DISP_E_EXCEPTION;
  }
  if (!IsProtectedKeyName(block->Token)) {
    DeleteKeyTree(block->Parent, block->Token);
  }
  if (!deleteOnly) {
    return S_OK;
  }
  result = ReadNext(block);
  if (SUCCEEDED(result)) {
    result = SkipValueClause(block->Parser, block->Token);
  }
  return FAILED(result) ? result : RefuseBlock(block);
}

HRESULT HandleEntry(KeyBlock* block) {
  block->MayDelete = true;
  bool deleteOnly = IsKeyword(block->Token, "Delete");
  if (deleteOnly || IsKeyword(block->Token, "ForceRemove")) {
    HRESULT result = HandleTreeDeletion(block, deleteOnly);
    if (FAILED(result) || (deleteOnly && block->Registering)) {
      return result;
    }
  }
  if (IsKeyword(block->Token, "NoRemove")) {
    block->MayDelete = false;
    HRESULT result = ReadNext(block);
    if (FAILED(result)) {
      return result;
    }
  }
  return IsKeyword(block->Token, "Val") ? HandleValueEntry(block) : HandleKeyEntry(block);
}

}  // namespace

HRESULT ProcessKeyBlock(ScriptParser* parser, char* token, HKEY parent, BOOL registering, BOOL keyAbsent) {
  KeyBlock block;
  block.Parser = parser;
  block.Token = token;
  block.Parent = parent;
  block.Registering = registering;
  block.KeyAbsent = registering ? FALSE : keyAbsent;
  block.CurrentKey = nullptr;
  block.MayDelete = true;
  HRESULT result = ReadNext(&block);
  while (SUCCEEDED(result) && block.Token[0] != '}') {
    result = HandleEntry(&block);
  }
  // Closing at the block's end is not examined; a failure exit closes too.
  CloseCurrentKey(&block);
  return result;
}
