#include "longbeep/identifiers.h"
#include "longbeep/longbeep.h"
#include "objects/object_wrappers.h"
#include "server/class_factory.h"

namespace {

const void* IncludeInModuleRegistration() { return nullptr; }
const CategoryEntry* NoCategories() { return nullptr; }
void NothingToInitialise(BOOL) {}

}  // namespace

ClassEntry ClassTable[] = {
    {&CLSID_LongBeep, &LongBeepClassRegistration, &CreateClassFactory, &CreateStandaloneOrAggregate<LongBeepClass>,
     nullptr, 0, &IncludeInModuleRegistration, &NoCategories, &NothingToInitialise},
    {},
};
