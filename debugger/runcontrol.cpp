#include "debugger/runcontrol.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/target.h"
#include "access/linkstate.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/userseam.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "debugger/terminal.h"
#include "debugger/toolviews.h"
#include "debugger/breaklocations.h"
#include "debugger/statusfields.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "machine/images.h"
#include "machine/simulator.h"
#include "objfiles/listmap.h"
#include "platform/pump.h"

namespace dorvik {

namespace {

constexpr uint8_t kOpLcall = 0x12;
constexpr uint8_t kOpRet = 0x22;
constexpr uint8_t kOpReti = 0x32;

bool Failed() { return Messages().ErrorFlag; }

uint16_t PcField() { return static_cast<uint16_t>(Run().CurrentPC); }

void SetPcField(uint16_t pc) {
  Run().CurrentPC = pc;
  Target().TargetRegs.PC = pc;
  SetRegisterText("PC", FormatHex4(pc));
}

// Lookups whose failure only means "nothing there": no boxes, no error left.
template <class F>
bool Quietly(F lookup) {
  MessageState& m = Messages();
  const bool savedError = m.ErrorFlag;
  SuspendMessages();
  const bool found = lookup();
  ResumeMessages();
  m.ErrorFlag = savedError;
  return found;
}

int32_t ProcedureHolding(uint16_t address) {
  if (!Collections().SymbolTable) return kNoItem;
  return Quietly([&] { return FindProcedureAt(address); }) ? Collections().FoundSymbol : kNoItem;
}

bool LineSymbolAt(uint16_t address) {
  if (!Collections().SymbolTable) return false;
  return Quietly([&] { return FindLineSymbol(address); });
}

// The length of the call instruction at Address (ACALL 2, LCALL 3), or 0.
uint8_t CallLength(uint16_t address) {
  std::array<uint8_t, 1> code{};
  if (!TargetReadBytes(kSpaceCode, address, code)) return 0;
  const uint8_t op = code[0];
  if (op == kOpLcall) return 3;
  if ((op & 0x1F) == 0x11) return 2;
  return 0;
}

// After a run over a call on a target with break registers (the monitor runs
// the call itself and reports the instruction it ran last): the line of that
// instruction for a source line or TRACE, and a stop on entering a call is
// taken back to the call. True when the step ends there.
bool StoppedOnCallEntry(uint8_t stepToken, std::string& text) {
  const uint16_t prev = RunControl().PrevPC;
  const bool lineWanted = LineSymbolAt(prev) || stepToken == tok::kTRACE;
  if (lineWanted) text = DisassembleLine(prev);
  if (!CallLength(prev)) return false;
  if (!lineWanted) {
    SetPcField(prev);
    TargetSetRegister(tok::kPC, prev);
    return false;
  }
  // The return address the call pushed is dropped again, through the
  // target's own write (a value write reaches only the local images).
  const uint8_t sp = static_cast<uint8_t>(TargetReadByte(kSpaceDirect, sfr::SP) - 2);
  CurrentBackend().WriteBlock(kSpaceDirect, sfr::SP, std::span<const uint8_t>(&sp, 1), true, {});
  TargetSetRegister(tok::kPC, prev);
  SetPcField(prev);
  SetRegisterText("SP", FormatHex2(sp));
  RefreshDebugViews(false);  // the step's end asks the board
  return true;
}

}  // namespace

void AwaitChipRestart(int32_t announcedBefore) {
  const auto start = std::chrono::steady_clock::now();
  while (Link().ChipAnnouncements == announcedBefore &&
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kChipRestartMs)) {
    LinkIdleWait(5);
    platform::PumpMessages();
    LinkIdle();
  }
}

