#pragma once
// Runs scripts through the engine against a registry sandbox that redirects
// every root a script names, and checks that every key opened was closed.
#include <string>
#include <vector>

#include "registrar/registrar.h"
#include "tests/registrar/module_fixture.h"
#include "tests/registrar/registry_calls.h"
#include "tests/support/registry_sandbox.h"

using TreeLines = std::vector<std::string>;

// One line of a sandbox dump for a value; an empty name is the default value.
std::string Sz(const std::string& path, const std::string& text, const std::string& name = "");
std::string Dword(const std::string& path, unsigned long value, const std::string& name = "");
std::string Binary(const std::string& path, const std::string& hex, const std::string& name = "");
TreeLines Sorted(TreeLines lines);

class ScriptTest : public ModuleTest {
 public:
  static constexpr const char* ModulePath = "C:\\PROGRA~1\\O''Hara\\ZIRPEL.DLL";
  static constexpr const char* ModulePathInRegistry = "C:\\PROGRA~1\\O'Hara\\ZIRPEL.DLL";

 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the script with the "Module" variable set to ModulePath; counts handles.
  HRESULT Run(const std::string& script, BOOL registering, const RegistryFaults& faults = {});
  TreeLines Tree() const { return sandbox_.DumpAll(); }
  const RegistryCallLog& Calls() const { return watch_.Log(); }

  RegistrySandbox sandbox_{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
  RegistryCallWatch watch_;
  Registrar registrar_;
};
