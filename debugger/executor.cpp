#include "debugger/executor.h"

#include <algorithm>

#include "base/mainform.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/breakpoints.h"
#include "debugger/memcmds.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "lang/keywords.h"
#include "lang/evaluator.h"
#include "lang/scanner.h"
#include "lang/valuelist.h"
#include "platform/pump.h"

namespace dorvik {

namespace {

// clang-format off
constexpr std::array<CommandEntry, 53> kCommandTable = {{
    {tok::kADDRESS, CmdMemory},
    {tok::kBASE, CmdBase},
    {tok::kBIT, CmdMemory},
    {tok::kBOOLEAN, CmdMemory},
    {tok::kBREAK, CmdBreak},
    {tok::kBR0, CmdBreak},
    {tok::kBR1, CmdBreak},
    {tok::kBYTE, CmdMemory},
    {tok::kCALLSTACK, CmdCallStack},
    {tok::kCAUSE, CmdCause},
    {tok::kCBYTE, CmdMemory},
    {tok::kCHAR, CmdMemory},
    {tok::kCHECKSUM, CmdChecksum},
    {tok::kCPU, CmdCpu},
    {tok::kCWORD, CmdMemory},
    {tok::kDISABLE, CmdDisable},
    {tok::kENABLE, CmdEnable},
    {tok::kDBYTE, CmdMemory},
    {tok::kDEFINE, CmdDefine},
    {tok::kDWORD, CmdMemory},
    {tok::kDOUBLEWORD, CmdMemory},
    {tok::kEBYTE, CmdMemory},
    {tok::kFLOAT, CmdMemory},
    {tok::kGO, CmdGo},
    {tok::kGR, CmdGr},
    {tok::kHALT, CmdHalt},
    {tok::kINTEGER, CmdMemory},
    {tok::kLONGINT, CmdMemory},
    {tok::kLSTEP, CmdStep},
    {tok::kPBYTE, CmdMemory},
    {tok::kPOINTER, CmdMemory},
    {tok::kPSTEP, CmdStep},
    {tok::kPWORD, CmdMemory},
    {tok::kR0, CmdRegister},
    {tok::kR1, CmdRegister},
    {tok::kR2, CmdRegister},
    {tok::kR3, CmdRegister},
    {tok::kR4, CmdRegister},
    {tok::kR5, CmdRegister},
    {tok::kR6, CmdRegister},
    {tok::kR7, CmdRegister},
    {tok::kBIT, CmdMemory},
    {tok::kRBS, CmdRbs},
    {tok::kRBYTE, CmdMemory},
    {tok::kREGISTERS, CmdRegisters},
    {tok::kRESET, CmdReset},
    {tok::kSEND, CmdSend},
    {tok::kSTACK, CmdStack},
    {tok::kSTEP, CmdStep},
    {tok::kTRACE, CmdStep},
    {tok::kWORD, CmdMemory},
    {tok::kXBYTE, CmdMemory},
    {tok::kXWORD, CmdMemory},
}};
// clang-format on

}  // namespace

ExecutorState& Executor() { return CurrentSession().Get<ExecutorState>(); }

const std::array<CommandEntry, 53>& CommandTable() { return kCommandTable; }

bool TargetStopped() {
  if (Run().ProgramRunning) ReportError(err::kCommandFormNotAllowedDuring);
  return !Messages().ErrorFlag;
}

namespace {

// Steps 4 to 6 of ExecuteCommand: they run also when a handler throws.
void FinishCommand(bool firstTokenFailed) {
  RunState& run = Run();
  MessageState& m = Messages();
  TerminalState& t = Terminal();
  // A line that no handler took is a syntax error, unless the line has
  // reported its own error already (an unknown symbol is 137 alone).
  if (!TrimBlanks(Scanner().ScanLine).empty() && !firstTokenFailed && !m.ErrorFlag)
    ReportError(err::kSyntaxError);
  if (!run.ProgramRunning) {
    // The prompt after the command; the GUI's actions have no console effect.
    t.MonitorPrompt = std::string(kPromptHalted);
    ShowCursor();
    EndBusy();
    run.TargetBusy = false;
  } else {
    // A GO left the program running: "run>" and the breakpoint marks redrawn;
    // TargetBusy and the busy pair stay until the halt is seen (EndRunBusy).
    if (MainForm().RunHoldsBusy) EndBusy();  // held already by the run: one pair
    MainForm().RunHoldsBusy = true;
    t.MonitorPrompt = std::string(kPromptRunning);
    ShowCursor();
    MarkAllBreakpoints();
  }
  t.TerminalEcho = false;
  ResumeMessages();
  m.ErrorFlag = false;
  m.WarningFlag = false;
  Executor().Running = false;
}

// The handlers that work while the user program runs.
bool RunsDuringProgram(uint8_t token) {
  switch (token) {
    case tok::kBASE: case tok::kENABLE: case tok::kDISABLE: case tok::kDEFINE: case tok::kSEND: case tok::kRESET:
      return true;
    default:
      return false;
  }
}

}  // namespace

void ExecuteDuringRun(std::string_view line) {
  SavedStates<ScannerState, EvaluatorState, tValueList> saved;
  SavedMessageFlags flags;
  ExecutorState& ex = Executor();
  MessageState& m = Messages();
  TerminalState& t = Terminal();
  const uint8_t commandToken = ex.CommandToken;
  const bool echo = t.TerminalEcho;
  SetScanLine(UpperCase(TrimBlanks(line)) + "\r", false);
  m.ErrorFlag = false;
  t.TerminalEcho = true;
  const uint8_t token = GetToken();
  if (!m.ErrorFlag) {
    const auto entry = std::find_if(kCommandTable.begin(), kCommandTable.end(),
                                    [token](const CommandEntry& e) { return e.Token == token; });
    if (token == tok::kHALT) {
      Run().UserBreak = true;
    } else if (entry == kCommandTable.end()) {
      ReportError(err::kSyntaxError);
    } else if (!RunsDuringProgram(token)) {
      ReportError(err::kCommandFormNotAllowedDuring);
    } else {
      ex.CommandToken = token;
      entry->Handler();
    }
  }
  ex.CommandToken = commandToken;
  t.TerminalEcho = echo;
  if (t.MonitorPrompt == kPromptRunning && !Run().UserBreak) ShowCursor();
}

bool ExecuteCommand() {
  ExecutorState& ex = Executor();
  if (ex.Running) return false;
  ex.Running = true;
  RunState& run = Run();
  MessageState& m = Messages();
  ex.CommandToken = Scanner().ScanToken;
  // Reading the first token may have reported the line's error already.
  const bool firstTokenFailed = m.ErrorFlag;
  m.ErrorFlag = false;
  run.TargetBusy = true;
  BeginBusy();
  try {
    if (ex.CommandToken != 0) {
      for (const CommandEntry& entry : kCommandTable) {
        // The pending messages between the rows keep the window responsive.
        platform::PumpMessages();
        if (entry.Token != ex.CommandToken) continue;
        entry.Handler();
        // Whatever the handler left unread is discarded.
        SetScanLine("\r", true);
        break;
      }
    }
  } catch (...) {
    FinishCommand(firstTokenFailed);
    throw;
  }
  FinishCommand(firstTokenFailed);
  return true;
}

}  // namespace dorvik