namespace {

// Lets the console see its keys while a run or a wait goes on; a step that
// runs that long shows "run>" while the program runs.
void PumpBetweenSlices() {
  Run().CurrentPC = static_cast<uint32_t>(Images().SimPC);
  TerminalState& t = Terminal();
  if (Run().Tracing && t.MonitorPrompt != kPromptRunning) {
    t.MonitorPrompt = std::string(kPromptRunning);
    ShowCursor();
  }
  platform::PumpMessages();
}

// After a long step: the bare "run>" gives its place to the step line.
void EndRunningPrompt() {
  TerminalState& t = Terminal();
  if (t.MonitorPrompt != kPromptRunning) return;
  t.MonitorPrompt = std::string(kPromptHalted);
  if (t.Lines.back() == kPromptRunning) {
    t.Lines.back().clear();
    t.Caret = t.PromptLength = 0;
  }
}

// Breaks in code memory for every enabled entry (or the cursor breakpoint
// alone), each address once; false when the target refused one.
bool PlantBreakpoints() {
  BreakpointState& b = Breakpoints();
  RunControlState& rc = RunControl();
  TargetBackend& backend = CurrentBackend();
  rc.PlantedAddresses.clear();
  auto plant = [&](tBreak& bp, uint8_t index) {
    bp.Planted = true;
    if (std::find(rc.PlantedAddresses.begin(), rc.PlantedAddresses.end(), bp.Address) == rc.PlantedAddresses.end()) {
      bp.SavedBytes = GetCodeBytesText(bp.Address);
      if (bp.SavedBytes.empty()) return false;
      // Listed first: a break whose writing failed halfway is taken out as well.
      rc.PlantedAddresses.push_back(bp.Address);
      if (!backend.PlantBreak(index, bp.Address)) return false;
    }
    bp.Armed = true;
    return true;
  };
  if (b.CursorBreakpoint.Used) return plant(b.CursorBreakpoint, 0);
  for (int32_t i = 0; i <= b.LastBreakIndex; ++i) {
    tBreak& bp = b.BreakTable[static_cast<size_t>(i)];
    if (bp.Used && bp.Enabled && !plant(bp, static_cast<uint8_t>(i))) return false;
  }
  return true;
}

// The planted breaks out again after a failure that was reported (a start or
// a halt the target refused or left unanswered): the target is talked to as
// if nothing had failed, without a message of its own, and the failure stands.
void LiftBreaksAfterFailure() {
  MessageState& m = Messages();
  const bool error = m.ErrorFlag;
  const int code = m.LastErrorCode;
  {
    const SilencedMessages silenced;
    m.ErrorFlag = false;
    RestoreBreakpoints();
  }
  m.ErrorFlag = error;
  m.LastErrorCode = code;
}

// The run of the local simulator: its backend steps it in slices with the pump between
// them, until a break, a halt or the user's break ends it.
void RunSimulated(uint16_t start) {
  RunState& run = Run();
  RunControlState& rc = RunControl();
  // A run that starts on a planted break runs the instruction under it first.
  Simulator().StoppedAtBreak = IsBreakPlanted(start) ? start : -1;
  run.ProgramRunning = true;
  run.Executing = true;
  run.UserBreak = false;
  Terminal().MonitorPrompt = std::string(kPromptRunning);
  UpdateCaption(kCaptionRunning);
  ClearExecLine();
  MarkAllBreakpoints();
  // The console shows "run>" while the program runs.
  ShowCursor();
  CurrentBackend().RunHere(std::max(rc.SliceSteps, 1), PumpBetweenSlices);
  run.Executing = false;
  RestoreBreakpoints();
  run.ProgramRunning = false;
  UpdateCaption(kCaptionHalted);
  RefreshDebugViews();
  Terminal().MonitorPrompt = std::string(kPromptHalted);
  ReportHalt(1);
  run.UserBreak = false;
  Messages().ErrorFlag = false;
  Messages().WarningFlag = false;
}

// A GO on a target with break registers: breakpoints 0 and 1 (or the cursor
// break) go into its registers; none when one could not be set.
std::optional<GoBreaks> SetBreakRegisters() {
  BreakpointState& b = Breakpoints();
  RunControlState& rc = RunControl();
  TargetBackend& backend = CurrentBackend();
  if (rc.AllowHalt && !backend.ArmBreakSwitch()) return std::nullopt;
  GoBreaks breaks;
  tBreak& cursor = b.CursorBreakpoint;
  if (cursor.Used) {
    if (!CheckBreakPlacement(cursor.Address, true)) return std::nullopt;
    cursor.SavedBytes = GetCodeBytesText(cursor.Address);
    if (!backend.PlantBreak(0, cursor.Address)) return std::nullopt;
    // The register no longer holds breakpoint 0: the next GO sets it again.
    b.BreakTable[0].Planted = false;
    breaks.Cursor = true;
    return breaks;
  }
  tBreak& br0 = b.BreakTable[0];
  tBreak& br1 = b.BreakTable[1];
  breaks.Break0 = br0.Used && br0.Enabled;
  breaks.Break1 = br1.Used && br1.Enabled;
  if (b.ArmBreak.Used && (breaks.Break0 || breaks.Break1)) {
    breaks.Arm = b.ArmBreak.Address;
    b.ArmBreak.SavedBytes = GetCodeBytesText(b.ArmBreak.Address);
  }
  // Every enabled register is named, also one set by an earlier GO.
  auto arm = [&](tBreak& bp, uint8_t index) {
    if (bp.Planted) return true;
    if (!CheckBreakPlacement(bp.Address, true)) return false;
    bp.SavedBytes = GetCodeBytesText(bp.Address);
    if (!backend.PlantBreak(index, bp.Address)) return false;
    bp.Planted = true;
    return true;
  };
  if (breaks.Break0 && !arm(br0, 0)) return std::nullopt;
  if (breaks.Break1 && !arm(br1, 1)) return std::nullopt;
  return breaks;
}

// The helpers a backend runs the program with. Text receives what the
// target announced at the start.
RunHelpers MakeRunHelpers(std::string& text) {
  RunHelpers h;
  h.PlantBreaks = PlantBreakpoints;
  h.RestoreBreaks = LiftBreaksAfterFailure;
  h.SetBreakRegisters = SetBreakRegisters;
  h.Running = [&text](std::string_view announce) {
    if (!announce.empty()) {
      text = std::string(announce);
      OutText(text);
      NewLine();
    }
    Run().ProgramRunning = true;
    Terminal().MonitorPrompt = std::string(kPromptRunning);
    UpdateCaption(kCaptionRunning);
    ClearExecLine();
    MarkAllBreakpoints();
  };
  h.RunHere = RunSimulated;
  h.BreakRegisterAtReturn = [](uint16_t ret) {
    // The register no longer holds breakpoint 1: the next GO sets it again.
    Breakpoints().BreakTable[1].Planted = false;
    return TargetSetRegister(tok::kBR1, ret);
  };
  h.CursorAtReturn = [](uint16_t ret, bool keepBytes) {
    tBreak& cursor = Breakpoints().CursorBreakpoint;
    cursor.Address = ret;
    cursor.Used = true;
    if (keepBytes) cursor.SavedBytes = GetCodeBytesText(ret);
  };
  h.AwaitHalt = [] {
    // The halt arrives through the link: the idle handler clears ProgramRunning.
    RunState& run = Run();
    while (run.ProgramRunning && !run.UserBreak) {
      Messages().ErrorFlag = false;
      Messages().WarningFlag = false;
      platform::Pump().RunIdle();
      platform::PumpMessages();
    }
    RestoreBreakpoints();
  };
  h.Between = PumpBetweenSlices;
  h.SliceSteps = RunControl().SliceSteps;
  return h;
}

// The program runs from Address to the return address R of the call there.
bool RunOverCall(uint16_t address, uint16_t ret) {
  RunState& run = Run();
  // The STEP loop keeps its running state after the call (the end of the
  // input and the lines typed meanwhile are seen only while it is set).
  const bool wasRunning = run.ProgramRunning;
  std::string text;
  if (!CurrentBackend().RunOverCall(address, ret, MakeRunHelpers(text))) return false;
  run.ProgramRunning = wasRunning;
  Breakpoints().CursorBreakpoint.Used = false;
  return !Failed();
}

char ReadStepKey() {
  bool& waiting = RunControl().WaitingForStepKey;
  waiting = true;
  struct Leave {
    bool& Flag;
    ~Leave() { Flag = false; }
  } leave{waiting};
  return User().ReadStepKey();
}

// A memory keyword that starts a typed memory reference (CBYTE ... XWORD, BYTE ... POINTER, BIT, BOOLEAN).
bool IsMemoryKeyword(uint8_t token) {
  return (token >= tok::kByteTypeBase && token < tok::kWordTypeBase + 8) || token == tok::kBOOLEAN ||
         (token >= tok::kADDRESS && token <= tok::kPOINTER);
}

bool IsWatchRegister(uint8_t token) {
  switch (token) {
    case tok::kAB: case tok::kDPTR: case tok::kPC: case tok::kPPC: case tok::kTM0: case tok::kTM1:
    case tok::kTM2: case tok::kRCAP2: case tok::kBR0: case tok::kBR1: case tok::kRBS:
      return true;
    default:
      return token >= tok::kR0 && token <= tok::kR7;
  }
}

}  // namespace

