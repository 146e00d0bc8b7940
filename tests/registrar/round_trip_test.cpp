// Generated scripts registered into an empty sandbox and removed again.
// ZIRPEL_FUZZ_ITERATIONS sets the number of scripts; a failure names the seed.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "tests/registrar/script_fixture.h"

namespace {

constexpr unsigned BaseSeed = 20261211;
constexpr int DefaultIterations = 60;

struct GeneratedValue {
  std::string Name;  // empty for a key's default value
  std::string Shown;
};

struct GeneratedKey {
  std::string Name;
  bool NoRemove = false;
  std::vector<GeneratedValue> Values;  // a default value comes first
  std::vector<GeneratedKey> Children;
};

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

class ScriptGenerator {
 public:
  explicit ScriptGenerator(unsigned seed) : random_(seed) {}

  // Appends one root section to the script and its keys to `root`.
  void Section(const char* rootName, GeneratedKey* root) {
    script_ += Blank() + std::string(rootName) + Blank() + "{";
    Block(root, 0);
  }

  std::string& Script() { return script_; }

 private:
  int Below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string Pick(std::initializer_list<const char*> choices) { return *(choices.begin() + Below(static_cast<int>(choices.size()))); }
  std::string Blank() { return Pick({" ", "\t", "\r\n", "  ", "\n\t"}); }

  std::string Text(int maxLength) {
    static const char alphabet[] = "abcXYZ019 '%{}=-._";
    std::string text;
    int length = 1 + Below(maxLength);
    for (int i = 0; i < length; ++i) {
      text += alphabet[Below(sizeof alphabet - 1)];
    }
    return text;
  }

  // The token that stands for the text: quoted when it must be, or by chance.
  std::string Token(const std::string& text) {
    bool plain = !text.empty() && text.find_first_of(" '") == std::string::npos && text[0] != '}' &&
                 text[0] != '=' && text != "{";
    std::string written;
    for (char c : text) {
      written += c == '%' ? std::string("%%") : std::string(1, c);
    }
    if (plain && Chance(70)) {
      return written;
    }
    std::string quoted = "'";
    for (char c : written) {
      quoted += c == '\'' ? std::string("''") : std::string(1, c);
    }
    return quoted + "'";
  }

  static bool Taken(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& taken : names) {
      if (EqualNoCase(taken, name)) {
        return true;
      }
    }
    return false;
  }

  std::string FreshName(std::vector<std::string>& taken, bool keyName) {
    for (;;) {
      std::string name = Chance(8) ? Pick({"CLSID", "TypeLib", "Val", "Delete", "NoRemove", "ForceRemove"}) : Text(8);
      // A key entry cannot begin with what the walk reads as a brace, a clause or a keyword.
      if (keyName && (name == "{" || name[0] == '}' || name[0] == '=' || EqualNoCase(name, "Val") || EqualNoCase(name, "Delete") || EqualNoCase(name, "NoRemove") ||
                      EqualNoCase(name, "ForceRemove"))) {
        continue;
      }
      if (!Taken(taken, name)) {
        taken.push_back(name);
        return name;
      }
    }
  }

  // " = kind value", and the line that the registry then shows.
  std::string ValueClause(std::string* shown) {
    char buffer[64];
    switch (Below(3)) {
      case 0: {
        if (Chance(20)) {
          *shown = "REG_SZ \"" + std::string(ScriptTest::ModulePathInRegistry) + "\\0\"";
          return " =" + Blank() + Pick({"s", "S"}) + Blank() + "'%MODULE%'";
        }
        std::string text = Chance(10) ? "" : Text(12);
        *shown = "REG_SZ \"" + text + "\\0\"";
        return " =" + Blank() + Pick({"s", "S"}) + Blank() + (text.empty() ? "''" : Token(text));
      }
      case 1: {
        unsigned long number = static_cast<unsigned long>(random_());
        std::snprintf(buffer, sizeof buffer, "REG_DWORD 0x%08lx", number);
        *shown = buffer;
        std::string digits = std::to_string(number);
        return " =" + Blank() + Pick({"d", "D"}) + Blank() + (Chance(20) ? "'" + digits + "'" : digits);
      }
      default: {
        std::string hex;
        std::string written;
        int bytes = Below(6);
        for (int i = 0; i < bytes; ++i) {
          unsigned byte = random_() & 0xFF;
          std::snprintf(buffer, sizeof buffer, Chance(50) ? "%02x" : "%02X", byte);
          written += buffer;
          std::snprintf(buffer, sizeof buffer, "%02x", byte);
          hex += buffer;
        }
        *shown = "REG_BINARY " + hex;
        return " =" + Blank() + Pick({"b", "B"}) + Blank() + (written.empty() ? "''" : written);
      }
    }
  }

