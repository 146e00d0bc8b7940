// The registration walk over a class table of the test's own: rows in order,
// rows passed by, categories one call each, and where a failure stops it.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <comcat.h>

#include <string>
#include <vector>

#include "registrar/category_list.h"
#include "registrar/server_registration.h"
#include "tests/support/test_module.h"
#include "tests/support/import_patch.h"

// What the walk did, in order, as readable events.
std::vector<std::string> WalkEvents;
HRESULT RequiredCategoryResult = S_OK;

// The platform's category manager as the walk sees it. (An implementation of
// the interface, kept out of anonymous namespaces like every interface type.)
class RecordingCategoryManager : public ICatRegister {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override { return --References; }
  HRESULT STDMETHODCALLTYPE RegisterCategories(ULONG, CATEGORYINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnRegisterCategories(ULONG, CATID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterClassImplCategories(REFCLSID id, ULONG count, CATID* ids) override {
    return Record("RegisterImpl", id, count, ids, S_OK);
  }
  HRESULT STDMETHODCALLTYPE UnRegisterClassImplCategories(REFCLSID id, ULONG count, CATID* ids) override {
    return Record("UnregisterImpl", id, count, ids, E_FAIL);
  }
  HRESULT STDMETHODCALLTYPE RegisterClassReqCategories(REFCLSID id, ULONG count, CATID* ids) override {
    return Record("RegisterReq", id, count, ids, RequiredCategoryResult);
  }
  HRESULT STDMETHODCALLTYPE UnRegisterClassReqCategories(REFCLSID id, ULONG count, CATID* ids) override {
    return Record("UnregisterReq", id, count, ids, E_FAIL);
  }

  LONG References = 0;

 private:
  static HRESULT Record(const char* method, REFCLSID id, ULONG count, CATID* ids, HRESULT result) {
    WalkEvents.push_back(std::string(method) + " " + std::to_string(id.Data1) + " " + std::to_string(count) + " " +
                         std::to_string(ids[0].Data1));
    return result;
  }
};

namespace {

RecordingCategoryManager Manager;
HRESULT ManagerCreation = S_OK;

HRESULT WINAPI FakeCoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid, void** out) {
  bool asked = classId == CLSID_StdComponentCategoriesMgr && outer == nullptr && context == CLSCTX_INPROC_SERVER &&
               iid == IID_ICatRegister;
  WalkEvents.push_back(asked ? "CreateManager" : "CreateSomethingElse");
  *out = nullptr;
  if (FAILED(ManagerCreation)) {
    return ManagerCreation;
  }
  Manager.AddRef();
  *out = static_cast<ICatRegister*>(&Manager);
  return S_OK;
}

HRESULT WINAPI FailingLoadTypeLib(LPCOLESTR, ITypeLib** library) {
  WalkEvents.push_back("LoadTypeLib");
  *library = nullptr;
  return TYPE_E_CANTLOADLIBRARY;
}

const CLSID FirstClass = {1, 0, 0, {0}};
const CLSID PassedClass = {2, 0, 0, {0}};
const CLSID LastClass = {3, 0, 0, {0}};
const GUID Implemented = {10, 0, 0, {0}};
const GUID Required = {20, 0, 0, {0}};
const CategoryEntry TwoCategories[] = {
    {ImplementedCategory, &Implemented}, {7, &Required}, {CategoryListEnd, nullptr}};

HRESULT FirstClassResult = S_OK;

HRESULT FirstRegistration(BOOL registering) {
  WalkEvents.push_back(registering ? "First+" : "First-");
  return FirstClassResult;
}
HRESULT PassedRegistration(BOOL) {
  WalkEvents.push_back("Passed registration");
  return S_OK;
}
HRESULT LastRegistration(BOOL registering) {
  WalkEvents.push_back(registering ? "Last+" : "Last-");
  return registering ? S_OK : E_FAIL;
}
const CategoryEntry* FirstCategories() { return TwoCategories; }
const CategoryEntry* PassedCategories() {
  WalkEvents.push_back("Passed categories");
  return TwoCategories;
}
const CategoryEntry* NoCategoryList() { return nullptr; }
const void* PassBy() { return &PassedClass; }
const void* Include() { return nullptr; }
void NoInitTerm(BOOL) {}

ClassEntry WalkClasses[] = {
    {&FirstClass, &FirstRegistration, nullptr, nullptr, nullptr, 0, &Include, &FirstCategories, &NoInitTerm},
    {&PassedClass, &PassedRegistration, nullptr, nullptr, nullptr, 0, &PassBy, &PassedCategories, &NoInitTerm},
    {&LastClass, &LastRegistration, nullptr, nullptr, nullptr, 0, nullptr, &NoCategoryList, &NoInitTerm},
    {},
};

class CategoryWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(create_.Active());
    ASSERT_TRUE(load_.Active());
    WalkEvents.clear();
    RequiredCategoryResult = S_OK;
    ManagerCreation = S_OK;
    FirstClassResult = S_OK;
  }
  void TearDown() override { EXPECT_EQ(Manager.References, 0); }

  ImportPatch create_{GetModuleHandle(nullptr), nullptr, "CoCreateInstance",
                      reinterpret_cast<void*>(&FakeCoCreateInstance)};
  ImportPatch load_{GetModuleHandle(nullptr), nullptr, "LoadTypeLib", reinterpret_cast<void*>(&FailingLoadTypeLib)};
  TestModule module_{WalkClasses, GetModuleHandle(nullptr)};
};

