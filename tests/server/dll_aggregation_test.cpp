// A LongBeep created inside an outer object: identity and lifetime belong to
// the outer object, the aggregate's own IUnknown to the outer object alone.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "longbeep/identifiers.h"
#include "tests/support/beep_recorder.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/longbeep_client.h"

namespace {

// An outer object that counts what reaches it and refuses IDispatch itself,
// passing ILongBeep requests on to the aggregate as outer objects do.
class CountingOuter : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    ++Queries;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    if (Inner != nullptr && IsEqualIID(iid, IID_ILongBeep)) {
      return Inner->QueryInterface(iid, out);
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++AddRefs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++Releases); }

  IUnknown* Inner = nullptr;  // the aggregate's own IUnknown
  LONG Queries = 0;
  LONG AddRefs = 0;
  LONG Releases = 0;
};

class Aggregation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll.Handle(), nullptr);
    ASSERT_EQ(dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  }
  void TearDown() override {
    if (factory != nullptr) {
      factory->Release();
    }
  }

  LoadedDll dll;
  IClassFactory* factory = nullptr;
  CountingOuter outer;
};

TEST_F(Aggregation, OnlyIUnknownMayBeAskedForWithAnOuterObject) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(outer.AddRefs + outer.Queries, 0);
}

TEST_F(Aggregation, InnerInterfacesCountOnTheOuterObject) {
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.Inner)), S_OK);
  EXPECT_EQ(outer.AddRefs, 0);  // the aggregate holds no reference on its outer object

  ILongBeepClient* beep = nullptr;
  ASSERT_EQ(outer.Inner->QueryInterface(IID_ILongBeep, reinterpret_cast<void**>(&beep)), S_OK);
  EXPECT_NE(static_cast<void*>(beep), static_cast<void*>(outer.Inner));
  EXPECT_EQ(outer.AddRefs, 1);

  // The outer object is asked first; its refusal of IDispatch does not end the request.
  IDispatch* dispatch = nullptr;
  LONG queriesBefore = outer.Queries;
  ASSERT_EQ(beep->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  EXPECT_EQ(outer.Queries, queriesBefore + 1);
  EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(beep));

  // A query the outer object answers comes back as the outer object's identity.
  IUnknown* identity = nullptr;
  ASSERT_EQ(beep->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));

  {
    BeepRecorder beeps(dll.Handle());
    EXPECT_EQ(beep->BeepSound(440, 200), S_OK);
    EXPECT_EQ(beeps.Calls(), (std::vector<BeepCall>{{440, 200}}));
  }

  LONG releasesBefore = outer.Releases;
  dispatch->Release();
  beep->Release();
  identity->Release();
  EXPECT_EQ(outer.Releases, releasesBefore + 3);
  EXPECT_EQ(outer.AddRefs, outer.Releases);

  // The aggregate's own count never moved from 1: one release frees it, and the
  // outer object hears nothing of it.
  IUnknown* self = nullptr;
  ASSERT_EQ(outer.Inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)), S_OK);
  EXPECT_EQ(self, outer.Inner);
  EXPECT_EQ(self->Release(), 1u);
  EXPECT_EQ(outer.Inner->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  LONG callsBefore = outer.AddRefs + outer.Releases + outer.Queries;
  EXPECT_EQ(outer.Inner->Release(), 0u);
  EXPECT_EQ(outer.AddRefs + outer.Releases + outer.Queries, callsBefore);
  factory->Release();
  factory = nullptr;
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

}  // namespace
