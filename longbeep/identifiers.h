#pragma once
// The identifiers the type library and the registry script carry as well.
#include <windows.h>

extern const CLSID CLSID_LongBeep;   // 6A1D3E40-9B27-4C5F-A8E2-3F70C91B5D84
extern const IID IID_ILongBeep;      // D47F2A91-6C3B-4E08-9A5D-1B86E3C07F29
extern const GUID LIBID_ZIRPELLib;   // 0E8B52C7-4D19-4A6E-B3F1-72C95A0D6E13, version 1.0
