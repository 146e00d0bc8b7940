#pragma once
// Records the Beep calls that one module makes, through its import of Beep.
#include <windows.h>

#include <vector>

#include "tests/support/import_patch.h"

struct BeepCall {
  DWORD Frequency;
  DWORD Duration;
  bool operator==(const BeepCall&) const = default;
};

class BeepRecorder {
 public:
  // The real Beep is not called; the recorded call answers `result`.
  explicit BeepRecorder(HMODULE module, BOOL result = TRUE);
  ~BeepRecorder();

  bool Active() const { return patch_.Active(); }
  std::vector<BeepCall> Calls() const;
  void Clear();

 private:
  ImportPatch patch_;
};
