#pragma once
// The project's build: each module is compiled by the tool its file type
// names: the built-in assembler in process, any other tool as a command run
// through the system shell with the project's environment variables, its
// output going to the tools' error protocol file. A module is built again
// when it, or an include file it pulls in, is newer than its object file.
// The lines of the protocol (and of the built-in assembler's listing errors)
// make the build report, each line knowing where its source line is.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/project.h"

namespace dorvik {

// The compiler text of the built-in assembler in the file-type list.
inline constexpr std::string_view kBuiltInAssembler = "diz52";

// One line of the build report and how it leads to its source.
struct BuildReportLine {
  std::string Text;
  // A listing error line: the listing it stands in (FindListingEntry in
  // listing mode with Text as the word) and the module's source.
  std::string Listing;
  // A statement line of a listing: its text, found in Source (source mode).
  std::string Statement;
  // A tool's "file:line:" line: that file and 1-based line.
  std::string Source;
  int32_t Line = -1;
};

enum class BuildOutcome : uint8_t {
  Built,        // every module built (or none was out of date) without errors
  Errors,       // a tool reported errors
  Stopped,      // the user stopped the build (between modules, or its running tool)
  Failed,       // a module could not be built at all (a message said why)
};

// The build's progress goes to the user seam's status text ("" when the
// build ends); between modules it waits through the seam (KeepWaiting false
// or StopRequested stop the build).
struct BuildState {
  std::vector<BuildReportLine> Report;
  // Bumped whenever the report changes (emptied, or grown after a tool): the report window reads again.
  uint32_t ReportRevision = 0;
  bool Building = false;
  bool StopRequested = false;
};

BuildState& Build();

// Lines of a tool's output kept in the report, and bytes read of it.
inline constexpr size_t kMaxReportLines = 5000;
inline constexpr size_t kMaxProtocolBytes = 1 << 20;

// The include files Source pulls in, recursively, as existing files: a bare
// name in Source's folder, else beside the including file, else as written
// (other letter cases too); a file is listed once, and a cycle ends.
std::vector<std::string> ModuleIncludeFiles(const std::string& source);
// The module's object file ("" when none exists yet): the source's name with
// .OBJ (.obj), or .REL (.rel) for a C compiler's output; a source that
// carries $NOOBJECT is represented by its listing.
std::string ModuleObjectFile(const tModuleRec& module);
// True when the module has no object, or the source or one of its include
// files is newer than it.
bool ModuleOutOfDate(const tModuleRec& module);

// Compiles one module (messages: 106 missing source, 314 unregistered
// extension, 320 a missing tool, 108 time-out, 406 no shell). An external
// tool is stopped when User().KeepWaiting says so.
BuildOutcome CompileModule(const tModuleRec& module);
// Builds the project's modules in order: all of them, or those out of date.
// The report is emptied first. 144 while the program runs, 54 without modules;
// after a module with errors, question 53 decides whether to go on.
BuildOutcome BuildProject(bool all);
// The program that "Build and load" loads: the first module's object file.
std::string ProgramToLoad();

// The report lines of a tool's output (at most kMaxReportLines, read up to
// kMaxProtocolBytes), read from the protocol file; "file:line:" and
// "file(line)" lines lead to that line of that file (relative names beside
// Folder). Warning 48 when the file cannot be read.
std::vector<BuildReportLine> ReadProtocol(const std::string& protocolFile, const std::string& folder);
// The built-in assembler's listing errors: each error line with the
// statement line above it.
std::vector<BuildReportLine> ListingErrors(const std::string& listing, const std::string& source);

// The shell command of an external tool for a source: the project's
// environment variables exported, the source's folder made current.
std::string ToolCommand(std::string_view compiler, const std::string& source);

}  // namespace dorvik
