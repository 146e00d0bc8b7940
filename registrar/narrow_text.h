#pragma once
// The ANSI form of a UTF-16 text, for variable names and values.
#include <windows.h>

// Short texts convert into the record itself; longer ones into task memory.
struct NarrowText {
  char Local[520];  // a doubled 259-character path fits
  char* Allocated;
  const char* Text;  // the converted text; empty when the conversion failed
};

// Converts with the ANSI code page into a buffer of 2 x length + 2 bytes.
// E_OUTOFMEMORY when a long text finds no memory.
HRESULT MakeNarrowText(NarrowText* narrow, const wchar_t* text);
void FreeNarrowText(NarrowText* narrow);
