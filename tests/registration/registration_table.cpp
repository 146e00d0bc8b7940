#include "tests/registration/registration_table.h"

#include <string.h>

#include <algorithm>

#include "tests/support/loaded_dll.h"

const char* const LongBeepClassId = "{6A1D3E40-9B27-4C5F-A8E2-3F70C91B5D84}";
const char* const ZirpelLibraryId = "{0E8B52C7-4D19-4A6E-B3F1-72C95A0D6E13}";
const char* const LongBeepInterfaceId = "{D47F2A91-6C3B-4E08-9A5D-1B86E3C07F29}";

namespace {

std::string Text(const std::string& value) { return "REG_SZ \"" + value + "\\0\""; }

// Registry names compare without regard to case: the platform writes "Typelib".
bool StartsWith(const std::string& line, const std::string& prefix) {
  return line.size() >= prefix.size() && _strnicmp(line.c_str(), prefix.c_str(), prefix.size()) == 0;
}

bool Equal(const std::string& left, const char* right) { return lstrcmpiA(left.c_str(), right) == 0; }

bool IsTypeLibraryParent(const std::string& line) { return Equal(line, "TypeLib") || Equal(line, "Interface"); }

bool IsTypeLibraryLine(const std::string& line) {
  return IsTypeLibraryParent(line) || StartsWith(line, "TypeLib\\") || StartsWith(line, "Interface\\");
}

}  // namespace

std::vector<std::string> ExpectedClassTable(const std::string& inprocServer) {
  const std::string clsid = LongBeepClassId;
  const std::string key = "CLSID\\" + clsid;
  std::vector<std::string> lines = {
      "ZIRPEL.LongBeep.1",
      "ZIRPEL.LongBeep.1 = " + Text("LongBeep Class"),
      "ZIRPEL.LongBeep.1\\CLSID",
      "ZIRPEL.LongBeep.1\\CLSID = " + Text(clsid),
      "ZIRPEL.LongBeep",
      "ZIRPEL.LongBeep = " + Text("LongBeep Class"),
      "ZIRPEL.LongBeep\\CLSID",
      "ZIRPEL.LongBeep\\CLSID = " + Text(clsid),
      "ZIRPEL.LongBeep\\CurVer",
      "ZIRPEL.LongBeep\\CurVer = " + Text("ZIRPEL.LongBeep.1"),
      "CLSID",
      key,
      key + " = " + Text("LongBeep Class"),
      key + "\\ProgID",
      key + "\\ProgID = " + Text("ZIRPEL.LongBeep.1"),
      key + "\\VersionIndependentProgID",
      key + "\\VersionIndependentProgID = " + Text("ZIRPEL.LongBeep"),
      key + "\\Programmable",
      key + "\\InprocServer32",
      key + "\\InprocServer32 = " + Text(inprocServer),
      key + "\\InprocServer32 [ThreadingModel] = " + Text("Apartment"),
      key + "\\TypeLib",
      key + "\\TypeLib = " + Text(ZirpelLibraryId),
  };
  std::sort(lines.begin(), lines.end());
  return lines;
}

SplitDump SplitTypeLibraryEntries(const std::vector<std::string>& lines) {
  SplitDump split;
  for (const std::string& line : lines) {
    (IsTypeLibraryLine(line) ? split.TypeLibrary : split.Class).push_back(line);
  }
  return split;
}

bool AllOwnTypeLibraryEntries(const std::vector<std::string>& lines) {
  const std::string library = std::string("TypeLib\\") + ZirpelLibraryId;
  const std::string face = std::string("Interface\\") + LongBeepInterfaceId;
  return std::all_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return IsTypeLibraryParent(line) || StartsWith(line, library) || StartsWith(line, face);
  });
}

bool OnlyTypeLibraryParents(const std::vector<std::string>& lines) {
  return std::all_of(lines.begin(), lines.end(), IsTypeLibraryParent);
}

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH];
  DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

DllCopy::DllCopy(const std::string& directoryName, const char* sourceFile, const char* copyName)
    : directory_(TestProgramDirectory() + "registration-copies\\" + directoryName + "\\"),
      relativeName_("registration-copies\\" + directoryName + "\\" + copyName) {
  CreateDirectoryA((TestProgramDirectory() + "registration-copies").c_str(), nullptr);
  CreateDirectoryA(directory_.c_str(), nullptr);
  ready_ = CopyFileA((TestProgramDirectory() + sourceFile).c_str(), (directory_ + copyName).c_str(), FALSE) != 0;
}

DllCopy::~DllCopy() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((directory_ + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA((directory_ + found.cFileName).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(directory_.c_str());
}

bool DllCopy::WriteFile(const char* name, const std::vector<BYTE>& bytes) const {
  HANDLE file = CreateFileA((directory_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::vector<BYTE> ReadResource(const std::string& file, const char* type, WORD id) {
  std::vector<BYTE> bytes;
  HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    return bytes;
  }
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), type);
  HGLOBAL loaded = resource == nullptr ? nullptr : LoadResource(module, resource);
  if (loaded != nullptr) {
    const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
    bytes.assign(data, data + SizeofResource(module, resource));
  }
  FreeLibrary(module);
  return bytes;
}