  void Block(GeneratedKey* owner, int depth) {
    std::vector<std::string> keyNames;
    std::vector<std::string> valueNames;
    int entries = Below(depth == 0 ? 5 : 4);
    for (int i = 0; i < entries; ++i) {
      int choice = Below(10);
      if (choice < 2) {
        GeneratedValue value;
        value.Name = FreshName(valueNames, false);
        script_ += Blank() + Pick({"Val", "val", "VAL"}) + Blank() + Token(value.Name) + ValueClause(&value.Shown);
        owner->Values.push_back(value);
      } else if (choice < 3) {
        std::string name = FreshName(keyNames, true);
        script_ += Blank() + Pick({"Delete", "delete"}) + Blank() + Token(name);
        if (Chance(30)) {
          std::string ignored;
          script_ += ValueClause(&ignored);
        }
      } else if (depth < 4) {
        GeneratedKey key;
        key.Name = FreshName(keyNames, true);
        key.NoRemove = Chance(15);
        script_ += Blank() + (key.NoRemove ? Pick({"NoRemove ", "noremove "}) : Chance(20) ? "ForceRemove " : "") +
                   Token(key.Name);
        if (Chance(50)) {
          GeneratedValue value;
          script_ += ValueClause(&value.Shown);
          key.Values.push_back(value);
        }
        if (Chance(60)) {
          script_ += Blank() + "{";
          Block(&key, depth + 1);
        }
        owner->Children.push_back(key);
      }
    }
    script_ += Blank() + "}";
  }

  std::mt19937 random_;
  std::string script_;
};

void AddLines(const GeneratedKey& key, const std::string& path, bool afterRemoval, TreeLines* lines) {
  for (const GeneratedValue& value : key.Values) {
    if (!afterRemoval || value.Name.empty()) {
      lines->push_back(path + (value.Name.empty() ? "" : " [" + value.Name + "]") + " = " + value.Shown);
    }
  }
}

// Adds the key's lines; true when the key is there after the run.
bool Expect(const GeneratedKey& key, const std::string& path, bool afterRemoval, TreeLines* lines) {
  TreeLines own;
  bool kept = !afterRemoval || key.NoRemove;
  for (const GeneratedKey& child : key.Children) {
    kept = Expect(child, path + "\\" + child.Name, afterRemoval, &own) || kept;
  }
  if (!kept) {
    return false;
  }
  lines->push_back(path);
  AddLines(key, path, afterRemoval, lines);
  lines->insert(lines->end(), own.begin(), own.end());
  return true;
}

struct Section {
  const char* ShortName;
  std::vector<const char*> Spellings;
};

const Section Sections[] = {
    {"HKCR", {"HKCR", "hkcr", "HKEY_CLASSES_ROOT"}},
    {"HKCU", {"HKCU", "HKEY_CURRENT_USER"}},
    {"HKLM", {"HKLM", "HKEY_LOCAL_MACHINE", "hkey_local_machine"}},
    {"HKU", {"HKU", "HKEY_USERS"}},
};

class RoundTripTest : public ScriptTest {};

TEST_F(RoundTripTest, RegisterAndRemoveGeneratedScripts) {
  int iterations = DefaultIterations;
  if (const char* setting = std::getenv("ZIRPEL_FUZZ_ITERATIONS")) {
    iterations = std::atoi(setting);
  }
  for (int iteration = 0; iteration < iterations; ++iteration) {
    unsigned seed = BaseSeed + static_cast<unsigned>(iteration);
    ScriptGenerator generator(seed);
    std::mt19937 picks(seed);
    TreeLines registered;
    TreeLines removed;
    for (const Section& section : Sections) {
      if (picks() % 3 == 0) {
        continue;
      }
      GeneratedKey root;
      generator.Section(section.Spellings[picks() % section.Spellings.size()], &root);
      std::string prefix = std::string(section.ShortName) + "\\";
      for (const GeneratedKey& child : root.Children) {
        Expect(child, prefix + child.Name, false, &registered);
        Expect(child, prefix + child.Name, true, &removed);
      }
      AddLines(root, prefix, false, &registered);
    }
    registered = Sorted(registered);
    removed = Sorted(removed);
    const std::string& script = generator.Script();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", script:\n" + script);
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
      sandbox_.Clear(root);
    }
    ASSERT_EQ(Run(script, TRUE), S_OK);
    ASSERT_EQ(Tree(), registered) << "registered once";
    ASSERT_EQ(Run(script, TRUE), S_OK);
    ASSERT_EQ(Tree(), registered) << "registered twice";
    ASSERT_EQ(Run(script, FALSE), S_OK);
    ASSERT_EQ(Tree(), removed) << "removed";
    ASSERT_EQ(Run(script, FALSE), S_OK);
    ASSERT_EQ(Tree(), removed) << "removed twice";
    ASSERT_EQ(Run(script, TRUE), S_OK);
    ASSERT_EQ(Tree(), registered) << "registered after removal";
  }
}

}  // namespace
