#pragma once
// The module's heap set: one heap, or a power-of-two set of heaps spread over
// by a counter. Blocks are never zeroed.
#include <windows.h>

struct ServerModule;

// Creates the heap set of a module whose heap fields are reset.
void CreateModuleHeaps(ServerModule* module);
void DestroyModuleHeaps(ServerModule* module);

void* ModuleAlloc(SIZE_T size);
void* ModuleRealloc(void* block, SIZE_T size);
void ModuleFree(void* block);
