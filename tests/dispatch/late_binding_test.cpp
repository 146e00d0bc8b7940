// LongBeep's IDispatch through the real DLL: names resolved by the cache or
// the platform, invocation through the type information, and calls without a
// registered type library.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "longbeep/identifiers.h"
#include "tests/dispatch/counting_type_library.h"
#include "tests/support/beep_recorder.h"
#include "tests/support/call_counter.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/longbeep_client.h"
#include "tests/support/registered_type_library.h"

// An outer object that aggregates a LongBeep; it answers only IUnknown itself.
struct AggregatingOuter : IUnknown {
  LONG References = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++References); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--References); }
};

namespace {

constexpr DISPID BeepSoundId = 1;
constexpr DISPID Unwritten = 0x5A5A5A5A;
void* const UnwrittenPointer = reinterpret_cast<void*>(0x5A5A5A5A);

LPOLESTR Name(const wchar_t* text) { return const_cast<LPOLESTR>(text); }

IDispatch* NewLongBeep(const LoadedDll& dll, IUnknown* outer = nullptr, IUnknown** inner = nullptr) {
  IClassFactory* factory = nullptr;
  if (dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
    return nullptr;
  }
  IDispatch* dispatch = nullptr;
  if (outer == nullptr) {
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  } else if (factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(inner)) == S_OK) {
    (*inner)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  }
  factory->Release();
  return dispatch;
}

// VT_I4, or VT_I2 when short is asked for.
VARIANT Integer(LONG value, bool asShort = false) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = asShort ? VT_I2 : VT_I4;
  if (asShort) {
    V_I2(&v) = static_cast<SHORT>(value);
  } else {
    V_I4(&v) = value;
  }
  return v;
}

VARIANT Int4(LONG value) { return Integer(value); }
VARIANT Int2(SHORT value) { return Integer(value, true); }

VARIANT Text(const wchar_t* value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(value);
  return v;
}

// Arguments in the order of the call; DISPPARAMS wants them last first.
HRESULT InvokeMethod(IDispatch* dispatch, DISPID member, std::vector<VARIANT> arguments) {
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception = {};
  UINT badArgument = 0;
  HRESULT hr = dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                                &badArgument);
  VariantClear(&result);
  for (VARIANT& argument : reversed) {
    VariantClear(&argument);
  }
  return hr;
}

HRESULT Resolve(IDispatch* dispatch, std::vector<const wchar_t*> names, std::vector<DISPID>& ids) {
  std::vector<LPOLESTR> pointers;
  for (const wchar_t* name : names) {
    pointers.push_back(Name(name));
  }
  ids.assign(names.size(), Unwritten);
  return dispatch->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()), LOCALE_USER_DEFAULT,
                                 ids.data());
}

// A fresh DLL with its type library registered in a sandbox; the cache starts empty.
class LateBound : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll_.Handle(), nullptr);
    ASSERT_EQ(library_.Result(), S_OK);
    ASSERT_TRUE(beeps_.Active());
  }

  LoadedDll dll_;
  RegisteredTypeLibrary library_{dll_.Path()};
  BeepRecorder beeps_{dll_.Handle()};
};

TEST_F(LateBound, BeepSoundResolvesToDispid1AndEveryIndexGivesOneTypeInfo) {
  IDispatch* dispatch = NewLongBeep(dll_);
  ASSERT_NE(dispatch, nullptr);
  std::vector<DISPID> ids;
  EXPECT_EQ(Resolve(dispatch, {L"BeepSound"}, ids), S_OK);
  EXPECT_EQ(ids, std::vector<DISPID>{BeepSoundId});

  ITypeInfo* first = nullptr;
  ITypeInfo* fourth = nullptr;
  ASSERT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &first), S_OK);
  ASSERT_EQ(dispatch->GetTypeInfo(3, LOCALE_USER_DEFAULT, &fourth), S_OK);
  EXPECT_EQ(first, fourth);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ILongBeep));
  first->ReleaseTypeAttr(attributes);
  first->Release();
  fourth->Release();
  dispatch->Release();
}

