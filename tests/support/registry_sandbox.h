#pragma once
// Redirects predefined registry roots of this process to scratch keys, so a
// test sees exactly what was written and leaves nothing in the prefix.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

class RegistrySandbox {
 public:
  // Roots among HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS.
  explicit RegistrySandbox(std::initializer_list<HKEY> roots = {HKEY_CLASSES_ROOT});
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  bool Active() const { return active_; }

  // Sorted dump of one redirected root, one line per key and per value:
  //   Key\Sub
  //   Key\Sub = REG_SZ "text"           (the default value)
  //   Key\Sub [Name] = REG_DWORD 0x0000002a
  //   Key\Sub [Name] = REG_BINARY 0aff
  std::vector<std::string> Dump(HKEY root) const;

  // Every redirected root, each line prefixed with the root's short name ("HKCR\...").
  std::vector<std::string> DumpAll() const;

  // Empties one redirected root.
  void Clear(HKEY root);

 private:
  struct Redirect {
    HKEY Root;
    HKEY Scratch;
  };
  HKEY ScratchFor(HKEY root) const;

  std::string scratchPath_;
  std::vector<Redirect> redirects_;
  bool active_ = false;
};

// Dump of any open key, relative names below `prefix`, sorted.
std::vector<std::string> DumpRegistryTree(HKEY key, const std::string& prefix);

const char* RootShortName(HKEY root);
