#pragma once
// Include and define scanning: the include files a source pulls in and the
// macro names it defines, found without assembling or compiling it, and the
// search for a "$" control word in a file. Scans read the upper-cased text of
// the editor page that shows a file, else of the file itself, so keywords and
// collected names are upper case; included files are opened by their names as
// written.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

struct IncludeScanState {
  // Include files of the define scan and, when a caller passes no list, of the include scan.
  std::vector<std::string> IncludeFileList;
  // Names defined by "%DEFINE" and "%SET".
  std::vector<std::string> DefineNameList;
};

IncludeScanState& IncludeScan();

// Adds the include files named in FileName (an assembler or C source) to
// List (nullptr: IncludeFileList), in the order found, duplicates kept. The
// kind comes from the file's registered extension; an unregistered extension
// or an include file takes the kind of DefaultExt (none: no scan). With
// Recurse each found file is scanned the same way right after it was added
// (into IncludeFileList, without a default extension); a file already on the
// way down is not entered again. A missing file adds nothing.
void ScanIncludeFiles(std::string_view fileName, std::vector<std::string>* list, bool recurse,
                      std::string_view defaultExt = {});

// Collects the "$INCLUDE" files (recursively) into IncludeFileList and the
// names of "%DEFINE" and "%SET" into DefineNameList; Clear empties both first.
void CollectIncludesAndDefines(std::string_view fileName, bool clear);

// The 0-based position of "$" + Word in the upper-cased text of the file
// (lines joined by CR LF); -1 when it is absent or there is no such file.
int32_t FindDollarWordInFile(std::string_view fileName, std::string_view word);

}  // namespace dorvik
