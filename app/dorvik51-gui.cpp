// Dorvik51 workbench: the debugger in a Qt main window on the built-in
// simulator or a board. Wiring only: the processor database beside the executable, the
// target access and virtual hardware installed, the simulator selected, the
// Qt message boxes and dialogs set, the main window shown. An optional first
// argument names the project file (.QPC): its target, load options and
// modules are read, its [DORVIK] layout is restored and written back on exit,
// and its LoadAutomaticallyOnStart loads LastLoadPath once the window shows.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include <QApplication>
#include <QTimer>

#include "access/target.h"
#include "base/mainform.h"
#include "project/project.h"
#include "base/runstate.h"
#include "workspace/openproject.h"
#include "console/commoptions.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "gui/main/mainwindow.h"
#include "gui/projects/projectactions.h"
#include "gui/dialogs/qtdialogs.h"
#include "lang/cpudb.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/pump.h"
#include "platform/reporter.h"
#include "project/projectfile.h"
#include "vhw/hardware.h"

namespace {

// The project file: the first argument when its extension is .QPC, else the
// program's own name with .QPC.
std::string ProjectFileName(int argc, char** argv, const std::string& program) {
  if (argc > 1) {
    const std::string first = argv[1];
    return first.size() > 4 && first.compare(first.size() - 4, 4, ".QPC") == 0 ? first : std::string();
  }
  return dorvik::platform::ChangeFileExt(program, ".QPC");
}

constexpr const char* kUsage =
    "usage: dorvik51-gui [PROJECT.QPC]\n"
    "  PROJECT.QPC  the project file (its extension in upper case): target, load options, modules,\n"
    "               window places; without it dorvik51-gui.QPC beside the program, and a name\n"
    "               with another extension (such as p.qpc) gives no project at all\n";

// The command line's fault ("" when it is sound): an option other than
// --help, or more than one project name.
std::string CommandLineError(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() > 1 && arg[0] == '-' && arg != "--help" && arg != "-h") return "unknown option " + std::string(arg);
  }
  if (argc > 2) return "only one project file can be opened";
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace dorvik;
  // As every program of the project: --help prints the usage and a bad
  // command line ends with status 2, both before any window opens.
  if (const std::string error = CommandLineError(argc, argv); !error.empty()) {
    std::fprintf(stderr, "dorvik51-gui: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  QApplication app(argc, argv);
  const std::string program = platform::ProgramPath(argv[0]);
  SetSettingsFileNames(program, std::filesystem::temp_directory_path().string());
  InstallTargetAccess();
  vhw::InstallHardwareBus();
  // The terminal shows the source line of each stop, as the console does.
  RunControl().PrintSourceLines = true;
  platform::Pump().SetIdleHook(DebugViewsIdle);
  gui::QtReporter reporter;
  gui::QtDialogs dialogs;
  platform::SetReporter(&reporter);
  platform::SetDialogUi(&dialogs);
  // The processor database is the console's, beside both executables.
  const std::string database =
      CpuDatabaseNameFor((std::filesystem::path(program).parent_path() / "dorvik51").string());
  if (!ReadCpuDatabase(database) || !LoadCpuDescription())
    std::fprintf(stderr, "dorvik51-gui: the processor database %s could not be read\n", database.c_str());
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
  const std::string projectFile = ProjectFileName(argc, argv, program);
  if (!projectFile.empty() && platform::FileExists(projectFile)) OpenProject(projectFile);
  Project().ProjectFileName = projectFile;
  int status = 0;
  {
    gui::MainWindow window;
    window.Projects()->UseProjectFile(Project().ProjectFileName);
    reporter.AfterBox = [&window] {
      if (window.isActiveWindow()) window.ActivateEditor();
    };
    window.show();
    // A project's board target ("Target=" OVIX52 or ADUC with its [COM]
    // entries) opens its line at start, as in the console; the program loads
    // right after it, before the windows read the board.
    const LoaderOptions& loader = Project().Loader;
    const std::string autoLoad =
        loader.LoadAutomaticallyOnStart && !loader.LastLoadPath.empty() ? loader.LastLoadPath : std::string();
    QTimer::singleShot(0, &window, [&window, autoLoad] {
      window.Guarded([&window, &autoLoad] {
        console::ApplyStartCommSettings();
        if (!autoLoad.empty()) window.LoadProgram(autoLoad, true);
      });
    });
    status = QApplication::exec();
    reporter.AfterBox = nullptr;
  }
  platform::SetDialogUi(nullptr);
  platform::SetReporter(nullptr);
  return status;
}
