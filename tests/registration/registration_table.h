#pragma once
// What DllRegisterServer is expected to leave in the registry, and copies of
// the DLL in directories of a test's choosing.
#include <windows.h>

#include <string>
#include <vector>

extern const char* const LongBeepClassId;  // in braces
extern const char* const ZirpelLibraryId;  // in braces
extern const char* const LongBeepInterfaceId;  // in braces

// The sorted sandbox dump (RegistrySandbox::Dump of HKCR) of the class's registry entries.
std::vector<std::string> ExpectedClassTable(const std::string& inprocServer);

// A root's dump split into the class's entries and the platform's type-library entries
// (HKCR\TypeLib and HKCR\Interface, and those keys themselves).
struct SplitDump {
  std::vector<std::string> Class;
  std::vector<std::string> TypeLibrary;
};
SplitDump SplitTypeLibraryEntries(const std::vector<std::string>& lines);

// True when every line belongs to ZIRPELLib's or ILongBeep's registration.
bool AllOwnTypeLibraryEntries(const std::vector<std::string>& lines);

// True when the lines are at most the bare HKCR\TypeLib and HKCR\Interface keys.
bool OnlyTypeLibraryParents(const std::vector<std::string>& lines);

// The platform's short form of a path.
std::string ShortPath(const std::string& path);

// The directory part of a path, with its trailing backslash.
std::string DirectoryOf(const std::string& path);

// A directory below the test program's own that holds a copy of a DLL built next
// to the test program; removed with everything in it at destruction.
class DllCopy {
 public:
  DllCopy(const std::string& directoryName, const char* sourceFile, const char* copyName = "ZIRPEL.dll");
  ~DllCopy();
  DllCopy(const DllCopy&) = delete;
  DllCopy& operator=(const DllCopy&) = delete;

  bool Ready() const { return ready_; }
  // For LoadedDll: the copy's name relative to the test program's directory.
  const std::string& RelativeName() const { return relativeName_; }
  const std::string& Directory() const { return directory_; }  // full, with trailing backslash
  // Writes a file into the copy's directory.
  bool WriteFile(const char* name, const std::vector<BYTE>& bytes) const;

 private:
  std::string directory_;
  std::string relativeName_;
  bool ready_ = false;
};

// The bytes of one resource of a DLL file, read as a data file; empty when missing.
std::vector<BYTE> ReadResource(const std::string& file, const char* type, WORD id);
