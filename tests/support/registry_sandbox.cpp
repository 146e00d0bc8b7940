#include "tests/support/registry_sandbox.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const SandboxParent = "Software\\ZirpelTestSandbox";

std::string DescribeValue(DWORD type, const BYTE* data, DWORD size) {
  char buffer[32];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::string text(reinterpret_cast<const char*>(data), size);
      // The stored terminator shows as \0, so a missing or extra one is visible.
      std::string shown;
      for (char c : text) {
        if (c == '\0') {
          shown += "\\0";
        } else {
          shown += c;
        }
      }
      return std::string(type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" + shown + "\"";
    }
    case REG_DWORD:
      if (size == 4) {
        DWORD value = 0;
        memcpy(&value, data, 4);
        std::snprintf(buffer, sizeof buffer, "REG_DWORD 0x%08lx", static_cast<unsigned long>(value));
        return buffer;
      }
      break;
    default:
      break;
  }
  std::string hex;
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
    hex += buffer;
  }
  if (type == REG_BINARY) {
    return "REG_BINARY " + hex;
  }
  std::snprintf(buffer, sizeof buffer, "TYPE%lu ", static_cast<unsigned long>(type));
  return buffer + hex;
}

void DumpInto(HKEY key, const std::string& path, std::vector<std::string>& lines) {
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    std::vector<BYTE> data(65536);
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) {
      break;
    }
    std::string line = path;
    if (nameSize != 0) {
      line += " [" + std::string(name, nameSize) + "]";
    }
    lines.push_back(line + " = " + DescribeValue(type, data.data(), dataSize));
  }
  for (DWORD index = 0;; ++index) {
    char name[1024];
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    std::string child = path.empty() ? name : path + "\\" + name;
    lines.push_back(child);
    HKEY sub = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      DumpInto(sub, child, lines);
      RegCloseKey(sub);
    }
  }
}

bool IsCurrentUser(HKEY root) { return root == HKEY_CURRENT_USER; }

}  // namespace

const char* RootShortName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKCR";
  if (root == HKEY_CURRENT_USER) return "HKCU";
  if (root == HKEY_LOCAL_MACHINE) return "HKLM";
  if (root == HKEY_USERS) return "HKU";
  return "HK?";
}

std::vector<std::string> DumpRegistryTree(HKEY key, const std::string& prefix) {
  std::vector<std::string> lines;
  DumpInto(key, prefix, lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

RegistrySandbox::RegistrySandbox(std::initializer_list<HKEY> roots) {
  static LONG counter = 0;
  char path[128];
  std::snprintf(path, sizeof path, "%s\\%lu-%ld", SandboxParent, GetCurrentProcessId(),
                InterlockedIncrement(&counter));
  scratchPath_ = path;
  // Scratch keys are made while every root is still real; HKCU is redirected last.
  std::vector<HKEY> order(roots);
  std::stable_partition(order.begin(), order.end(), [](HKEY root) { return !IsCurrentUser(root); });
  for (HKEY root : order) {
    std::string sub = scratchPath_ + "\\" + RootShortName(root);
    HKEY scratch = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    redirects_.push_back({root, scratch});
  }
  for (const Redirect& redirect : redirects_) {
    if (RegOverridePredefKey(redirect.Root, redirect.Scratch) != ERROR_SUCCESS) {
      return;
    }
  }
  active_ = true;
}

RegistrySandbox::~RegistrySandbox() {
  // HKCU was redirected last and is restored first.
  for (auto it = redirects_.rbegin(); it != redirects_.rend(); ++it) {
    RegOverridePredefKey(it->Root, nullptr);
  }
  for (const Redirect& redirect : redirects_) {
    RegCloseKey(redirect.Scratch);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath_.c_str());
}

HKEY RegistrySandbox::ScratchFor(HKEY root) const {
  for (const Redirect& redirect : redirects_) {
    if (redirect.Root == root) {
      return redirect.Scratch;
    }
  }
  return nullptr;
}

std::vector<std::string> RegistrySandbox::Dump(HKEY root) const {
  HKEY scratch = ScratchFor(root);
  return scratch == nullptr ? std::vector<std::string>{} : DumpRegistryTree(scratch, "");
}

std::vector<std::string> RegistrySandbox::DumpAll() const {
  std::vector<std::string> all;
  for (const Redirect& redirect : redirects_) {
    for (const std::string& line : DumpRegistryTree(redirect.Scratch, "")) {
      all.push_back(std::string(RootShortName(redirect.Root)) + "\\" + line);
    }
  }
  std::sort(all.begin(), all.end());
  return all;
}

void RegistrySandbox::Clear(HKEY root) {
  HKEY scratch = ScratchFor(root);
  if (scratch != nullptr) {
    RegDeleteTreeA(scratch, nullptr);
  }
}
