// The text rules of registration: the doubled apostrophes of the Module value,
// the help directory's length, and the ".tlb" fallback path.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "registrar/script_resource.h"
#include "registrar/server_registration.h"

namespace {

struct TextCase {
  std::wstring Source;
  std::wstring Expected;
};

TEST(DoubleApostrophesTest, WritesEachApostropheTwice) {
  const TextCase cases[] = {
      {L"", L""},
      {L"C:\\dir\\ZIRPEL.DLL", L"C:\\dir\\ZIRPEL.DLL"},
      {L"C:\\O'Hara\\ZIRPEL.DLL", L"C:\\O''Hara\\ZIRPEL.DLL"},
      {L"'", L"''"},
      {L"a''b'", L"a''''b''"},
      {L"%MODULE% {x} = s", L"%MODULE% {x} = s"},
  };
  for (const TextCase& test : cases) {
    std::vector<wchar_t> destination(2 * test.Source.size() + 1, L'#');
    DoubleApostrophes(destination.data(), test.Source.c_str());
    EXPECT_EQ(std::wstring(destination.data()), test.Expected) << std::string(test.Source.begin(), test.Source.end());
  }
}

TEST(DoubleApostrophesTest, OnlyApostrophesFillTheDestinationExactly) {
  for (size_t count : {1u, 2u, 7u, 259u}) {
    std::wstring source(count, L'\'');
    // One guard character past the 2n + 1 that the rule allows.
    std::vector<wchar_t> destination(2 * count + 2, L'#');
    DoubleApostrophes(destination.data(), source.c_str());
    EXPECT_EQ(std::wstring(destination.data()), std::wstring(2 * count, L'\''));
    EXPECT_EQ(destination[2 * count], L'\0');
    EXPECT_EQ(destination[2 * count + 1], L'#') << count;
  }
}

TEST(DirectoryPartLengthTest, CountsUpToTheLastSeparator) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"", 0},
      {L"ZIRPEL.DLL", 0},
      {L"a:x", 2},
      {L"a/b\\c", 4},
      {L"C:\\dir\\ZIRPEL.DLL", 7},
      {L"C:\\dir\\", 7},
      {L"\\\\server\\share\\x.dll", 15},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(DirectoryPartLength(path), expected) << std::wstring(path).size();
  }
}

TEST(TypeLibraryFallbackTest, ReplacesFromTheLastDot) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\dir\\ZIRPEL.DLL", "C:\\dir\\ZIRPEL.tlb"},
      {"C:\\ver1.0\\ZIRPEL", "C:\\ver1.tlb"},
      {"C:\\dir\\ZIRPEL", "C:\\dir\\ZIRPEL.tlb"},
      {"C:\\dir\\a.b.dll", "C:\\dir\\a.b.tlb"},
      {"ZIRPEL.", "ZIRPEL.tlb"},
      {"", ".tlb"},
  };
  for (const auto& [path, expected] : cases) {
    char buffer[MAX_PATH + 4];
    lstrcpyA(buffer, path);
    ReplaceExtensionWithTlb(buffer);
    EXPECT_STREQ(buffer, expected);
  }
}

TEST(TypeLibraryFallbackTest, LongestPathStaysInsideTheBuffer) {
  std::string path = "C:\\" + std::string(MAX_PATH - 4, 'x');  // MAX_PATH - 1 characters, no dot
  char buffer[MAX_PATH + 4 + 1];
  buffer[MAX_PATH + 4] = '#';
  lstrcpyA(buffer, path.c_str());
  ReplaceExtensionWithTlb(buffer);
  EXPECT_EQ(std::string(buffer), path + ".tlb");
  EXPECT_EQ(buffer[MAX_PATH + 4], '#');
}

}  // namespace
