#include "tests/support/import_patch.h"

namespace {

void WriteSlot(void** slot, void* value) {
  DWORD oldProtect = 0;
  VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtect);
  *slot = value;
  VirtualProtect(slot, sizeof(void*), oldProtect, &oldProtect);
}

// The import slot of a module's named import, or null.
void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) {
    return nullptr;
  }
  auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
  for (; descriptor->Name != 0; ++descriptor) {
    if (dll != nullptr && lstrcmpiA(reinterpret_cast<char*>(base + descriptor->Name), dll) != 0) {
      continue;
    }
    DWORD lookupRva = descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
    auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookupRva);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; lookup->u1.AddressOfData != 0; ++lookup, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) {
        continue;
      }
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

}  // namespace

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
  slot_ = FindImportSlot(module, dll, function);
  if (slot_ != nullptr) {
    original_ = *slot_;
    WriteSlot(slot_, replacement);
  }
}

ImportPatch::~ImportPatch() {
  if (slot_ != nullptr) {
    WriteSlot(slot_, original_);
  }
}