TEST_F(LateBound, InvokeReachesBeepOnStandaloneAndInnerObjects) {
  struct ArgumentCase {
    const char* Label;
    std::function<std::vector<VARIANT>()> Make;
  };
  const ArgumentCase cases[] = {
      {"VT_I4", [] { return std::vector<VARIANT>{Int4(440), Int4(200)}; }},
      {"VT_I2", [] { return std::vector<VARIANT>{Int2(440), Int2(200)}; }},
      {"VT_BSTR", [] { return std::vector<VARIANT>{Text(L"440"), Text(L"200")}; }},
  };
  AggregatingOuter outer;
  IUnknown* inner = nullptr;
  IDispatch* standalone = NewLongBeep(dll_);
  IDispatch* aggregated = NewLongBeep(dll_, &outer, &inner);
  ASSERT_NE(standalone, nullptr);
  ASSERT_NE(aggregated, nullptr);
  EXPECT_NE(static_cast<void*>(aggregated), static_cast<void*>(inner));  // the inner part, not the controller
  for (IDispatch* dispatch : {standalone, aggregated}) {
    for (const ArgumentCase& argumentCase : cases) {
      SCOPED_TRACE(std::string(argumentCase.Label) + (dispatch == standalone ? " standalone" : " aggregated"));
      beeps_.Clear();
      EXPECT_EQ(InvokeMethod(dispatch, BeepSoundId, argumentCase.Make()), S_OK);
      EXPECT_EQ(beeps_.Calls(), (std::vector<BeepCall>{{440, 200}}));
    }
  }
  aggregated->Release();
  inner->Release();
  standalone->Release();
}

TEST_F(LateBound, WrongArgumentCountIsThePlatformsAnswer) {
  IDispatch* dispatch = NewLongBeep(dll_);
  ASSERT_NE(dispatch, nullptr);
  EXPECT_EQ(InvokeMethod(dispatch, BeepSoundId, {Int4(440)}), DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(beeps_.Calls().empty());
  dispatch->Release();
}

// An instance whose table is LongBeep's except for BeepSound, which records
// the pointer it is called on: Invoke must hand the platform that instance.
struct RecordingInstance {
  const void* const* Table;
};
void* calledInstance = nullptr;
HRESULT STDMETHODCALLTYPE RecordingBeepSound(void* self, LONG, LONG) {
  calledInstance = self;
  return S_OK;
}

TEST_F(LateBound, InvokeCallsThroughTheTableOfTheInstanceItWasCalledOn) {
  IDispatch* dispatch = NewLongBeep(dll_);
  ASSERT_NE(dispatch, nullptr);
  const void* const* realTable = *reinterpret_cast<const void* const* const*>(dispatch);
  const void* table[8];
  for (int i = 0; i < 7; ++i) {
    table[i] = realTable[i];
  }
  table[7] = reinterpret_cast<const void*>(&RecordingBeepSound);
  RecordingInstance instance = {table};
  calledInstance = nullptr;
  EXPECT_EQ(InvokeMethod(reinterpret_cast<IDispatch*>(&instance), BeepSoundId, {Int4(440), Int4(200)}), S_OK);
  EXPECT_EQ(calledInstance, &instance);
  EXPECT_TRUE(beeps_.Calls().empty());
  dispatch->Release();
}

// The same, with the type library behind the counting double.
class NameCache : public LateBound {
 protected:
  void SetUp() override {
    LateBound::SetUp();
    ASSERT_TRUE(loader_.Active());
    dispatch_ = NewLongBeep(dll_);
    ASSERT_NE(dispatch_, nullptr);
  }
  void TearDown() override {
    if (dispatch_ != nullptr) {
      dispatch_->Release();
    }
  }

  TypeLibraryDoubleState& State() { return CountingTypeLibraryLoader::State(); }

  CountingTypeLibraryLoader loader_{dll_.Handle()};
  IDispatch* dispatch_ = nullptr;
};

TEST_F(NameCache, FirstLookupLoadsOnceAndLaterOnesSkipThePlatform) {
  std::vector<DISPID> ids;
  EXPECT_EQ(Resolve(dispatch_, {L"BeepSound"}, ids), S_OK);
  EXPECT_EQ(ids, std::vector<DISPID>{BeepSoundId});
  EXPECT_EQ(Resolve(dispatch_, {L"BeepSound"}, ids), S_OK);
  EXPECT_EQ(ids, std::vector<DISPID>{BeepSoundId});
  IDispatch* other = NewLongBeep(dll_);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(Resolve(other, {L"BeepSound"}, ids), S_OK);
  other->Release();

  EXPECT_EQ(State().Loads, 1);
  EXPECT_TRUE(loader_.Lookups().empty());
}

TEST_F(NameCache, NamesTheCacheDoesNotHoldGoToThePlatformOneByOne) {
  std::vector<DISPID> ids;
  // Case counts in the cache; the platform's own lookup answers.
  EXPECT_EQ(Resolve(dispatch_, {L"beepsound"}, ids), S_OK);
  EXPECT_EQ(ids, std::vector<DISPID>{BeepSoundId});
  // A second name is looked up as a member name of its own.
  EXPECT_EQ(Resolve(dispatch_, {L"BeepSound", L"Frequency"}, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], BeepSoundId);
  // A failure ends the walk: later names are not looked up or written.
  EXPECT_EQ(Resolve(dispatch_, {L"NoSuchMember", L"BeepSound", L"Other"}, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], Unwritten);
  EXPECT_EQ(ids[2], Unwritten);
  EXPECT_EQ(loader_.Lookups(), (std::vector<std::wstring>{L"beepsound:1", L"Frequency:1", L"NoSuchMember:1"}));
}

TEST_F(NameCache, CountZeroWritesNothingAndMissingArraysAreRefused) {
  DISPID id = Unwritten;
  LPOLESTR name = Name(L"BeepSound");
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 0, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, Unwritten);
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, nullptr), S_OK);
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id), E_POINTER);
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, nullptr), E_POINTER);
  EXPECT_EQ(id, Unwritten);
  EXPECT_TRUE(loader_.Lookups().empty());
}

