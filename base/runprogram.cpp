#include "base/runprogram.h"
#include "base/session.h"

#include "base/messages.h"
#include "platform/files.h"
#include "platform/process.h"
#include "base/mainform.h"
#include "base/userseam.h"

namespace dorvik {

namespace {

// The shell's status for a command it could not find or not execute.
constexpr int kShellNotFound = 127;
constexpr int kShellNotExecutable = 126;
}  // namespace

RunProgramSettings& RunProgramConfig() {
  return CurrentSession().Get<RunProgramSettings>();
}

ProgramRun RunProgramAndWait(std::string_view command, bool hidden) {
  ProgramRun run;
  if (!platform::FileExists(RunProgramConfig().CommandRunner)) {
    ReportError(err::kCannotExecuteCommand);
    return run;
  }
  platform::ProcessRequest req;
  req.Argv = {RunProgramConfig().CommandRunner, "-c", std::string(command)};
  if (hidden) {
    req.OutputPath = MainForm().ErrorProtocolFile;
    run.OutputFile = req.OutputPath;
    req.TimeoutMs = RunProgramConfig().HiddenTimeoutMs;
    req.KeepWaiting = [] { return User().KeepWaiting(); };
  } else {
    req.InheritOutput = true;
  }
  const platform::ProcessResult r = platform::Processes().Run(req);
  switch (r.Status) {
    case platform::ProcessStatus::NotStarted:
      ReportError(err::kCannotExecuteCommand);
      run.Outcome = ProgramOutcome::RunnerMissing;
      break;
    case platform::ProcessStatus::Stopped:
      run.Outcome = ProgramOutcome::Stopped;
      break;
    case platform::ProcessStatus::TimedOut:
      ReportError(err::kExternalProcessExecutingTimeout);
      run.Outcome = ProgramOutcome::TimedOut;
      break;
    case platform::ProcessStatus::Exited:
    case platform::ProcessStatus::Signalled:
      run.ExitCode = r.ExitCode;
      run.Outcome = r.Status == platform::ProcessStatus::Exited &&
                            (r.ExitCode == kShellNotFound || r.ExitCode == kShellNotExecutable)
                        ? ProgramOutcome::ProgramMissing
                        : ProgramOutcome::Ended;
      break;
  }
  return run;
}

}  // namespace dorvik
