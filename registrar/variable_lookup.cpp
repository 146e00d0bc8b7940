#include "registrar/narrow_text.h"
#include "registrar/registrar.h"
#include "registrar/script_format.h"

const wchar_t* FindVariable(Registrar* registrar, const char* name) {
  if (registrar == nullptr) {
    return nullptr;
  }
  const VariableTable& table = registrar->Variables;
  for (LONG slot = 0; slot < table.Count; ++slot) {
    const VariableEntry* entry = table.Items[slot];
    NarrowText entryName;
    bool equal = SUCCEEDED(MakeNarrowText(&entryName, entry->Name)) && lstrcmpiA(entryName.Text, name) == 0;
    FreeNarrowText(&entryName);
    if (equal) {
      return entry->Value;
    }
  }
  return nullptr;
}
