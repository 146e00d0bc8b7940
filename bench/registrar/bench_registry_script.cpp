// The registry script engine against the registry calls it makes, against a
// hand-written sequence of calls, and its own parsing alone; on generated
// scripts of 1,000 and 10,000 keys with a value each.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/registrar/registry_call_replay.h"
#include "bench/support/timing.h"
#include "bench/registrar/registry_stub.h"
#include "registrar/registrar.h"
#include "registrar/script_execution.h"
#include "server/server_module.h"
#include "tests/support/registry_sandbox.h"

namespace {

const char* const ParentName = "ZirpelBench";

std::string GeneratedScript(int keys) {
  std::string script = "HKCR\r\n{\r\n  NoRemove ";
  script += ParentName;
  script += "\r\n  {\r\n";
  char line[96];
  for (int i = 0; i < keys; ++i) {
    std::snprintf(line, sizeof line, "    K%05d = s 'value %d of the bench'\r\n", i, i);
    script += line;
  }
  return script + "  }\r\n}\r\n";
}

double Milliseconds(const std::function<void()>& work) {
  double start = NowNanoseconds();
  work();
  return (NowNanoseconds() - start) / 1e6;
}

// One timed operation of a round; `prepare` runs untimed before it.
struct Timing {
  std::function<void()> Prepare;
  std::function<void()> Work;
  double Best;
};

// Runs every timing once per round, interleaved so that a slow spell of the
// shared registry server hits them alike; keeps the fastest run of each.
void RunRounds(int rounds, std::vector<Timing*> timings) {
  for (Timing* timing : timings) {
    timing->Best = 1e30;
  }
  for (int round = 0; round < rounds; ++round) {
    for (Timing* timing : timings) {
      timing->Prepare();
      timing->Best = std::min(timing->Best, Milliseconds(timing->Work));
    }
  }
}

HRESULT RunRegister(const std::string& script) {
  ScriptParser parser = {nullptr, nullptr};
  return RunScript(&parser, script.c_str(), TRUE);
}

// What a user would write instead: create, set and close per key.
void HandWritten(int keys) {
  HKEY parent = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, ParentName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &parent, nullptr) != ERROR_SUCCESS) {
    return;
  }
  char name[16];
  char value[64];
  for (int i = 0; i < keys; ++i) {
    std::snprintf(name, sizeof name, "K%05d", i);
    int length = std::snprintf(value, sizeof value, "value %d of the bench", i);
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(length) + 1);
      RegCloseKey(key);
    }
  }
  RegCloseKey(parent);
}

// Expansion and the reading of every token, without the registry.
void ParseOnly(const std::string& script) {
  ScriptParser parser = {nullptr, nullptr};
  char* expanded = nullptr;
  if (FAILED(ExpandVariables(&parser, script.c_str(), &expanded))) {
    return;
  }
  parser.Cursor = expanded;
  char token[TokenBufferSize];
  while (SUCCEEDED(ReadToken(&parser, token))) {
  }
  CoTaskMemFree(expanded);
}

// Keeps the comparisons from being optimised away.
volatile int KeywordSink = 0;

// The case-insensitive comparisons that the walk makes per key entry: the
// four entry keywords and the kind letter.
void CompareKeywords(int keys) {
  int found = 0;
  const char* const against[] = {"Delete", "ForceRemove", "NoRemove", "Val"};
  for (int i = 0; i < keys; ++i) {
    for (const char* keyword : against) {
      found += lstrcmpiA("K00001", keyword) == 0;
    }
    found += lstrcmpiA("s", "S") == 0;
  }
  KeywordSink = found;
}

struct Figures {
  int Keys;
  double EngineFirst, ReplayFirst, EngineAgain, ReplayAgain, HandFirst, HandAgain, Parse, Stubbed, Keywords;
};

