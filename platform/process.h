#pragma once
// Running external programs and waiting for their end. The result tells an
// ended program (with its exit status) from a time-out and from a program
// that could not be started at all.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dorvik::platform {

struct ProcessRequest {
  std::vector<std::string> Argv;  // program (searched on PATH when it has no '/') and arguments
  std::string WorkDir;            // empty: the current folder
  std::string StdinPath;          // empty: /dev/null
  std::string
      OutputPath;  // stdout and stderr go here (created/truncated); empty: see Capture and InheritOutput
  bool Capture = false;        // without OutputPath: collect stdout and stderr into Output
  bool InheritOutput = false;  // without OutputPath and Capture: keep our stdout and stderr
  uint32_t TimeoutMs = 0;      // 0: wait for ever
  // Asked now and then (every 20 ms) while the program runs, where the
  // caller handles its events; false stops the program (Status Stopped).
  std::function<bool()> KeepWaiting;
};

enum class ProcessStatus {
  Exited,      // ended by itself; ExitCode holds its status
  Signalled,   // ended by a signal; ExitCode holds the signal number
  TimedOut,    // still running at the time-out; it was killed
  NotStarted,  // could not be started (program missing, not executable...); Error holds errno
  Stopped,     // KeepWaiting asked to stop it; it was killed
};

struct ProcessResult {
  ProcessStatus Status = ProcessStatus::NotStarted;
  int ExitCode = 0;
  int Error = 0;
  std::string Output;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  virtual ProcessResult Run(const ProcessRequest& request) = 0;
};

// Runs the program as a child in a process group of its own (a time-out
// kills the whole group), polling for its end without threads.
class PosixProcessRunner : public ProcessRunner {
 public:
  ProcessResult Run(const ProcessRequest& request) override;
};

// The runner in use: the POSIX runner unless one was set (nullptr: back to it).
ProcessRunner& Processes();
void SetProcessRunner(ProcessRunner* runner);

}  // namespace dorvik::platform
