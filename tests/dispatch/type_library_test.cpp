// The compiled type library and the version block, read back from the DLL file
// through the platform's own type-library and version services.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "longbeep/identifiers.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/registered_type_library.h"

namespace {

const GUID StandardOleLibraryId = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring TakeString(BSTR text) {
  std::wstring copy = text == nullptr ? L"" : text;
  SysFreeString(text);
  return copy;
}

class CompiledLibrary : public testing::Test {
 protected:
  void SetUp() override {
    std::wstring path = WidePath(TestProgramDirectory() + "ZIRPEL.dll");
    ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library_), S_OK);
  }
  void TearDown() override {
    if (library_ != nullptr) {
      library_->Release();
    }
  }

  ITypeInfo* TypeInfoOf(REFGUID guid) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(library_->GetTypeInfoOfGuid(guid, &info), S_OK);
    return info;
  }

  // The type a class implements or an interface derives from; index -1 of a
  // dual interface's dispatch view gives the view of its table of functions.
  static ITypeInfo* ImplementedType(ITypeInfo* info, UINT index) {
    HREFTYPE reference = 0;
    EXPECT_EQ(info->GetRefTypeOfImplType(index, &reference), S_OK);
    ITypeInfo* implemented = nullptr;
    EXPECT_EQ(info->GetRefTypeInfo(reference, &implemented), S_OK);
    return implemented;
  }

  static GUID GuidOf(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    GUID guid = GUID_NULL;
    if (info->GetTypeAttr(&attributes) == S_OK) {
      guid = attributes->guid;
      info->ReleaseTypeAttr(attributes);
    }
    return guid;
  }

  ITypeLib* library_ = nullptr;
};

TEST_F(CompiledLibrary, AttributesAndDocumentation) {
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_ZIRPELLib));
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_EQ(attributes->lcid, 0u);
  EXPECT_EQ(attributes->syskind, SYS_WIN32);
  EXPECT_EQ(attributes->wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN), 0);
  library_->ReleaseTLibAttr(attributes);

  BSTR name = nullptr, help = nullptr, helpFile = nullptr;
  DWORD helpContext = 1;
  ASSERT_EQ(library_->GetDocumentation(-1, &name, &help, &helpContext, &helpFile), S_OK);
  EXPECT_EQ(TakeString(name), L"ZIRPELLib");
  EXPECT_EQ(TakeString(help), L"ZIRPEL 1.0 Type Library");
  EXPECT_EQ(helpContext, 0u);
  EXPECT_EQ(helpFile, nullptr);
}

TEST_F(CompiledLibrary, HoldsTheClassThenTheInterface) {
  ASSERT_EQ(library_->GetTypeInfoCount(), 2u);
  std::vector<std::wstring> names;
  for (UINT index = 0; index < 2; ++index) {
    BSTR name = nullptr;
    ASSERT_EQ(library_->GetDocumentation(static_cast<INT>(index), &name, nullptr, nullptr, nullptr), S_OK);
    names.push_back(TakeString(name));
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"LongBeep", L"ILongBeep"}));
  TYPEKIND kind = TKIND_MAX;
  ASSERT_EQ(library_->GetTypeInfoType(0, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_COCLASS);
}

TEST_F(CompiledLibrary, ClassIsCreatableWithILongBeepAsDefault) {
  ITypeInfo* info = TypeInfoOf(CLSID_LongBeep);
  ASSERT_NE(info, nullptr);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
  EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FCANCREATE);
  EXPECT_EQ(attributes->cImplTypes, 1);
  EXPECT_EQ(attributes->wMajorVerNum, 0);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  info->ReleaseTypeAttr(attributes);

  INT flags = 0;
  ASSERT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  ITypeInfo* implemented = ImplementedType(info, 0);
  ASSERT_NE(implemented, nullptr);
  EXPECT_TRUE(IsEqualGUID(GuidOf(implemented), IID_ILongBeep));
  implemented->Release();

  BSTR help = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(TakeString(help), L"LongBeep Class");
  info->Release();
}

