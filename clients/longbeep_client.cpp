// Calls LongBeep early bound: creates it through its ProgID and calls BeepSound
// through the ILongBeep table of functions. Exits 0 on success, 1 on failure.
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

#include <cstdio>

// ILongBeep as its type library declares it: a dual interface, BeepSound after IDispatch.
struct ILongBeep : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE BeepSound(LONG frequency, LONG duration) = 0;
};

const IID IID_ILongBeep = {0xD47F2A91, 0x6C3B, 0x4E08, {0x9A, 0x5D, 0x1B, 0x86, 0xE3, 0xC0, 0x7F, 0x29}};

static int Fail(const char* step, HRESULT result) {
  std::printf("%s failed: 0x%08lx\n", step, static_cast<unsigned long>(result));
  return 1;
}

static int CallLongBeep() {
  CLSID classId;
  HRESULT result = CLSIDFromProgID(L"ZIRPEL.LongBeep", &classId);
  if (FAILED(result)) {
    return Fail("CLSIDFromProgID(\"ZIRPEL.LongBeep\")", result);
  }
  ILongBeep* beeper = nullptr;
  result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ILongBeep, reinterpret_cast<void**>(&beeper));
  if (FAILED(result)) {
    return Fail("CoCreateInstance", result);
  }
  result = beeper->BeepSound(440, 200);
  beeper->Release();
  if (FAILED(result)) {
    return Fail("BeepSound(440, 200)", result);
  }
  std::printf("BeepSound(440, 200) returned S_OK\n");
  return 0;
}

int main() {
  HRESULT result = CoInitialize(nullptr);
  if (FAILED(result)) {
    return Fail("CoInitialize", result);
  }
  int status = CallLongBeep();
  CoUninitialize();
  return status;
}
