// The server as a client meets it: DllGetClassObject, the class factory and
// LongBeep objects, through the real DLL.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

#include "longbeep/identifiers.h"
#include "tests/support/beep_recorder.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/longbeep_client.h"

namespace {

TEST(SmokeTest, BeepSoundReachesBeep) {
  LoadedDll dll;
  ASSERT_NE(dll.Handle(), nullptr);
  BeepRecorder beeps(dll.Handle());
  ASSERT_TRUE(beeps.Active());
  IClassFactory* factory = nullptr;
  ASSERT_EQ(dll.DllGetClassObject(CLSID_LongBeep, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  ILongBeepClient* beep = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILongBeep, reinterpret_cast<void**>(&beep)), S_OK);
  EXPECT_EQ(beep->BeepSound(440, 200), S_OK);
  EXPECT_EQ(beeps.Calls(), (std::vector<BeepCall>{{440, 200}}));
  EXPECT_EQ(dll.DllCanUnloadNow(), S_FALSE);
  beep->Release();
  factory->Release();
  EXPECT_EQ(dll.DllCanUnloadNow(), S_OK);
}

}  // namespace
