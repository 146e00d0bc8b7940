#pragma once
// One row of the module's class table, and the table's end row of nulls.
#include <windows.h>
#include <objbase.h>

struct CategoryEntry;  // a class's component-category list, read by registration

// Builds one instance of a class; outer is null for a standalone object.
using ObjectCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

struct ClassEntry {
  const CLSID* ClassId;  // null ends the table
  HRESULT (*ClassRegistration)(BOOL registering);
  HRESULT (*CreateClassObject)(ObjectCreator creator, REFIID iid, void** out);  // may be null
  ObjectCreator CreateObject;
  IUnknown* ClassObject;  // cached class object, one reference held by the row
  DWORD RegisterCookie;
  const void* (*SkipModuleRegistration)();  // may be null
  const CategoryEntry* (*GetCategoryList)();
  void (*ClassInitTerm)(BOOL starting);
};
