#include "tests/registrar/script_fixture.h"

#include <algorithm>
#include <cstdio>

#include "registrar/script_execution.h"

namespace {

std::string ValueLine(const std::string& path, const std::string& name, const std::string& shown) {
  return path + (name.empty() ? "" : " [" + name + "]") + " = " + shown;
}

}  // namespace

std::string Sz(const std::string& path, const std::string& text, const std::string& name) {
  return ValueLine(path, name, "REG_SZ \"" + text + "\\0\"");
}

std::string Dword(const std::string& path, unsigned long value, const std::string& name) {
  char shown[32];
  std::snprintf(shown, sizeof shown, "REG_DWORD 0x%08lx", value);
  return ValueLine(path, name, shown);
}

std::string Binary(const std::string& path, const std::string& hex, const std::string& name) {
  return ValueLine(path, name, "REG_BINARY " + hex);
}

TreeLines Sorted(TreeLines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

void ScriptTest::SetUp() {
  ModuleTest::SetUp();
  ASSERT_TRUE(sandbox_.Active());
  ASSERT_TRUE(watch_.Active());
  ConstructRegistrar(&registrar_);
  std::string path = ModulePath;
  ASSERT_EQ(AddVariable(&registrar_, L"Module", std::wstring(path.begin(), path.end()).c_str()), S_OK);
}

void ScriptTest::TearDown() {
  DestroyRegistrar(&registrar_);
  ModuleTest::TearDown();
}

HRESULT ScriptTest::Run(const std::string& script, BOOL registering, const RegistryFaults& faults) {
  ScriptParser parser = {nullptr, &registrar_};
  watch_.Arm(faults);
  HRESULT result = RunScript(&parser, script.c_str(), registering);
  watch_.Disarm();
  EXPECT_EQ(Calls().KeysOpened, Calls().KeysClosed) << "keys left open by: " << script;
  return result;
}