RunControlState& RunControl() { return CurrentSession().Get<RunControlState>(); }

// GO

uint8_t ParseBreakForm(uint16_t& value) {
  SkipBlanks();
  ScannerState& s = Scanner();
  // The character K places after the current one.
  auto ahead = [&](size_t k) -> char {
    if (k == 0) return s.ScanChar;
    const size_t at = s.ScanPos - 1 + (k - 1);
    return at < s.ScanLine.size() ? s.ScanLine[at] : '\r';
  };
  if (UpperChar(ahead(0)) == 'B' && UpperChar(ahead(1)) == 'R') {
    uint8_t form = 0;
    if (!IsIdentChar(ahead(2))) {
      form = kBreakFormBoth;
      NextChar();
    } else if ((ahead(2) == '0' || ahead(2) == '1') && !IsIdentChar(ahead(3))) {
      form = ahead(2) == '0' ? kBreakFormBr0 : kBreakFormBr1;
      NextChar();
      NextChar();
    }
    if (form) {
      NextChar();
      GetToken();
      return Failed() ? 0 : form;
    }
  }
  if (!ReadCodeAddress(value)) return 0;
  GetToken();
  return Failed() ? 0 : kBreakFormAddress;
}

namespace {

// TILL break [, break]: the breakpoints 0 and 1 it names are set.
bool ParseTill() {
  BreakpointState& b = Breakpoints();
  RunControlState& rc = RunControl();
  tBreak& br0 = b.BreakTable[0];
  tBreak& br1 = b.BreakTable[1];
  uint16_t first = 0, second = 0;
  const uint8_t form = ParseBreakForm(first);
  if (!form) return false;
  const bool comma = Scanner().ScanToken == tok::kComma;
  uint8_t next = 0;
  if (comma) {
    if (form == kBreakFormBoth) return PlainSyntaxError(), false;
    next = ParseBreakForm(second);
    if (!next) return false;
    rc.GoMode = kBreakFormBoth;
  }
  switch (form) {
    case kBreakFormBoth:
      rc.GoMode = kBreakFormBoth;
      break;
    case kBreakFormBr0:
    case kBreakFormBr1: {
      if (!comma) {
        rc.GoMode = kBreakFormBr0;
        break;
      }
      const uint8_t other = form == kBreakFormBr0 ? kBreakFormBr1 : kBreakFormBr0;
      if (next == kBreakFormAddress)
        SetBreakpointAt(form == kBreakFormBr0 ? br1 : br0, second, false);
      else if (next != other)
        return PlainSyntaxError(), false;
      break;
    }
    case kBreakFormAddress:
      if (!comma) {
        SetBreakpointAt(br0, first, false);
        rc.GoMode = kBreakFormBr0;
      } else if (next == kBreakFormBr1) {
        SetBreakpointAt(br0, first, false);
      } else if (next == kBreakFormBr0) {
        SetBreakpointAt(br1, first, false);
      } else if (next == kBreakFormAddress) {
        SetBreakpointAt(br0, first, false);
        SetBreakpointAt(br1, second, false);
      } else {
        return PlainSyntaxError(), false;
      }
      break;
    default:
      ReportError(err::kDorvikInternalError);
      return false;
  }
  return !Failed();
}

}  // namespace

