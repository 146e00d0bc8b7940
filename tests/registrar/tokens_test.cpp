// Reading tokens, and the format's tables.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "registrar/script_format.h"
#include "tests/registrar/double_byte_code_page.h"

namespace {

struct Reading {
  std::vector<std::string> Tokens;
  HRESULT Result;  // of the ReadToken that ended the reading
  std::string Rest;
};

// Reads tokens until the text ends or a token fails.
Reading ReadAll(const std::string& text) {
  ScriptParser parser = {text.c_str(), nullptr};
  Reading reading;
  static char token[TokenBufferSize];
  for (;;) {
    SkipBlanks(&parser);
    if (*parser.Cursor == '\0') {
      reading.Result = S_OK;
      break;
    }
    reading.Result = ReadToken(&parser, token);
    if (FAILED(reading.Result)) {
      break;
    }
    reading.Tokens.push_back(token);
  }
  reading.Rest = parser.Cursor;
  return reading;
}

using Tokens = std::vector<std::string>;

TEST(TokenTest, Cases) {
  struct Case {
    std::string Text;
    Tokens Expected;
    HRESULT Result;
  };
  const Case cases[] = {
      {"'It''s'", {"It's"}, S_OK},
      {"''", {""}, S_OK},
      {"''''", {"'"}, S_OK},
      {"'a'''", {"a'"}, S_OK},
      {"'x'y", {"x", "y"}, S_OK},
      {"x'y'", {"x'y'"}, S_OK},
      {"'a''b'''c", {"a'b'", "c"}, S_OK},
      {"a=b", {"a=b"}, S_OK},
      {"a = b", {"a", "=", "b"}, S_OK},
      {"a\tb\rc\nd  e", {"a", "b", "c", "d", "e"}, S_OK},
      {"a\vb\fc", {"a\vb\fc"}, S_OK},
      {"{a}=%'b", {"{a}=%'b"}, S_OK},
      {"'a b{}=\t'{", {"a b{}=\t", "{"}, S_OK},
      {" \r\n\t", {}, S_OK},
      {"\xA0x \x80", {"\xA0x", "\x80"}, S_OK},  // high bytes are no blanks
      {"'abc", {}, DISP_E_EXCEPTION},
      {"ok 'abc''", {"ok"}, DISP_E_EXCEPTION},
      {"'", {}, DISP_E_EXCEPTION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("text: " + c.Text);
    Reading reading = ReadAll(c.Text);
    EXPECT_EQ(reading.Tokens, c.Expected);
    EXPECT_EQ(reading.Result, c.Result);
  }
}

TEST(TokenTest, TextEndWhereATokenIsNeeded) {
  for (const char* text : {"", "  \r\n"}) {
    ScriptParser parser = {text, nullptr};
    char token[TokenBufferSize];
    EXPECT_EQ(ReadToken(&parser, token), DISP_E_EXCEPTION);
    EXPECT_EQ(*parser.Cursor, '\0');
  }
}

TEST(TokenTest, CursorStopsJustPastTheToken) {
  struct Case {
    const char* Text;
    const char* Rest;
  };
  const Case cases[] = {{"'x'y", "y"}, {"  ab  cd", "  cd"}, {"'a''' z", " z"}, {"abc", ""}};
  for (const Case& c : cases) {
    ScriptParser parser = {c.Text, nullptr};
    char token[TokenBufferSize];
    ASSERT_EQ(ReadToken(&parser, token), S_OK);
    EXPECT_STREQ(parser.Cursor, c.Rest) << c.Text;
  }
  ScriptParser parser = {" \t\v x", nullptr};
  SkipBlanks(&parser);
  EXPECT_STREQ(parser.Cursor, "\v x");
}

TEST(TokenTest, QuoteEnd) {
  const std::pair<const char*, bool> cases[] = {{"'", true}, {"'x", true}, {"''", false}, {"x'", false}, {"", false}};
  for (const auto& [text, expected] : cases) {
    ScriptParser parser = {text, nullptr};
    EXPECT_EQ(IsQuoteEnd(&parser), expected) << text;
  }
}

// The token buffer is followed by a guard that must survive every read.
struct GuardedToken {
  char Token[TokenBufferSize];
  char Guard[64];
};

void ExpectLength(const std::string& text, HRESULT expected, size_t length) {
  GuardedToken buffer;
  memset(buffer.Guard, 0x5A, sizeof buffer.Guard);
  ScriptParser parser = {text.c_str(), nullptr};
  HRESULT result = ReadToken(&parser, buffer.Token);
  EXPECT_EQ(result, expected);
  if (SUCCEEDED(result)) {
    EXPECT_EQ(strlen(buffer.Token), length);
  }
  for (char guard : buffer.Guard) {
    ASSERT_EQ(guard, 0x5A) << "written past the token buffer";
  }
}

TEST(TokenTest, LengthLimits) {
  const std::string pair = DoubleByteCharacter;
  // Quoted: refused when 4094 bytes are stored already.
  ExpectLength("'" + std::string(4094, 'q') + "'", S_OK, 4094);
  ExpectLength("'" + std::string(4095, 'q') + "'", DISP_E_EXCEPTION, 0);
  ExpectLength("'" + std::string(4093, 'q') + "''''", DISP_E_EXCEPTION, 0);
  // Unquoted: 4095 bytes and the terminator fill the buffer; more is refused.
  ExpectLength(std::string(4095, 'u'), S_OK, 4095);
  ExpectLength(std::string(4096, 'u') + " x", DISP_E_EXCEPTION, 0);
  ExpectLength(std::string(10000, 'u'), DISP_E_EXCEPTION, 0);
}

TEST(TokenTest, DoubleByteCharactersStayWhole) {
  DoubleByteCodePage codePage;
  ASSERT_TRUE(codePage.Active());
  const std::string pair = DoubleByteCharacter;
  const std::string backslash = BackslashTrailCharacter;
  // A pair whose second byte is an apostrophe or a blank byte stays one character.
  const std::string apostropheTrail = "\x82'";
  const std::string blankTrail = "\x82 ";
  Reading reading = ReadAll("'" + pair + apostropheTrail + "' " + blankTrail + "x " + backslash);
  EXPECT_EQ(reading.Tokens, (Tokens{pair + apostropheTrail, blankTrail + "x", backslash}));
  // The quoted limit: a last double-byte character may take the buffer to 4095 bytes.
  ExpectLength("'" + std::string(4093, 'q') + pair + "'", S_OK, 4095);
  ExpectLength("'" + std::string(4094, 'q') + pair + "'", DISP_E_EXCEPTION, 0);
  ExpectLength(std::string(4093, 'u') + pair, S_OK, 4095);
  ExpectLength(std::string(4094, 'u') + pair, DISP_E_EXCEPTION, 0);
}

// Predefined handles are 32-bit values, sign-extended on 64-bit Windows.
HKEY PredefinedKey(DWORD value) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

TEST(TableTest, RootKeys) {
  const std::pair<const char*, HKEY> cases[] = {
      {"HKCR", HKEY_CLASSES_ROOT},
      {"hkcr", HKEY_CLASSES_ROOT},
      {"HKCU", HKEY_CURRENT_USER},
      {"HKLM", HKEY_LOCAL_MACHINE},
      {"HKU", HKEY_USERS},
      {"HKPD", HKEY_PERFORMANCE_DATA},
      {"HKDD", PredefinedKey(0x80000006)},
      {"HKCC", PredefinedKey(0x80000005)},
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HkEy_Classes_Root", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
      {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {"HKEY_DYN_DATA", HKEY_DYN_DATA},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_CLASSES", nullptr},
      {"HKCR ", nullptr},
      {"", nullptr},
  };
  for (const auto& [name, key] : cases) {
    EXPECT_EQ(FindRootKey(name), key) << name;
  }
}

TEST(TableTest, ValueKinds) {
  const std::pair<const char*, VARTYPE> kinds[] = {{"s", VT_BSTR}, {"S", VT_BSTR}, {"d", VT_UI4},
                                                   {"D", VT_UI4},  {"b", VT_UI1},  {"B", VT_UI1}};
  for (const auto& [letter, expected] : kinds) {
    VARTYPE kind = VT_EMPTY;
    EXPECT_TRUE(FindValueKind(letter, &kind)) << letter;
    EXPECT_EQ(kind, expected) << letter;
  }
  for (const char* letter : {"SZ", "x", "", "'S'"}) {
    VARTYPE kind = VT_ERROR;
    EXPECT_FALSE(FindValueKind(letter, &kind)) << letter;
    EXPECT_EQ(kind, VT_ERROR) << "nothing stored for " << letter;
  }
}

TEST(TableTest, HexDigits) {
  const std::pair<char, int> cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'A', 10}, {'f', 15}, {'F', 15},
                                        {'G', 0}, {'g', 0}, {' ', 0}, {'/', 0}, {':', 0}, {'@', 0},
                                        {'`', 0}, {'\xFF', 0}};
  for (const auto& [digit, value] : cases) {
    EXPECT_EQ(HexDigitValue(digit), value) << digit;
  }
}

}  // namespace
