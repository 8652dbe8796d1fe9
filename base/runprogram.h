#pragma once
// Running an external command (a compiler, a linker, a tool whose banner is
// read) and waiting for its end. Commands run through the command
// interpreter; a hidden run sends the command's output to the tools' error
// protocol file and has a time-out.

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

enum class ProgramOutcome {
  Ended,           // the command ended by itself; ExitCode holds its status
  ProgramMissing,  // the interpreter could not find the command's program
  TimedOut,        // still running at the time-out and stopped (error 108 reported)
  RunnerMissing,   // the command interpreter cannot be started (error 406 reported)
  Stopped,         // the caller stopped it while it ran (nothing reported)
};

struct ProgramRun {
  ProgramOutcome Outcome = ProgramOutcome::RunnerMissing;
  int ExitCode = 0;
  std::string OutputFile;  // where a hidden run's output went
  // The integer of the original interface: 0 when the process ended, else -1.
  int Result() const { return Outcome == ProgramOutcome::Ended ? 0 : -1; }
};

struct RunProgramSettings {
  std::string CommandRunner = "/bin/sh";  // run as: runner -c command
  uint32_t HiddenTimeoutMs = 120'000;
};

RunProgramSettings& RunProgramConfig();

// Runs `command` and waits for it. Hidden: output (stdout and stderr) into
// MainForm().ErrorProtocolFile, and the time-out applies; otherwise the
// command shares the terminal and is waited for as long as it runs. While a
// hidden run waits, User().KeepWaiting is asked about every 20 ms; false stops it.
ProgramRun RunProgramAndWait(std::string_view command, bool hidden);

}  // namespace dorvik
