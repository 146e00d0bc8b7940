#pragma once
// Watches the registry calls that the engine makes through the test program's
// own imports: counts keys opened against keys closed, records deletions, and
// makes the n-th call of one function fail.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/import_patch.h"

struct RegistryCallLog {
  int KeysOpened = 0;  // successful opens and creates
  int KeysClosed = 0;  // closes, refused ones included (the fake closes the key anyway)
  int Creates = 0;
  int SetValues = 0;
  int Closes = 0;
  int DeleteKeys = 0;
  std::vector<std::string> DeletedKeys;  // names passed to RegDeleteKeyA that succeeded
  std::vector<std::string> CreatedKeys;  // names passed to RegCreateKeyExA
};

// Which call to refuse: the n-th (from 1) call of one function; 0 refuses none.
struct RegistryFaults {
  int FailCreateAt = 0;
  int FailSetValueAt = 0;
  int FailCloseAt = 0;
  int FailDeleteKeyAt = 0;
  std::string FailDeleteKeyNamed;  // refuse every RegDeleteKeyA of this name
};

// Counts only while armed, so the registry sandbox's own calls go untouched.
class RegistryCallWatch {
 public:
  RegistryCallWatch();
  ~RegistryCallWatch();
  RegistryCallWatch(const RegistryCallWatch&) = delete;
  RegistryCallWatch& operator=(const RegistryCallWatch&) = delete;

  bool Active() const;
  void Arm(const RegistryFaults& faults = {});
  void Disarm();
  const RegistryCallLog& Log() const;

 private:
  std::vector<std::unique_ptr<ImportPatch>> patches_;
};
