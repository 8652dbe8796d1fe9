#include "core/runprogram.h"

#include "core/messages.h"
#include "platform/files.h"
#include "platform/process.h"
#include "workbench/mainform.h"

namespace dorvik {

namespace {
RunProgramSettings g_settings;

// The shell's status for a command it could not find or not execute.
constexpr int kShellNotFound = 127;
constexpr int kShellNotExecutable = 126;
}  // namespace

RunProgramSettings& RunProgramConfig() {
  return g_settings;
}
void ResetRunProgramConfig() {
  g_settings = RunProgramSettings{};
}

ProgramRun RunProgramAndWait(std::string_view command, bool hidden) {
  ProgramRun run;
  if (!platform::FileExists(g_settings.CommandRunner)) {
    ReportError(406);
    return run;
  }
  platform::ProcessRequest req;
  req.Argv = {g_settings.CommandRunner, "-c", std::string(command)};
  if (hidden) {
    req.OutputPath = MainForm().ErrorProtocolFile;
    req.TimeoutMs = g_settings.HiddenTimeoutMs;
  } else {
    req.InheritOutput = true;
  }
  const platform::ProcessResult r = platform::Processes().Run(req);
  switch (r.Status) {
    case platform::ProcessStatus::NotStarted:
      ReportError(406);
      run.Outcome = ProgramOutcome::RunnerMissing;
      break;
    case platform::ProcessStatus::TimedOut:
      ReportError(108);
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
