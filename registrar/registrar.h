#pragma once
// A short-lived holder of script variables: (name, value) pairs that replace
// %name% references when a registry script is expanded.
#include <windows.h>

struct VariableEntry {
  wchar_t* Name;   // task-memory copy
  wchar_t* Value;  // task-memory copy
};

struct VariableTable {
  VariableEntry** Items;  // from the module heap set; slots 0 .. Count-1 in use
  LONG Count;
  LONG Capacity;  // starts at 10, doubles when a full table takes one more
};

struct Registrar {
  VariableTable Variables;
};

void ConstructRegistrar(Registrar* registrar);
void DestroyRegistrar(Registrar* registrar);
HRESULT AddVariable(Registrar* registrar, const wchar_t* name, const wchar_t* value);
HRESULT ClearVariables(Registrar* registrar);
