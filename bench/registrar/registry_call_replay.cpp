#include "bench/registrar/registry_call_replay.h"

#include <map>
#include <memory>

#include "tests/support/import_patch.h"

namespace {

using OpenFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using CreateFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                     LPDWORD);
using CloseFunction = LONG(WINAPI*)(HKEY);
using SetValueFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);

OpenFunction realOpen;
CreateFunction realCreate;
CloseFunction realClose;
SetValueFunction realSetValue;

std::vector<RecordedCall> recorded;
std::map<HKEY, int> openedIndex;
int openedCount = 0;
std::vector<std::unique_ptr<ImportPatch>> patches;

bool IsPredefined(HKEY key) { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(key)) < 0; }

RecordedKey Describe(HKEY key) {
  if (IsPredefined(key)) {
    return {key, -1};
  }
  auto found = openedIndex.find(key);
  return {nullptr, found == openedIndex.end() ? -1 : found->second};
}

int NoteOpened(LONG status, HKEY key) {
  if (status != ERROR_SUCCESS) {
    return -1;
  }
  openedIndex[key] = openedCount;
  return openedCount++;
}

RecordedCall Start(RegistryCall call, HKEY key, LPCSTR name) {
  RecordedCall entry = {};
  entry.Call = call;
  entry.Key = Describe(key);
  entry.HasName = name != nullptr;
  entry.Name = name != nullptr ? name : "";
  entry.Opened = -1;
  return entry;
}

LONG WINAPI RecordOpen(HKEY parent, LPCSTR name, DWORD options, REGSAM access, PHKEY key) {
  RecordedCall entry = Start(RegistryCall::Open, parent, name);
  entry.Access = access;
  LONG status = realOpen(parent, name, options, access, key);
  entry.Opened = NoteOpened(status, *key);
  recorded.push_back(entry);
  return status;
}

LONG WINAPI RecordCreate(HKEY parent, LPCSTR name, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                         LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
  RecordedCall entry = Start(RegistryCall::Create, parent, name);
  entry.Access = access;
  LONG status = realCreate(parent, name, reserved, keyClass, options, access, security, key, disposition);
  entry.Opened = NoteOpened(status, *key);
  recorded.push_back(entry);
  return status;
}

LONG WINAPI RecordClose(HKEY key) {
  recorded.push_back(Start(RegistryCall::Close, key, nullptr));
  return realClose(key);
}

LONG WINAPI RecordSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  RecordedCall entry = Start(RegistryCall::SetValue, key, name);
  entry.Type = type;
  entry.Data.assign(data, data + size);
  recorded.push_back(entry);
  return realSetValue(key, name, reserved, type, data, size);
}

template <class Function>
void Patch(const char* name, Function replacement, Function* original) {
  patches.push_back(std::make_unique<ImportPatch>(GetModuleHandle(nullptr), nullptr, name,
                                                  reinterpret_cast<void*>(replacement)));
  *original = patches.back()->OriginalAs<Function>();
}

}  // namespace

RegistryCallRecorder::RegistryCallRecorder() {
  recorded.clear();
  openedIndex.clear();
  openedCount = 0;
  Patch("RegOpenKeyExA", &RecordOpen, &realOpen);
  Patch("RegCreateKeyExA", &RecordCreate, &realCreate);
  Patch("RegCloseKey", &RecordClose, &realClose);
  Patch("RegSetValueExA", &RecordSetValue, &realSetValue);
}

RegistryCallRecorder::~RegistryCallRecorder() {
  while (!patches.empty()) {
    patches.pop_back();
  }
}

std::vector<RecordedCall> RegistryCallRecorder::Calls() const { return recorded; }

void ReplayRegistryCalls(const std::vector<RecordedCall>& calls) {
  static std::vector<HKEY> keys;
  keys.assign(calls.size(), nullptr);
  auto keyOf = [](const RecordedKey& key) { return key.Root != nullptr ? key.Root : keys[key.Index]; };
  for (const RecordedCall& call : calls) {
    const char* name = call.HasName ? call.Name.c_str() : nullptr;
    HKEY opened = nullptr;
    switch (call.Call) {
      case RegistryCall::Open:
        if (RegOpenKeyExA(keyOf(call.Key), name, 0, call.Access, &opened) == ERROR_SUCCESS && call.Opened >= 0) {
          keys[call.Opened] = opened;
        }
        break;
      case RegistryCall::Create:
        if (RegCreateKeyExA(keyOf(call.Key), name, 0, nullptr, REG_OPTION_NON_VOLATILE, call.Access, nullptr, &opened,
                            nullptr) == ERROR_SUCCESS &&
            call.Opened >= 0) {
          keys[call.Opened] = opened;
        }
        break;
      case RegistryCall::Close:
        RegCloseKey(keyOf(call.Key));
        break;
      case RegistryCall::SetValue:
        RegSetValueExA(keyOf(call.Key), name, 0, call.Type, call.Data.data(), static_cast<DWORD>(call.Data.size()));
        break;
    }
  }
}
