// Dorvik51 main program: the debugger console on the built-in simulator.
// Wiring only: the processor database beside the executable, the target
// access and virtual hardware installed, the simulator selected, the project
// and program of the command line (console/startup.h), and the console front
// end (console/frontend.h) run until the user ends it.

#include <cstdio>
#include <string>

#include "access/target.h"
#include "base/runstate.h"
#include "console/commoptions.h"
#include "console/frontend.h"
#include "console/startup.h"
#include "lang/cpudb.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "platform/files.h"
#include "platform/pump.h"
#include "vhw/hardware.h"

int main(int argc, char** argv) {
  using namespace dorvik;
  console::StartOptions options;
  std::string error;
  // --port, --baud and --target first: the communication set-up, applied after the project.
  if (!console::TakeCommOptions(argc, argv, error) || !console::ParseStartArguments(argc, argv, options, error)) {
    std::fprintf(stderr, "dorvik51: %s\n%s", error.c_str(), console::StartUsage().c_str());
    return 2;
  }
  if (options.Help) {
    std::fputs(console::StartUsage().c_str(), stdout);
    return 0;
  }
  // The evaluator reads the target through the access layer, and the
  // simulator's external-data reads go to the virtual hardware.
  InstallTargetAccess();
  vhw::InstallHardwareBus();
  // The STEP loop waits for the console's keys (console/frontend.h); the idle work sees a halt.
  RunControl().PrintSourceLines = true;
  platform::Pump().SetIdleHook(DebugViewsIdle);
  const std::string database = CpuDatabaseNameFor(platform::ProgramPath(argv[0]));
  // Without the database the console still runs; CPU reports error 159.
  if (!ReadCpuDatabase(database) || !LoadCpuDescription())
    std::fprintf(stderr, "dorvik51: the processor database %s could not be read\n", database.c_str());
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
  return console::RunConsole([&options] { console::StartSession(options); });
}