// GO [FROM expr] [ARM expr TILL ...] [TILL break [, break]] [FOREVER]
void CmdGo() {
  if (!TargetStopped()) return;
  // The call stack is read again at the next stop.
  ++ToolViews().GoCount;
  BreakpointState& b = Breakpoints();
  uint16_t start = PcField();
  b.ArmBreak.Used = false;
  uint8_t token = GetToken();
  if (token == tok::kFROM) {
    if (!ReadCodeAddress(start)) return;
    token = GetToken();
  }
  if (token == tok::kARM) {
    uint16_t arm = 0;
    if (!ReadCodeAddress(arm)) return;
    if (GetToken() != tok::kTILL) {
      PlainSyntaxError();
      return;
    }
    b.ArmBreak.Address = arm;
    b.ArmBreak.Used = true;
    b.ArmBreak.Enabled = true;
    token = tok::kTILL;
  }
  if (token == tok::kTILL) {
    if (!ParseTill()) return;
    token = Scanner().ScanToken;
  } else if (token == tok::kFOREVER) {
    RunControl().GoMode = 'a';
    b.CursorBreakpoint.Used = false;
    token = GetToken();
  }
  if (token != tok::kEndOfLine) {
    if (!Failed()) PlainSyntaxError();
    return;
  }
  if (!TargetSetRegister(tok::kPC, start)) return;
  SetPcField(start);
  std::string text;
  StartProgram(text);
  // The arm location serves one GO only.
  b.ArmBreak.Used = false;
  b.ArmBreak.Enabled = false;
}

