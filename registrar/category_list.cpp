#include "registrar/category_list.h"

#include <objbase.h>
#include <comcat.h>

namespace {

HRESULT ApplyCategory(ICatRegister* manager, REFCLSID classId, const CategoryEntry& entry, BOOL registering) {
  CATID one[1] = {*entry.CategoryId};
  bool implemented = entry.Kind == ImplementedCategory;
  if (registering) {
    return implemented ? manager->RegisterClassImplCategories(classId, 1, one)
                       : manager->RegisterClassReqCategories(classId, 1, one);
  }
  return implemented ? manager->UnRegisterClassImplCategories(classId, 1, one)
                     : manager->UnRegisterClassReqCategories(classId, 1, one);
}

}  // namespace

HRESULT RegisterCategoryList(const CLSID* classId, const CategoryEntry* list, BOOL registering) {
  if (list == nullptr) {
    return S_OK;
  }
  ICatRegister* manager = nullptr;
  if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                              reinterpret_cast<void**>(&manager))) ||
      manager == nullptr) {
    return S_OK;
  }
  for (const CategoryEntry* entry = list; entry->Kind != CategoryListEnd; ++entry) {
    HRESULT result = ApplyCategory(manager, *classId, *entry, registering);
    if (registering && FAILED(result)) {
      manager->Release();
      return result;
    }
  }
  manager->Release();
  return S_OK;
}
