#include "longbeep/longbeep.h"

#include "registrar/script_resource.h"

namespace {

// The "REGISTRY" resource that holds LongBeep's registry script.
constexpr UINT LongBeepScriptResource = 101;

}  // namespace

HRESULT LongBeepClassRegistration(BOOL registering) { return ApplyClassScript(LongBeepScriptResource, registering); }
