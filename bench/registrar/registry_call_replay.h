#pragma once
// Records the registry calls that the engine makes in this program (through
// its own imports) and plays them back directly, so the registry's share of a
// run can be told from the engine's.
#include <windows.h>

#include <string>
#include <vector>

struct RecordedKey {
  HKEY Root;  // a predefined root, or null for a key that the run opened
  int Index;  // which opened key, in the order they were opened
};

enum class RegistryCall { Open, Create, Close, SetValue };

struct RecordedCall {
  RegistryCall Call;
  RecordedKey Key;
  std::string Name;
  bool HasName;
  REGSAM Access;
  DWORD Type;
  std::vector<BYTE> Data;
  int Opened;  // index of the key the call opened, or -1
};

class RegistryCallRecorder {
 public:
  RegistryCallRecorder();  // records until destroyed
  ~RegistryCallRecorder();
  std::vector<RecordedCall> Calls() const;
};

// Makes the recorded calls again, in order, against the registry as it is now.
void ReplayRegistryCalls(const std::vector<RecordedCall>& calls);
