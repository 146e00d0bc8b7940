#pragma once
// ILongBeep as a C++ client declares it from the type library.
// Client-side interface declarations must stay out of anonymous namespaces:
// there GCC may assume no implementation exists and devirtualize calls into traps.
#include <windows.h>
#include <oaidl.h>

struct ILongBeepClient : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE BeepSound(LONG frequency, LONG duration) = 0;
};
