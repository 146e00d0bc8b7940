#pragma once
// Static tables that say which interfaces an object answers and where they lie.
#include <windows.h>

#include <cstdint>

// Answers a request itself: stores the interface and takes its reference.
using InterfaceResolver = HRESULT (*)(void* base, REFIID iid, void** out, DWORD data);

// Null ends the table, PlainOffsetRow marks a row answered by base + Data,
// anything else is a resolver function.
union InterfaceRowKind {
  std::uintptr_t Mark;
  InterfaceResolver Function;
};
inline constexpr std::uintptr_t EndOfTable = 0;
inline constexpr std::uintptr_t PlainOffsetRow = 1;

struct InterfaceEntry {
  const IID* Iid;  // null: the row considers every request
  DWORD Data;      // offset of the interface pointer, or the resolver's argument
  InterfaceRowKind Resolver;
};

// The three IUnknown entries that begin every table of functions.
template <class Self>
struct UnknownEntries {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(Self* self, REFIID iid, void** out);
  ULONG(STDMETHODCALLTYPE* AddRef)(Self* self);
  ULONG(STDMETHODCALLTYPE* Release)(Self* self);
};

// Any interface pointer, seen only as far as its IUnknown entries.
struct UnknownView {
  const UnknownEntries<UnknownView>* Table;
};

HRESULT FindInterface(void* base, const InterfaceEntry* table, REFIID iid, void** out);