void StartProgram(std::string& text) {
  text.clear();
  if (!CurrentBackend().Capabilities().HasTarget) return;
  CurrentBackend().StartRun(PcField(), MakeRunHelpers(text));
}

void RestoreBreakpoints() {
  BreakpointState& b = Breakpoints();
  RunControlState& rc = RunControl();
  TargetBackend& backend = CurrentBackend();
  for (auto it = rc.PlantedAddresses.rbegin(); it != rc.PlantedAddresses.rend(); ++it) backend.LiftBreak(0, *it);
  rc.PlantedAddresses.clear();
  if (!backend.Capabilities().BreakRegisters) {
    for (tBreak& bp : b.BreakTable) bp.Planted = bp.Armed = false;
    b.ArmBreak.Planted = b.ArmBreak.Armed = false;
  }
  b.CursorBreakpoint.Planted = b.CursorBreakpoint.Armed = false;
  b.CursorBreakpoint.Used = false;
}

// HALT

void CmdHalt() {
  if (!CheckEndOfLine()) return;
  HaltProgram();
}

void HaltProgram() {
  MessageState& m = Messages();
  m.ErrorFlag = false;
  Link().RxCount = 0;
  Link().RxIndex = 0;
  const HaltResult result = CurrentBackend().Halt();
  if (result == HaltResult::Failed) {
    // A target that does not answer the halt (or a line that is gone) has
    // reported why; the console must not wait for a halt that may never come.
    if (Run().ProgramRunning) {
      Run().ProgramRunning = false;
      Terminal().MonitorPrompt = std::string(kPromptHalted);
      UpdateCaption(kCaptionHalted);
    }
    // The planted breaks come out all the same (the failure is reported once).
    LiftBreaksAfterFailure();
    if (!Run().ProgramRunning) EndRunBusy();
    return;
  }
  RestoreBreakpoints();
  if (result == HaltResult::TargetReset) {
    // The chip reset itself instead of halting: the program is reset as by
    // the main window's program reset, and the chip gets time to restart.
    const int32_t announced = Link().ChipAnnouncements;
    Run().ProgramRunning = false;
    ResetTarget();
    AwaitChipRestart(announced);
  }
  // The program stands still: its registers are asked of the target (a chip
  // that reset itself holds those of a program start).
  Run().ProgramRunning = false;
  RefreshDebugViews(result != HaltResult::TargetReset);
  m.WarningFlag = false;
  m.ErrorFlag = false;
  EndRunBusy();
  Terminal().MonitorPrompt = std::string(kPromptHalted);
  UpdateCaption(kCaptionHalted);
}

// Steps

bool SingleStep(uint16_t address, std::string& text) {
  text.clear();
  const StepResult r = CurrentBackend().Step(address, text);
  // The monitor's line of the instruction starts with its address and bytes.
  text = text.size() > 11 ? text.substr(11) : std::string();
  // The step's end asks a board for its registers, once.
  if (r != StepResult::Error && !Failed()) RefreshDebugViews(false);
  return r != StepResult::Error && !Failed();
}

bool StepDone(uint8_t stepToken, uint16_t& address) {
  if (stepToken != tok::kLSTEP && stepToken != tok::kPSTEP) return true;
  const uint16_t pc = static_cast<uint16_t>(TargetRegisterValue(tok::kPC));
  SetPcField(pc);
  address = pc;
  if (Run().UserBreak || LineSymbolAt(pc)) return true;
  return ProcedureHolding(pc) != RunControl().StepProcedure;
}

