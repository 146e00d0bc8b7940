#pragma once
// The LongBeep class: its dual table of functions, interface table and class row.
#include <windows.h>
#include <oaidl.h>

#include "objects/interface_table.h"
#include "server/class_entry.h"

struct LongBeepTable;

// What every ILongBeep/IDispatch pointer points at; LongBeep has no fields.
struct LongBeepPart {
  const LongBeepTable* Table;
};

// ILongBeep and IDispatch share this table, in the order the type library
// declares: IUnknown, IDispatch, then BeepSound as the eighth entry.
struct LongBeepTable {
  UnknownEntries<LongBeepPart> Unknown;
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(LongBeepPart* self, UINT* count);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(LongBeepPart* self, UINT index, LCID locale, ITypeInfo** out);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(LongBeepPart* self, REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                           DISPID* ids);
  HRESULT(STDMETHODCALLTYPE* Invoke)(LongBeepPart* self, DISPID member, REFIID iid, LCID locale, WORD flags,
                                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* badArgument);
  HRESULT(STDMETHODCALLTYPE* BeepSound)(LongBeepPart* self, LONG frequency, LONG duration);
};

struct LongBeepClass {
  using Part = LongBeepPart;
  using Table = LongBeepTable;
  static const InterfaceEntry Interfaces[];
  static const LongBeepTable StandaloneTable;
  static const LongBeepTable InnerTable;
};

HRESULT STDMETHODCALLTYPE LongBeepGetTypeInfoCount(LongBeepPart* self, UINT* count);
HRESULT STDMETHODCALLTYPE LongBeepBeepSound(LongBeepPart* self, LONG frequency, LONG duration);

// Late-bound entries, answered through the type library's type information.
HRESULT STDMETHODCALLTYPE LongBeepGetTypeInfo(LongBeepPart* self, UINT index, LCID locale, ITypeInfo** out);
HRESULT STDMETHODCALLTYPE LongBeepGetIDsOfNames(LongBeepPart* self, REFIID iid, LPOLESTR* names, UINT count,
                                               LCID locale, DISPID* ids);
HRESULT STDMETHODCALLTYPE LongBeepInvoke(LongBeepPart* self, DISPID member, REFIID iid, LCID locale, WORD flags,
                                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                        UINT* badArgument);

// The module's class table: LongBeep's row, then the end row.
extern ClassEntry ClassTable[];

// LongBeep's ClassRegistration: writes or removes its registry entries.
HRESULT LongBeepClassRegistration(BOOL registering);
