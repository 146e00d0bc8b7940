#include "tests/support/beep_recorder.h"

namespace {

// Beep may be called on any thread the test starts.
CRITICAL_SECTION* RecorderLock() {
  static CRITICAL_SECTION lock;
  static bool ready = [] {
    InitializeCriticalSection(&lock);
    return true;
  }();
  (void)ready;
  return &lock;
}

std::vector<BeepCall> recorded;
BOOL answer = TRUE;

BOOL WINAPI RecordingBeep(DWORD frequency, DWORD duration) {
  EnterCriticalSection(RecorderLock());
  recorded.push_back({frequency, duration});
  LeaveCriticalSection(RecorderLock());
  return answer;
}

}  // namespace

BeepRecorder::BeepRecorder(HMODULE module, BOOL result)
    : patch_(module, "kernel32.dll", "Beep", reinterpret_cast<void*>(&RecordingBeep)) {
  answer = result;
  Clear();
}

BeepRecorder::~BeepRecorder() { Clear(); }

std::vector<BeepCall> BeepRecorder::Calls() const {
  EnterCriticalSection(RecorderLock());
  std::vector<BeepCall> copy = recorded;
  LeaveCriticalSection(RecorderLock());
  return copy;
}

void BeepRecorder::Clear() {
  EnterCriticalSection(RecorderLock());
  recorded.clear();
  LeaveCriticalSection(RecorderLock());
}