bool ExecuteStep(uint8_t stepToken, uint16_t address, std::string& text) {
  RunState& run = Run();
  RunControlState& rc = RunControl();
  rc.StepProcedure = ProcedureHolding(address);
  // A step that fails gives the caption back as it found it: nothing runs.
  struct CaptionBack {
    uint8_t Was;
    bool Kept = false;
    ~CaptionBack() {
      if (!Kept) UpdateCaption(Was);
    }
  } captionBack{DebugStatus().Caption};
  UpdateCaption(kCaptionRunning);
  run.UserBreak = false;
  // A run over a call goes on while Executing is set, also for the main window's steps.
  const bool wasExecuting = run.Executing;
  run.Executing = true;
  struct Restore {
    RunState& Run;
    bool Was;
    ~Restore() { Run.Executing = Was; }
  } restore{run, wasExecuting};
  const bool overCalls = stepToken == tok::kTRACE || stepToken == tok::kPSTEP;
  bool first = true;
  int32_t steps = 0;
  for (;;) {
    bool done = false;
    while (overCalls && !run.UserBreak) {
      const uint8_t length = CallLength(address);
      if (Failed()) return false;  // the code could not be read
      if (!length) break;
      const uint16_t ret = static_cast<uint16_t>(address + length);
      if (!Quietly([&] { return CheckBreakPlacement(ret, false); })) break;
      if (!RunOverCall(address, ret)) return false;
      rc.PrevPC = static_cast<uint16_t>(TargetRegisterValue(tok::kPPC));
      SetPcField(static_cast<uint16_t>(TargetRegisterValue(tok::kPC)));
      if (CurrentBackend().Capabilities().BreakRegisters && StoppedOnCallEntry(stepToken, text)) {
        done = true;
        break;
      }
      address = PcField();
      first = false;
      if (StepDone(stepToken, address)) {
        done = true;
        break;
      }
    }
    if (done || Failed() || run.UserBreak) break;
    if (first && !SingleStep(address, text)) {
      SuspendMessages();
      ResumeMessages();
      return false;
    }
    if (StepDone(stepToken, address)) break;
    first = true;
    if (++steps % std::max(rc.SliceSteps, 1) == 0) PumpBetweenSlices();  // Esc can end a long LSTEP
  }
  captionBack.Kept = true;
  UpdateCaption(kCaptionHalted);
  RefreshDebugViews();
  rc.StepBroken = run.UserBreak;
  run.UserBreak = false;
  return !Failed();
}

// STEP|TRACE|LSTEP|PSTEP [FROM expr] [, watch]
void CmdStep() {
  if (!TargetStopped()) return;
  RunState& run = Run();
  RunControlState& rc = RunControl();
  const uint8_t kind = Executor().CommandToken;
  uint16_t start = PcField();
  uint8_t token = GetToken();
  if (token == tok::kFROM) {
    if (!ReadCodeAddress(start)) return;
    token = GetToken();
  }
  std::string watch;
  uint8_t watchRegister = 0;
  if (token == tok::kComma) {
    ScannerState& s = Scanner();
    watch = s.ScanChar + s.ScanLine.substr(std::min<size_t>(s.ScanPos - 1, s.ScanLine.size()));
    watch = watch.substr(0, watch.find('\r'));
    // Only a symbol, a register or a memory keyword with its address.
    const uint8_t head = PeekToken();
    if (IsWatchRegister(head) || head == tok::kSymbol) {
      GetToken();
    } else if (IsMemoryKeyword(head)) {
      Primary(true);  // the memory must read now
    } else {
      GetToken();
      if (!Failed()) PlainSyntaxError();
      return;
    }
    if (Failed()) return;
    if (GetToken() != tok::kEndOfLine) {
      if (!Failed()) PlainSyntaxError();
      return;
    }
    if (IsWatchRegister(head) && TokenText(head).find(UpperCase(TrimBlanks(watch))) == 0) watchRegister = head;
  } else if (token != tok::kEndOfLine) {
    if (!Failed()) PlainSyntaxError();
    return;
  }
  if (kind == tok::kLSTEP || kind == tok::kPSTEP) {
    const int32_t proc = ProcedureHolding(start);
    if (proc == kNoItem) {
      if (!IsYes(ReportWarning(warn::kNoModuleInformationFoundForCurrent))) return;
    } else {
      const auto& items = Collections().SymbolTable->Items;
      size_t i = static_cast<size_t>(proc) + 1;
      while (i < items.size() && items[i].SymClass != kClassProcedure && items[i].SymClass != kClassLine) ++i;
      if ((i >= items.size() || items[i].SymClass != kClassLine) &&
          !IsYes(ReportWarning(warn::kModuleNotContainLineInformation, items[static_cast<size_t>(proc)].Name)))
        return;
    }
  }
  if (!TargetSetRegister(tok::kPC, start)) return;
  SetPcField(start);
  run.ProgramRunning = true;
  run.Tracing = true;
  run.Executing = true;  // the run over a call goes on while it is set
  run.UserBreak = false;
  // STEP and TRACE go by instruction: a stop without a source line shows the
  // disassembly without asking.
  struct ByInstruction {
    explicit ByInstruction(bool on) { ListMap().StepByInstruction = on; }
    ~ByInstruction() { ListMap().StepByInstruction = false; }
  } byInstruction(kind == tok::kSTEP || kind == tok::kTRACE);
  for (;;) {
    rc.PrevPC = start;
    std::string text;
    const bool stepped = ExecuteStep(kind, start, text);
    EndRunningPrompt();
    if (!stepped) {
      NewLine();
      break;
    }
    ShowStepLine(kind, start, watch, watchRegister);
    PrintExecutionSource();
    if (rc.StepBroken) {
      // Esc during a long step: it stops where the program was.
      NewLine();
      ReportHalt(1);
      break;
    }
    const char key = ReadStepKey();
    if (key != kKeyEnter) NewLine();
    start = PcField();
    if (run.UserBreak) {
      ReportHalt(1);
      break;
    }
    if (key == kKeyEsc) break;
  }
  run.Executing = false;
  run.ProgramRunning = false;
  run.Tracing = false;
  run.UserBreak = false;
}

