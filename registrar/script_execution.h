#pragma once
// Runs a registry script against the registry, in register or removal mode.
#include <windows.h>

#include "registrar/script_format.h"

// registering nonzero: create and write; zero: remove what the script describes.
HRESULT RunScript(ScriptParser* parser, const char* text, BOOL registering);
