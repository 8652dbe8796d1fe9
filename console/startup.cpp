#include "console/startup.h"

#include <cerrno>

#include <string_view>

#include "access/transport.h"
#include "access/linkstate.h"
#include "base/mainform.h"
#include "debugger/runcontrol.h"
#include "console/commoptions.h"
#include "base/messages.h"
#include "lang/symbols.h"
#include "loader/loader.h"
#include "platform/files.h"
#include "project/project.h"
#include "project/projectfile.h"
#include "platform/ini.h"
#include "workspace/openproject.h"

namespace dorvik::console {

bool ParseStartArguments(int argc, char** argv, StartOptions& options, std::string& error) {
  options = {};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--project") {
      if (i + 1 >= argc) {
        error = "--project needs a file name";
        return false;
      }
      options.ProjectFile = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + std::string(arg);
      return false;
    } else if (options.Program.empty()) {
      options.Program = arg;
    } else {
      error = "only one program can be loaded at start";
      return false;
    }
  }
  return true;
}

std::string StartUsage() {
  return "usage: dorvik51 [--project FILE] [--port DEVICE] [--baud N] [--target OVIX52|ADUC|VOV51] [PROGRAM]\n"
         "  --project FILE  the project file: target, load options, modules\n"
         "  --port DEVICE   the serial line to the board (a device path or COMn)\n"
         "  --baud N        its speed (300 to 115200)\n"
         "  --target KIND   OVIX52 (monitor board), ADUC (ADuC chip) or VOV51 (simulator)\n"
         "  PROGRAM         an Intel HEX or OMF-51 object file loaded at start\n";
}

void StartSession(const StartOptions& options) {
  if (!options.ProjectFile.empty()) {
    // Another project's symbols do not belong to this one.
    FreeSymbolCollections();
    if (!ReadProjectFile(options.ProjectFile)) {
      // Not there at all, or there but unreadable (a folder): the system's reason.
      const int code = platform::TakeIOResult();
      if (code == ENOENT)
        ReportError(err::kFileNotExist, options.ProjectFile);
      else
        ReportError(err::kCannotOpenFile, options.ProjectFile + " (" + platform::OsErrorText(code) + ")");
      Messages().ErrorFlag = false;
    } else {
      // The byte order and pointer options, read as the workbench reads them.
      platform::IniFile file;
      if (file.Load(options.ProjectFile)) ReadProjectOptions(file);
    }
  }
  // The serial line of the project and the command line, before a program goes to the target.
  ApplyStartCommSettings();
  std::string program = options.Program;
  const LoaderOptions& loader = Project().Loader;
  if (program.empty() && loader.LoadAutomaticallyOnStart) program = loader.LastLoadPath;
  if (program.empty()) return;
  if (options.ProjectFile.empty()) UseProgramFolderAsProject(program);
  // The board's announcement is taken in before the program goes to it.
  LoadProgram(program);
  Project().Loader.LastLoadPath = program;
}

}  // namespace dorvik::console
