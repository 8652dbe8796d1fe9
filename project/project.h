#pragma once
// The project: its file's name, module list and registered file types, load
// options, serial settings and environment variables, in one state kept in
// the session. The engine's lookups read it (modules and file types); the
// project file's reader fills it (project/projectfile.h), the workspace opens,
// creates and saves the project as a whole (workspace/openproject.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvik {

// One module of the project: its name, its source file and two further texts
// that a module entry may carry (kept with it; no lookup reads them).
struct tModuleRec {
  std::string Name;      // compared with object-module names without regard to case
  std::string FileName;  // the source file
  std::array<std::string, 2> FurtherTexts;
};

// File-type kinds.
inline constexpr uint8_t kFileAssembler = 1;
inline constexpr uint8_t kFilePlm = 2;
inline constexpr uint8_t kFileC = 3;
inline constexpr uint8_t kFileInclude = 4;
inline constexpr uint8_t kFileLinkMap = 5;
inline constexpr uint8_t kFileObject = 6;
inline constexpr uint8_t kFileListing = 7;

// One registered source file type.
struct tFileTypeRec {
  uint8_t Kind = 0;
  std::string Extension;  // with its dot, e.g. ".A51"
  std::string Compiler;
};

// Load options of the [LOADER] section.
struct LoaderOptions {
  bool LoadCode = true;
  bool LoadLines = true;
  bool LoadSymbols = true;
  bool LoadAppend = false;
  bool LoadXData = false;
  bool ClearDataFlash = false;
  bool ClearCodeFlash = false;
  bool LoadAutomaticallyOnStart = false;
  std::string LastLoadPath;
  // The ADuC download speed choice: 0 115200, 1 57600, 2 38400 baud.
  int DownloadSpeed = 0;
};

struct ProjectState {
  std::string ProjectFileName;  // the project file (.QPC)
  std::vector<tModuleRec> ProjectModules;  // [PROJECT]
  std::vector<tFileTypeRec> FileTypeList;  // [FileTypes]
  // The modules are the sources found in the project's folder (no [PROJECT]
  // section): their order is the file names', not the program's.
  bool ModulesFromFolder = false;
  LoaderOptions Loader;      // [LOADER]
  int32_t BaudRate = 19200;  // [COM] "Baud"
  std::string ComPort;       // [COM] "Port": "COMn" or a device path ("" none)
  std::vector<std::pair<std::string, std::string>> Variables;  // [VARIABLES], in order
};

ProjectState& Project();

// The registered file type of an extension (with its dot), without regard to case; nullptr when none.
const tFileTypeRec* FindFileType(std::string_view extension);
// The registered file type of a file by its name's extension; nullptr when it has none or it is not registered.
const tFileTypeRec* FindFileTypeOf(std::string_view fileName);

}  // namespace dorvik