// Placement of a break that patches the code after it

bool CheckBreakPlacement(uint16_t address, bool checkBranches) {
  const uint32_t patch = CurrentBackend().Capabilities().BreakPatchBytes;
  if (!patch) return true;
  if (checkBranches && Collections().SymbolTable) {
    const tSymbolItem* procedure = nullptr;
    const tSymbolItem* label = nullptr;
    for (const tSymbolItem& s : Collections().SymbolTable->Items) {
      if (s.Value <= uint32_t{address} || s.Value >= address + patch) continue;
      if ((s.SymClass & 0x1F) == kClassScopeBegin && !procedure) procedure = &s;
      if ((s.SymClass & 0x1F) == kClassCode && !label) label = &s;
    }
    if (procedure && !IsYes(ReportWarning(warn::kBreakOverridesBeginProcedure, procedure->Name))) return false;
    if (!procedure && label && !IsYes(ReportWarning(warn::kBreakOverridesDestinationAddressBranch, label->Name)))
      return false;
  }
  for (uint32_t a = address; a < address + patch;) {
    if (DisassembleLine(static_cast<int32_t>(a)).empty()) return true;
    const tDisasLine& item = DisasLines().GetItem(static_cast<uint16_t>(a));
    if (item.OpCode == kOpRet || item.OpCode == kOpReti)
      return IsYes(ReportWarning(warn::kBreakOverridesRetRetiInstruction));
    a += std::max<uint8_t>(item.BytesNo, 1);
  }
  return true;
}

// Reset

void ResetTarget() {
  TargetBackend& backend = CurrentBackend();
  const TargetCapabilities caps = backend.Capabilities();
  if (!caps.HasTarget || !backend.Reset()) return;
  const ResetAftermath after = backend.AfterReset();
  // The banner the target sent as it restarted, a line at a time.
  const std::string banner = backend.TakeResetText();
  for (size_t at = 0; at < banner.size();) {
    const size_t end = std::min(banner.find('\r', at), banner.size());
    OutText(std::string_view(banner).substr(at, end - at));
    NewLine();
    at = end + 1;
  }
  if (after.Restarts) {
    Run().TargetBusy = true;
    const uint16_t userStart = RunControl().UserCodeStart;
    if (userStart != 0) TargetSetRegister(tok::kPC, userStart);
  }
  if (after.PcInRegisters) {
    // The chip starts again from its reset registers; it announces itself
    // after its reset, which the idle handler reads.
    SetPcField(Target().TargetRegs.PC);
  } else {
    RefreshDebugViews();
  }
}

// EXECUTION HALTED AT xxxx

void ReportHalt(uint8_t cause) {
  // On a line of its own: a bare "run>" gives its place, other text is ended.
  TerminalState& t = Terminal();
  if (t.TerminalEcho && t.Visible && t.Lines.back() == kPromptRunning) {
    t.Lines.back().clear();
    t.Caret = 0;
  } else if (!t.Lines.back().empty()) {
    NewLine();
  }
  OutText("EXECUTION HALTED ");
  OutText("AT ");
  OutHex4(PcField());
  if (CurrentBackend().Capabilities().BreakRegisters) {
    OutText("H BECAUSE OF ");
    if (cause == 0 || cause == kCauseNotOurs) {
      OutText(RunControl().HaltReason);
      if (cause == kCauseNotOurs) OutText(" without Dorvik's Activity");
    } else if (cause == 1) {
      OutText("USER BREAK");
    } else {
      OutToken(cause);
    }
  }
  NewLine();
  if (PrintExecutionSource()) NewLine();
}

}  // namespace dorvik