TEST_F(CategoryWalkTest, EachCategoryIsOneCallInListOrder) {
  EXPECT_EQ(RegisterCategoryList(&FirstClass, TwoCategories, TRUE), S_OK);
  EXPECT_EQ(WalkEvents, (std::vector<std::string>{"CreateManager", "RegisterImpl 1 1 10", "RegisterReq 1 1 20"}));
}

TEST_F(CategoryWalkTest, FailingSecondCategoryKeepsTheFirstAndIsReturned) {
  RequiredCategoryResult = E_ACCESSDENIED;
  EXPECT_EQ(RegisterCategoryList(&FirstClass, TwoCategories, TRUE), E_ACCESSDENIED);
  EXPECT_EQ(WalkEvents, (std::vector<std::string>{"CreateManager", "RegisterImpl 1 1 10", "RegisterReq 1 1 20"}));
}

TEST_F(CategoryWalkTest, RemovalGoesOnPastFailures) {
  EXPECT_EQ(RegisterCategoryList(&FirstClass, TwoCategories, FALSE), S_OK);
  EXPECT_EQ(WalkEvents,
            (std::vector<std::string>{"CreateManager", "UnregisterImpl 1 1 10", "UnregisterReq 1 1 20"}));
}

TEST_F(CategoryWalkTest, NoListOrNoManagerIsPassedByWithoutError) {
  EXPECT_EQ(RegisterCategoryList(&FirstClass, nullptr, TRUE), S_OK);
  EXPECT_TRUE(WalkEvents.empty());
  ManagerCreation = REGDB_E_CLASSNOTREG;
  EXPECT_EQ(RegisterCategoryList(&FirstClass, TwoCategories, TRUE), S_OK);
  EXPECT_EQ(WalkEvents, std::vector<std::string>{"CreateManager"});
}

TEST_F(CategoryWalkTest, RegisteringVisitsRowsThenTheTypeLibrary) {
  // The test program carries no type library, and no .tlb lies beside it.
  EXPECT_EQ(RegisterModuleClasses(module_.Get()), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(WalkEvents, (std::vector<std::string>{"First+", "CreateManager", "RegisterImpl 1 1 10",
                                                  "RegisterReq 1 1 20", "Last+", "LoadTypeLib", "LoadTypeLib"}));
}

TEST_F(CategoryWalkTest, FailuresStopRegisteringWhereTheyHappen) {
  FirstClassResult = E_ACCESSDENIED;
  EXPECT_EQ(RegisterModuleClasses(module_.Get()), E_ACCESSDENIED);
  EXPECT_EQ(WalkEvents, std::vector<std::string>{"First+"});

  FirstClassResult = S_OK;
  RequiredCategoryResult = E_OUTOFMEMORY;
  WalkEvents.clear();
  EXPECT_EQ(RegisterModuleClasses(module_.Get()), E_OUTOFMEMORY);
  EXPECT_EQ(WalkEvents, (std::vector<std::string>{"First+", "CreateManager", "RegisterImpl 1 1 10",
                                                  "RegisterReq 1 1 20"}));
}

TEST_F(CategoryWalkTest, RemovalVisitsEveryRowAndAlwaysSucceeds) {
  FirstClassResult = E_ACCESSDENIED;
  EXPECT_EQ(UnregisterModuleClasses(module_.Get()), S_OK);
  EXPECT_EQ(WalkEvents, (std::vector<std::string>{"First-", "CreateManager", "UnregisterImpl 1 1 10",
                                                  "UnregisterReq 1 1 20", "Last-", "LoadTypeLib", "LoadTypeLib"}));
}

// The paths that LoadOwnTypeLibrary tries, and what it hands out when both fail.
std::vector<std::wstring> TriedPaths;

HRESULT WINAPI PathRecordingLoadTypeLib(LPCOLESTR path, ITypeLib** library) {
  TriedPaths.push_back(path);
  *library = nullptr;
  return TriedPaths.size() == 1 ? TYPE_E_CANTLOADLIBRARY : STG_E_FILENOTFOUND;
}

TEST(OwnTypeLibraryTest, FallsBackToTheTlbPathAndReturnsTheSecondFailure) {
  ImportPatch load(GetModuleHandle(nullptr), nullptr, "LoadTypeLib", reinterpret_cast<void*>(&PathRecordingLoadTypeLib));
  ASSERT_TRUE(load.Active());
  TestModule module(NoClasses, GetModuleHandle(nullptr));
  wchar_t own[MAX_PATH];
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::wstring program = own;
  ITypeLib* library = reinterpret_cast<ITypeLib*>(1);
  BSTR path = reinterpret_cast<BSTR>(1);
  TriedPaths.clear();
  EXPECT_EQ(LoadOwnTypeLibrary(module.Get(), &library, &path), STG_E_FILENOTFOUND);
  EXPECT_EQ(library, nullptr);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(TriedPaths, (std::vector<std::wstring>{program, program.substr(0, program.rfind(L'.')) + L".tlb"}));
  TriedPaths.clear();
  EXPECT_EQ(UnregisterOwnTypeLibrary(module.Get()), STG_E_FILENOTFOUND);
  EXPECT_EQ(RegisterOwnTypeLibrary(module.Get()), STG_E_FILENOTFOUND);
}

}  // namespace
