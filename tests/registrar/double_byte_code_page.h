#pragma once
// Makes the engine in this test program see a double-byte ANSI code page
// (lead bytes 0x81-0x9F and 0xE0-0xFC), by replacing its imports of
// IsDBCSLeadByte, CharNextA and WideCharToMultiByte. U+3042 converts to the
// two bytes 82 A0; every other unit converts to its low byte.
#include <windows.h>

#include "tests/support/import_patch.h"

class DoubleByteCodePage {
 public:
  DoubleByteCodePage();
  bool Active() const { return lead_.Active() && next_.Active() && narrow_.Active(); }

 private:
  ImportPatch lead_;
  ImportPatch next_;
  ImportPatch narrow_;
};

// The double-byte character that U+3042 becomes.
inline constexpr char DoubleByteCharacter[] = "\x82\xA0";
// A double-byte character whose second byte is a backslash.
inline constexpr char BackslashTrailCharacter[] = "\x83\x5C";