TEST_F(CompiledLibrary, InterfaceIsDualWithBeepSoundAsDispid1) {
  ITypeInfo* info = TypeInfoOf(IID_ILongBeep);
  ASSERT_NE(info, nullptr);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
  // The dispatch view does not repeat the automation flag; the table view carries it.
  EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attributes->cFuncs, 8);  // the seven inherited entries, then BeepSound
  EXPECT_EQ(attributes->cVars, 0);
  EXPECT_EQ(attributes->wMajorVerNum, 0);
  info->ReleaseTypeAttr(attributes);

  BSTR help = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(TakeString(help), L"ILongBeep Interface");

  FUNCDESC* function = nullptr;
  ASSERT_EQ(info->GetFuncDesc(7, &function), S_OK);
  EXPECT_EQ(function->memid, 1);
  EXPECT_EQ(function->invkind, INVOKE_FUNC);
  EXPECT_EQ(function->callconv, CC_STDCALL);
  ASSERT_EQ(function->cParams, 2);
  EXPECT_EQ(function->cParamsOpt, 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(function->lprgelemdescParam[i].tdesc.vt, VT_I4) << i;
    EXPECT_EQ(function->lprgelemdescParam[i].paramdesc.wParamFlags, PARAMFLAG_FIN) << i;
  }
  info->ReleaseFuncDesc(function);

  BSTR names[4] = {};
  UINT count = 0;
  ASSERT_EQ(info->GetNames(1, names, 4, &count), S_OK);
  std::vector<std::wstring> taken;
  for (UINT i = 0; i < count; ++i) {
    taken.push_back(TakeString(names[i]));
  }
  EXPECT_EQ(taken, (std::vector<std::wstring>{L"BeepSound", L"Frequency", L"Duration"}));

  DWORD helpContext = 1;
  ASSERT_EQ(info->GetDocumentation(1, nullptr, &help, &helpContext, nullptr), S_OK);
  EXPECT_EQ(TakeString(help), L"method BeepSound");
  EXPECT_EQ(helpContext, 0u);

  LPOLESTR name = const_cast<LPOLESTR>(L"BeepSound");
  MEMBERID id = 0;
  EXPECT_EQ(info->GetIDsOfNames(&name, 1, &id), S_OK);
  EXPECT_EQ(id, 1);
  info->Release();
}

TEST_F(CompiledLibrary, BeepSoundIsTheEighthTableEntryAndIDispatchComesFromStdole2) {
  ITypeInfo* dispatchView = TypeInfoOf(IID_ILongBeep);
  ASSERT_NE(dispatchView, nullptr);
  ITypeInfo* table = ImplementedType(dispatchView, static_cast<UINT>(-1));
  ASSERT_NE(table, nullptr);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(table->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attributes->cFuncs, 1);
  table->ReleaseTypeAttr(attributes);

  FUNCDESC* function = nullptr;
  ASSERT_EQ(table->GetFuncDesc(0, &function), S_OK);
  EXPECT_EQ(function->memid, 1);
  EXPECT_EQ(function->funckind, FUNC_PUREVIRTUAL);
  EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
  // The platform reports the offset in slots of its own pointer size.
  EXPECT_EQ(function->oVft, 7 * static_cast<SHORT>(sizeof(void*)));
  table->ReleaseFuncDesc(function);

  ITypeInfo* base = ImplementedType(table, 0);
  ASSERT_NE(base, nullptr);
  EXPECT_TRUE(IsEqualGUID(GuidOf(base), IID_IDispatch));
  ITypeLib* home = nullptr;
  UINT index = 0;
  ASSERT_EQ(base->GetContainingTypeLib(&home, &index), S_OK);
  TLIBATTR* homeAttributes = nullptr;
  ASSERT_EQ(home->GetLibAttr(&homeAttributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(homeAttributes->guid, StandardOleLibraryId));
  EXPECT_EQ(homeAttributes->wMajorVerNum, 2);
  EXPECT_EQ(homeAttributes->wMinorVerNum, 0);
  home->ReleaseTLibAttr(homeAttributes);
  home->Release();
  base->Release();
  table->Release();
  dispatchView->Release();
}

// The version block as installation tools read it.
class VersionBlock : public testing::Test {
 protected:
  void SetUp() override {
    std::string path = TestProgramDirectory() + "ZIRPEL.dll";
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_NE(size, 0u);
    block_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block_.data()));
  }

  bool Query(const char* path, void** value, UINT* length) {
    return VerQueryValueA(block_.data(), path, value, length) != FALSE;
  }

  std::vector<BYTE> block_;
};

TEST_F(VersionBlock, FixedPart) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(Query("\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x4u);
  EXPECT_EQ(fixed->dwFileType, 0x2u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);
}

TEST_F(VersionBlock, StringValuesAndTranslation) {
  const std::pair<const char*, const char*> expected[] = {
      {"Comments", "ZPLSound"},
      {"CompanyName", "ZIRPEL developers"},
      {"FileDescription", "ZIRPEL Module"},
      {"FileVersion", "1, 0, 0, 1"},
      {"InternalName", "ZIRPEL"},
      {"LegalCopyright", "Copyright (C) 2026 ZIRPEL developers"},
      {"LegalTrademarks", ""},
      {"OLESelfRegister", ""},
      {"OriginalFilename", "ZIRPEL.DLL"},
      {"PrivateBuild", ""},
      {"ProductName", "ZIRPEL Module"},
      {"ProductVersion", "1, 0, 0, 1"},
      {"SpecialBuild", ""},
  };
  for (const auto& [key, value] : expected) {
    std::string path = std::string("\\StringFileInfo\\040904b0\\") + key;
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query(path.c_str(), reinterpret_cast<void**>(&text), &length)) << key;
    EXPECT_STREQ(text, value) << key;
  }
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(Query("\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);
}

}  // namespace
