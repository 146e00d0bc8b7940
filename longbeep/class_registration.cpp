#include "longbeep/longbeep.h"

// Replaced by the script-resource registration.
HRESULT LongBeepClassRegistration(BOOL) { return E_NOTIMPL; }