TEST_F(NameCache, CacheHoldsOneReferenceAndAPlainTypeInfoServesInvoke) {
  std::vector<DISPID> ids;
  ASSERT_EQ(Resolve(dispatch_, {L"BeepSound"}, ids), S_OK);
  EXPECT_EQ(State().TypeInfoReferences, 1);  // the cache's own
  EXPECT_EQ(InvokeMethod(dispatch_, BeepSoundId, {Int4(440), Int4(200)}), S_OK);  // the plain ITypeInfo serves too
  EXPECT_EQ(beeps_.Calls(), (std::vector<BeepCall>{{440, 200}}));
}

// The DLL's heap calls, which the cases make fail for a moment.
HeapCallCounter* dllHeap = nullptr;

// When reading the type information for the cache fails, the names concerned
// go to the platform and are still answered; the rest stay in the cache.
TEST(NameCacheBuild, ReadFailuresSendTheNamesConcernedToThePlatform) {
  struct FailureCase {
    const char* Label;
    std::function<void(TypeLibraryDoubleState&)> Arrange;
    bool InheritedNamesCached;
  };
  const FailureCase cases[] = {
      {"attributes unreadable", [](TypeLibraryDoubleState& s) { s.FailTypeAttr = true; }, false},
      {"name array not allocated",
       [](TypeLibraryDoubleState& s) {
         s.OnTypeAttr = [] { dllHeap->FailAllocations(true); };
         s.OnReleaseTypeAttr = [] { dllHeap->FailAllocations(false); };
       },
       false},
      {"BeepSound's description unreadable", [](TypeLibraryDoubleState& s) { s.FailFuncDescAt = 7; }, true},
      {"BeepSound's name unreadable", [](TypeLibraryDoubleState& s) { s.FailDocumentationOf = BeepSoundId; }, true},
  };
  for (const FailureCase& failure : cases) {
    SCOPED_TRACE(failure.Label);
    LoadedDll dll;
    RegisteredTypeLibrary library(dll.Path());
    ASSERT_EQ(library.Result(), S_OK);
    HeapCallCounter heap(dll.Handle());
    dllHeap = &heap;
    ASSERT_TRUE(heap.Active());
    CountingTypeLibraryLoader loader(dll.Handle());
    failure.Arrange(loader.State());
    IDispatch* dispatch = NewLongBeep(dll);
    ASSERT_NE(dispatch, nullptr);

    std::vector<DISPID> ids;
    EXPECT_EQ(Resolve(dispatch, {L"BeepSound", L"GetTypeInfoCount"}, ids), S_OK);
    EXPECT_EQ(ids[0], BeepSoundId);
    std::vector<std::wstring> expected = {L"BeepSound:1"};
    if (!failure.InheritedNamesCached) {
      expected.push_back(L"GetTypeInfoCount:1");
    }
    EXPECT_EQ(loader.Lookups(), expected);
    EXPECT_EQ(loader.State().Loads, 1);
    dispatch->Release();
    heap.FailAllocations(false);
  }
}

