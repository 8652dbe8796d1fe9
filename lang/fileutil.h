#pragma once
// Small shared utilities: clean-up of hover words and menu captions, two bit
// helpers, the compiler registered for a source file type, the desktop's
// association of a file extension, and the vendor of an external compiler
// recognised from the banner it prints.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

// Compiler vendors (ToolFamily)
inline constexpr uint8_t kToolKeil = 0;
inline constexpr uint8_t kToolIntel = 1;
inline constexpr uint8_t kToolSdcc = 2;
inline constexpr uint8_t kToolUnknown = 4;

// Where the desktop keeps its association data (XDG base directories), each
// list in search order, the most important first.
struct AssociationDirs {
  std::vector<std::string> DataDirs;    // hold mime/globs2 and applications/
  std::vector<std::string> ConfigDirs;  // hold mimeapps.list
};

// The module's state; one instance, reached through FileUtil().
struct FileUtilState {
  uint8_t ToolFamily = kToolUnknown;
  std::optional<AssociationDirs> Association;  // unset: from the environment
};

FileUtilState& FileUtil();


// Text clean-up
// Removes a leading and a trailing punctuation character of the command language.
std::string TrimPunctuation(std::string_view s);
// Removes the first "&" (the menu accelerator mark).
std::string StripAmpersand(std::string_view caption);

// Bits
// Value div 65536.
int32_t HighWord(int32_t value);
// Number of one bits of B modulo 2 (the PSW.P flag).
uint8_t ByteParity(uint8_t b);

// Compiler of a file type
// The compiler command registered for FileType (kind of the project's file-type
// list) up to the node of extension Ext; asks the user (User().ChooseCompiler) when
// none is registered, reports error 320 when the command names no existing file
// and fills the command into the nodes of that kind that have none.
void GetFileTypeCompiler(uint8_t fileType, std::string_view ext, std::string& command);

// True when the program of a command line (its first word) exists: a name
// with a "/" as a file, any other name in a folder of PATH.
bool CommandProgramExists(std::string_view command);

// Desktop association
// The association directories of the environment (XDG_DATA_HOME/DIRS, XDG_CONFIG_HOME/DIRS).
AssociationDirs EnvironmentAssociationDirs();
// The open command (the Exec line of the default application) and the icon
// name that the desktop associates with the extension Ext (with or without
// its dot). Without an association both stay as they were. True when either is set.
bool GetFileAssociation(std::string_view ext, std::string& openCommand, std::string& icon);

// Tool vendor
// Runs Command hidden (its output into the tools' error protocol file) and
// sets ToolFamily from the banner found there.
void DetectCompilerVendor(std::string_view command);
// The vendor named by a tool's output (upper-case lines), or `current` when none is recognised.
uint8_t VendorFromProtocol(const std::vector<std::string>& upperLines, uint8_t current);

}  // namespace dorvik