Figures Measure(RegistrySandbox& sandbox, int keys, int rounds) {
  std::string script = GeneratedScript(keys);
  auto clear = [&] { sandbox.Clear(HKEY_CLASSES_ROOT); };
  auto nothing = [] {};
  auto registerOnce = [&] {
    if (FAILED(RunRegister(script))) {
      std::printf("the generated script failed\n");
    }
  };

  std::vector<RecordedCall> firstCalls;
  std::vector<RecordedCall> againCalls;
  clear();
  {
    RegistryCallRecorder recorder;
    registerOnce();
    firstCalls = recorder.Calls();
  }
  {
    RegistryCallRecorder recorder;
    registerOnce();
    againCalls = recorder.Calls();
  }

  Timing engineFirst = {clear, registerOnce, 0};
  Timing replayFirst = {clear, [&] { ReplayRegistryCalls(firstCalls); }, 0};
  Timing handFirst = {clear, [&] { HandWritten(keys); }, 0};
  // The hand-written sequence leaves the same keys and values as the script.
  Timing engineAgain = {nothing, registerOnce, 0};
  Timing replayAgain = {nothing, [&] { ReplayRegistryCalls(againCalls); }, 0};
  Timing handAgain = {nothing, [&] { HandWritten(keys); }, 0};
  Timing parse = {nothing, [&] { ParseOnly(script); }, 0};
  Timing stubbed = {nothing, [&] {
                      RegistryStub stub;
                      registerOnce();
                    },
                    0};
  Timing keywords = {nothing, [&] { CompareKeywords(keys); }, 0};
  RunRounds(rounds, {&engineFirst, &replayFirst, &handFirst, &engineAgain, &replayAgain, &handAgain, &parse,
                     &stubbed, &keywords});
  Figures f = {keys,           engineFirst.Best, replayFirst.Best, engineAgain.Best, replayAgain.Best,
               handFirst.Best, handAgain.Best,   parse.Best,       stubbed.Best,     keywords.Best};
  std::printf("%6d keys: %zu calls recorded on first registration, %zu on the second\n", keys, firstCalls.size(),
              againCalls.size());
  clear();
  return f;
}

void PrintTable(const std::vector<Figures>& all) {
  std::printf("\n%-44s", "ms (fastest round)");
  for (const Figures& f : all) std::printf("%14d keys", f.Keys);
  std::printf("\n");
  auto row = [&](const char* title, double Figures::*field) {
    std::printf("%-44s", title);
    for (const Figures& f : all) std::printf("%19.2f", f.*field);
    std::printf("\n");
  };
  row("RunScript, first registration", &Figures::EngineFirst);
  row("  its registry calls replayed", &Figures::ReplayFirst);
  row("RunScript, again over existing keys", &Figures::EngineAgain);
  row("  its registry calls replayed", &Figures::ReplayAgain);
  row("hand-written create/set/close, first", &Figures::HandFirst);
  row("hand-written create/set/close, again", &Figures::HandAgain);
  row("expansion and tokens alone", &Figures::Parse);
  row("RunScript with the registry stubbed out", &Figures::Stubbed);
  row("  of which lstrcmpiA, 5 per key", &Figures::Keywords);

  std::printf("\n%-44s", "ratios");
  for (const Figures& f : all) std::printf("%14d keys", f.Keys);
  std::printf("\n");
  auto ratio = [&](const char* title, double Figures::*top, double Figures::*bottom) {
    std::printf("%-44s", title);
    for (const Figures& f : all) std::printf("%18.3fx", f.*top / f.*bottom);
    std::printf("\n");
  };
  ratio("engine / replay, first (goal <= 1.1)", &Figures::EngineFirst, &Figures::ReplayFirst);
  ratio("engine / replay, again (goal <= 1.1)", &Figures::EngineAgain, &Figures::ReplayAgain);
  ratio("engine again / hand-written again (<= 1.2)", &Figures::EngineAgain, &Figures::HandAgain);
  ratio("engine first / hand-written first", &Figures::EngineFirst, &Figures::HandFirst);
  ratio("stubbed engine / engine, first", &Figures::Stubbed, &Figures::EngineFirst);

  if (all.size() == 2) {
    const Figures& small = all[0];
    const Figures& large = all[1];
    double scale = static_cast<double>(small.Keys) / large.Keys;
    auto growth = [&](const char* title, double Figures::*field) {
      std::printf("%-44s%18.3fx\n", title, large.*field * scale / (small.*field));
    };
    std::printf("\ngrowth of time per key, %d to %d keys\n", small.Keys, large.Keys);
    growth("RunScript, first", &Figures::EngineFirst);
    growth("  replayed calls, first", &Figures::ReplayFirst);
    growth("RunScript, again", &Figures::EngineAgain);
    growth("  replayed calls, again", &Figures::ReplayAgain);
    growth("expansion and tokens alone", &Figures::Parse);
    growth("RunScript with the registry stubbed out", &Figures::Stubbed);
  }
}

}  // namespace

int main() {
  ServerModule module = {};
  StartModule(&module, nullptr, GetModuleHandle(nullptr), nullptr);
  std::vector<Figures> all;
  {
    RegistrySandbox sandbox({HKEY_CLASSES_ROOT});
    if (!sandbox.Active()) {
      std::printf("no registry sandbox\n");
      return 1;
    }
    all.push_back(Measure(sandbox, 1000, 9));
    all.push_back(Measure(sandbox, 10000, 3));
  }
  PrintTable(all);
  StopModule(&module);
  return 0;
}