TEST(NameCacheLifetime, UnloadingTheDllReleasesTheCachedTypeInformation) {
  std::optional<LoadedDll> dll(std::in_place);
  {
    RegisteredTypeLibrary library(dll->Path());
    ASSERT_EQ(library.Result(), S_OK);
    CountingTypeLibraryLoader loader(dll->Handle());
    IDispatch* dispatch = NewLongBeep(*dll);
    ASSERT_NE(dispatch, nullptr);
    std::vector<DISPID> ids;
    ASSERT_EQ(Resolve(dispatch, {L"BeepSound"}, ids), S_OK);
    dispatch->Release();
    EXPECT_EQ(loader.State().TypeInfoReferences, 1);
  }
  dll.reset();
  EXPECT_EQ(CountingTypeLibraryLoader::State().TypeInfoReferences, 0);
  EXPECT_EQ(CountingTypeLibraryLoader::State().TypeInfoOverReleases, 0);
}

class NotRegistered : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll_.Handle(), nullptr);
    ASSERT_TRUE(sandbox_.Active());
    dispatch_ = NewLongBeep(dll_);
    ASSERT_NE(dispatch_, nullptr);
    heap_.emplace(dll_.Handle());
    ASSERT_TRUE(heap_->Active());
    ITypeLib* library = nullptr;
    loadFailure_ = LoadRegTypeLib(LIBID_ZIRPELLib, 1, 0, LOCALE_USER_DEFAULT, &library);
    ASSERT_TRUE(FAILED(loadFailure_));
  }
  void TearDown() override {
    heap_.reset();
    if (dispatch_ != nullptr) {
      dispatch_->Release();
    }
  }

  LoadedDll dll_;
  RegistrySandbox sandbox_;  // an empty HKEY_CLASSES_ROOT
  CountingTypeLibraryLoader loader_{dll_.Handle()};
  // Counts the DLL's module-heap allocations once the object exists: a failed
  // load makes exactly one, the node of its cleanup registration.
  std::optional<HeapCallCounter> heap_;
  IDispatch* dispatch_ = nullptr;
  HRESULT loadFailure_ = S_OK;
};

TEST_F(NotRegistered, EveryLateBoundCallReportsTheLoadFailureAndTriesAgain) {
  ITypeInfo* info = static_cast<ITypeInfo*>(UnwrittenPointer);
  EXPECT_EQ(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), loadFailure_);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(loader_.State().Loads, 1);
  EXPECT_EQ(heap_->Allocations(), 1);

  std::vector<DISPID> ids;
  EXPECT_EQ(Resolve(dispatch_, {L"BeepSound"}, ids), loadFailure_);
  EXPECT_EQ(ids, std::vector<DISPID>{Unwritten});
  EXPECT_EQ(loader_.State().Loads, 2);
  EXPECT_EQ(heap_->Allocations(), 2);

  EXPECT_EQ(InvokeMethod(dispatch_, BeepSoundId, {Int4(440), Int4(200)}), loadFailure_);
  EXPECT_EQ(loader_.State().Loads, 3);
  EXPECT_EQ(heap_->Allocations(), 3);

  info = static_cast<ITypeInfo*>(UnwrittenPointer);
  EXPECT_EQ(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), loadFailure_);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(loader_.State().Loads, 4);
  EXPECT_EQ(heap_->Allocations(), 4);
}

TEST_F(NotRegistered, TypeInfoCountAndEarlyBindingStillWork) {
  BeepRecorder beeps(dll_.Handle());
  UINT count = 0;
  EXPECT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ILongBeepClient* beep = nullptr;
  ASSERT_EQ(dispatch_->QueryInterface(IID_ILongBeep, reinterpret_cast<void**>(&beep)), S_OK);
  EXPECT_EQ(beep->BeepSound(440, 200), S_OK);
  EXPECT_EQ(beeps.Calls(), (std::vector<BeepCall>{{440, 200}}));
  beep->Release();
  EXPECT_EQ(loader_.State().Loads, 0);
}

TEST_F(NotRegistered, GetTypeInfoWithoutAPlaceForTheAnswerLoadsNothing) {
  EXPECT_EQ(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr), E_POINTER);
  EXPECT_EQ(loader_.State().Loads, 0);
  EXPECT_EQ(heap_->Allocations(), 0);
}

}  // namespace
