#include "registrar/registrar.h"

#include <objbase.h>

#include "server/module_heap.h"

namespace {

constexpr LONG InitialCapacity = 10;

wchar_t* CopyText(const wchar_t* text) {
  SIZE_T size = (static_cast<SIZE_T>(lstrlenW(text)) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(size));
  if (copy != nullptr) {
    memcpy(copy, text, size);
  }
  return copy;
}

void FreeEntry(VariableEntry* entry) {
  CoTaskMemFree(entry->Value);
  CoTaskMemFree(entry->Name);
  ModuleFree(entry);
}

// Makes room for one more slot; on failure the table keeps its slots as they were.
bool GrowSlots(VariableTable* table) {
  if (table->Count < table->Capacity) {
    return true;
  }
  LONG capacity = table->Capacity == 0 ? InitialCapacity : 2 * table->Capacity;
  auto* items = static_cast<VariableEntry**>(ModuleRealloc(table->Items, capacity * sizeof(VariableEntry*)));
  if (items == nullptr) {
    return false;
  }
  table->Items = items;
  table->Capacity = capacity;
  return true;
}

}  // namespace

void ConstructRegistrar(Registrar* registrar) {
  VariableTable& table = registrar->Variables;
  table.Count = 0;
  table.Items = static_cast<VariableEntry**>(ModuleAlloc(InitialCapacity * sizeof(VariableEntry*)));
  // Without its first slots the table counts none, and the first AddVariable tries again.
  table.Capacity = table.Items == nullptr ? 0 : InitialCapacity;
}

void DestroyRegistrar(Registrar* registrar) {
  ClearVariables(registrar);
  ModuleFree(registrar->Variables.Items);
  registrar->Variables.Items = nullptr;
  registrar->Variables.Capacity = 0;
}

HRESULT AddVariable(Registrar* registrar, const wchar_t* name, const wchar_t* value) {
  auto* entry = static_cast<VariableEntry*>(ModuleAlloc(sizeof(VariableEntry)));
  if (entry == nullptr) {
    return E_OUTOFMEMORY;
  }
  entry->Name = CopyText(name);
  entry->Value = CopyText(value);
  VariableTable& table = registrar->Variables;
  if (entry->Name == nullptr || entry->Value == nullptr || !GrowSlots(&table)) {
    FreeEntry(entry);
    return E_OUTOFMEMORY;
  }
  table.Items[table.Count++] = entry;
  return S_OK;
}

HRESULT ClearVariables(Registrar* registrar) {
  VariableTable& table = registrar->Variables;
  for (LONG slot = 0; slot < table.Count; ++slot) {
    FreeEntry(table.Items[slot]);
  }
  table.Count = 0;
  return S_OK;
}
