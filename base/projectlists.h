#pragma once
// The project's module list and registered file types, and the name of the
// project configuration file: what the engine's lookups read of the project,
// kept in the session; the project layer fills it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
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

struct ProjectListsState {
  std::vector<tModuleRec> ProjectModules;
  std::vector<tFileTypeRec> FileTypeList;
  std::string ProjectFileName;  // the project configuration file (.QPC)
  // The modules are the sources found in the project's folder (no [PROJECT]
  // section): their order is the file names', not the program's.
  bool ModulesFromFolder = false;
};

ProjectListsState& ProjectLists();


// The registered file type of an extension (with its dot), without regard to case; nullptr when none.
const tFileTypeRec* FindFileType(std::string_view extension);
// The registered file type of a file by its name's extension; nullptr when it has none or it is not registered.
const tFileTypeRec* FindFileTypeOf(std::string_view fileName);

}  // namespace dorvik