namespace dorvik {

// The idle handler's work for the targets behind a serial link

namespace {

// The halt the link reported: the PC field, the breaks taken out, the run state ended.
void TakeHalt(const LinkNews& news) {
  RunState& run = Run();
  const bool wasRunning = run.ProgramRunning;
  SetPcField(news.HaltPC);
  run.ProgramRunning = false;
  EndRunBusy();
  if (!run.Executing) {
    // A GO that returned at once: the console shows the halt and types "hlt>".
    RestoreBreakpoints();
    Terminal().MonitorPrompt = std::string(kPromptHalted);
    UpdateCaption(kCaptionHalted);
    RefreshDebugViews();
    if (wasRunning) {
      uint8_t cause = 0;
      const std::string& why = news.HaltReason;
      RunControl().HaltReason = why;
      if (news.NoBreak) cause = kCauseNotOurs;
      else if (why == "BR0") cause = tok::kBR0;
      else if (why == "BR1") cause = tok::kBR1;
      else if (why == "USER BREAK") cause = 1;
      const bool echo = Terminal().TerminalEcho;
      Terminal().TerminalEcho = true;
      ReportHalt(cause);
      ShowCursor();
      Terminal().TerminalEcho = echo;
    }
    run.TargetBusy = false;
  }
}

// A run that the idle handler ended (not inside a command's run over a call):
// the target is free for the next command, and the console shows its prompt.
void EndIdleRun() {
  RunState& run = Run();
  if (run.Executing) return;
  run.TargetBusy = false;
  ShowCursor();
}

// A stop report that arrived garbled or cut: the run's wait ends with one
// message, and the target is asked where it stands, as after a Halt (its
// failures are not shown again). A run over a call fails with it.
void EndRunAtGarbledReport() {
  MessageState& m = Messages();
  ReportError(err::kFramingError);
  {
    const SilencedMessages silenced;
    HaltProgram();
  }
  m.ErrorFlag = true;
  m.LastErrorCode = err::kFramingError;
  EndIdleRun();
}

}  // namespace

void LinkIdle() {
  RunState& run = Run();
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if (!caps.RunsProgramItself || !caps.HasTarget) return;
  // Something talks to the stopped target (a load's transfer): its replies
  // are its own, not news.
  if (run.TargetBusy && !run.ProgramRunning) return;
  if (!LinkIsOpen()) {
    // The line went away while the program ran: nothing can report its halt.
    if (run.ProgramRunning && !run.Tracing) {
      run.ProgramRunning = false;
      EndRunBusy();
      Terminal().MonitorPrompt = std::string(kPromptHalted);
      UpdateCaption(kCaptionHalted);
      if (!run.Executing) ShowCursor();
    }
    return;
  }
  if (run.ProgramRunning && run.UserBreak && !run.Executing && !Executor().Running) {
    // Esc while the program runs: it is stopped as by HALT.
    run.UserBreak = false;
    HaltProgram();
    EndIdleRun();
    return;
  }
  // A run over a call waits here in a loop: a short pause on the line instead of spinning.
  if (run.ProgramRunning && run.Executing) LinkIdleWait(2);
  LinkNews news;
  if (!LinkTakeNews(news)) return;
  if (news.Garbled) {
    if (run.ProgramRunning) EndRunAtGarbledReport();
    return;
  }
  if (news.Banner) {
    Target().CpuFamily = kFamilyOther;
    RunControl().UserCodeStart = news.UserCodeStart;
  }
  if (news.ChipAnnounced) {
    Target().CpuFamily = kFamilyAduc;
    if (run.ProgramRunning) {
      // The chip restarted while the program ran (it reset itself): the
      // program stopped at the reset, and the breaks go back into its code.
      Target().TargetRegs = tRegisterSet{};
      news.HaltPC = Target().TargetRegs.PC;
      TakeHalt(news);
    }
  }
  if (news.NoBreak && run.ProgramRunning) {
    // The monitor stopped the program without a break of the debugger's: it
    // is asked where, and the halt is reported as one the debugger did not cause.
    int32_t pc = PcField();
    if (CurrentBackend().ReadRegister(tok::kPC, pc) != RegisterRead::Value) pc = PcField();
    news.HaltPC = static_cast<uint16_t>(pc);
    news.HaltReason = "NO BREAK";
    TakeHalt(news);
  }
  if (news.Halted && run.ProgramRunning) TakeHalt(news);
}

}  // namespace dorvik
