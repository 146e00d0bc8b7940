#pragma once
// A class's component categories, written through the platform's category manager.
#include <windows.h>

// One entry of a class's static category list.
struct CategoryEntry {
  LONG Kind;  // CategoryListEnd, ImplementedCategory, or any other value for a required one
  const GUID* CategoryId;
};

inline constexpr LONG CategoryListEnd = 0;
inline constexpr LONG ImplementedCategory = 1;
inline constexpr LONG RequiredCategory = 2;

// A null list, or a category manager that cannot be created, gives S_OK with nothing done.
// Registering stops at the first failure; removal goes through the whole list and gives S_OK.
HRESULT RegisterCategoryList(const CLSID* classId, const CategoryEntry* list, BOOL registering);
