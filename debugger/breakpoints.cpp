#include "debugger/breakpoints.h"

#include <optional>
#include <string>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/target.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/executor.h"
#include "debugger/terminal.h"
#include "debugger/breaklocations.h"
#include "debugger/editormodel.h"
#include "objfiles/includescan.h"
#include "objfiles/sourcetext.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"

namespace dorvik {

namespace {

bool IsSpaceKeyword(uint8_t t) {
  return t == tok::kBIT || t == tok::kCODE || t == tok::kXDATA || t == tok::kRDATA || t == tok::kIDATA ||
         t == tok::kEEPROM;
}

// The name of the module that holds Address, messages suspended; "" when none.
std::string ModuleHolding(uint16_t address) {
  if (!Collections().SymbolTable || !Collections().ModuleTable) return {};
  MessageState& m = Messages();
  const bool savedError = m.ErrorFlag;
  SuspendMessages();
  std::string name;
  if (FindProcedureAt(address))
    if (const tModuleItem* module = ModuleAt(Collections().FoundModule)) name = module->Name;
  ResumeMessages();
  m.ErrorFlag = savedError;
  return name;
}

// Where a label's line was looked for.
enum class LabelLine : uint8_t { Marked, NotInSource, NoSource };

// The line of Label, marked red (1-based): in the module's open page, else in
// each of the module's include files in turn; a hit in an include file opens it.
// NotInSource: the module's source was read and no line of it defines Label.
LabelLine MarkLabelLine(tBreak& bp, std::string_view module, std::string_view label) {
  const tModuleRec* node = FindModuleNode(module);
  if (!node) return LabelLine::NoSource;
  // The module's page, else its file: a page opened later shows the mark.
  std::vector<std::string> source;
  int32_t sourcePage = -1;
  const bool read = ReadSourceLines(node->FileName, false, source, sourcePage);
  if (read) {
    const int32_t index = FindLabelLine(source, label);
    if (index >= 0) {
      SetLineMark(index + 1, bp.Line, node->FileName, kBreakLineColor, false, false);
      return LabelLine::Marked;
    }
  }
  std::vector<std::string> includes;
  ScanIncludeFiles(node->FileName, &includes, true);
  for (const std::string& file : includes) {
    std::vector<std::string> lines;
    int32_t page = -1;
    if (!ReadSourceLines(file, false, lines, page)) continue;
    const int32_t index = FindLabelLine(lines, label);
    if (index < 0) continue;
    OpenFileInEditor(file, true);
    SetLineMark(index + 1, bp.Line, file, kBreakLineColor, true, false);
    return LabelLine::Marked;
  }
  return read ? LabelLine::NotInSource : LabelLine::NoSource;
}

// Entry 0 or 1 of a target with break registers: the other one may not lie
// within the 3 bytes of its patch. False when the user keeps the old one.
bool ResolveOverlap(const tBreak& bp, int32_t address) {
  BreakpointState& b = Breakpoints();
  tBreak* other = nullptr;
  if (&bp == &b.BreakTable[0]) other = &b.BreakTable[1];
  if (&bp == &b.BreakTable[1]) other = &b.BreakTable[0];
  if (!other || !other->Used) return true;
  const int32_t patch = CurrentBackend().Capabilities().BreakPatchBytes;
  const int32_t distance = address - other->Address;
  if (distance <= -patch || distance >= patch) return true;
  if (!IsYes(ReportWarning(warn::kNewBreakpointOverlapsBreakpointAlready))) return false;
  ClearBreakpoint(*other);
  return true;
}

}  // namespace

BreakpointState& Breakpoints() { return CurrentSession().Get<BreakpointState>(); }

int32_t FreeBreakpointSlot() {
  const BreakpointState& b = Breakpoints();
  for (int32_t i = 0; i <= b.LastBreakIndex && i < kBreakTableSize; ++i)
    if (!b.BreakTable[static_cast<size_t>(i)].Used) return i;
  return -1;
}

int32_t SlotForNewBreakpoint() {
  const int32_t free = FreeBreakpointSlot();
  if (free >= 0) return free;
  return IsYes(ReportWarning(warn::kTooManyBreakpoints)) ? Breakpoints().LastBreakIndex : -1;
}

void ClearBreakpoint(tBreak& bp) {
  ClearLineMark(bp.Line);
  bp.Used = false;
  bp.Enabled = false;
  BreakpointsChanged();
}

// Pieces shared with run control

bool ReadCodeAddress(uint16_t& addr) {
  const bool prefixed = IsSpaceKeyword(PeekToken());
  const long double value = Expression(tok::kNone);
  if (Messages().ErrorFlag) return false;
  if (prefixed) {
    addr = static_cast<uint16_t>(LowBits32(value) & 0xFFFF);
  } else if (value < 0 || value > 0xFFFF) {
    ReportError(err::kPartitionBoundsError);
    return false;
  } else {
    addr = static_cast<uint16_t>(value);
  }
  return true;
}

int32_t FindLabelLine(const std::vector<std::string>& lines, std::string_view label) {
  const std::string wanted = UpperCase(label) + ":";
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (UpperCase(std::string_view(line).substr(at, wanted.size())) == wanted) return static_cast<int32_t>(i);
  }
  return -1;
}

// Setting and showing

void SetBreakpointAt(tBreak& bp, int32_t address, bool showLine) {
  if (CurrentBackend().Capabilities().BreakPatchBytes && !ResolveOverlap(bp, address)) return;
  ClearLineMark(bp.Line);
  bp.Address = static_cast<uint16_t>(address);
  bp.Used = true;
  bp.Enabled = true;
  bp.Line = {};
  bp.Location.clear();  // a location of the old breakpoint never stays
  bp.Planted = bp.Armed = bp.Absolute = false;
  BreakpointsChanged();

  if (DisassembleLine(bp.Address).empty()) return;
  const tDisasLine& item = DisasLines().GetItem(bp.Address);
  const size_t hash = item.SourceLineNo.find('#');
  if (!item.SourceLineNo.empty() && item.SourceLineNo.front() == ':' && hash != std::string::npos) {
    const std::string module = item.SourceLineNo.substr(1, hash - 1);
    const std::string number = TrimBlanks(item.SourceLineNo.substr(hash + 1, 7));
    if (const tModuleRec* node = FindModuleNode(module))
      SetLineMark(std::stoi("0" + number), bp.Line, node->FileName, kBreakLineColor, showLine, showLine);
    bp.Location = ":" + module + "#" + number;
    return;
  }
  if (!item.LabelStr.empty()) {
    const std::string label = item.LabelStr.substr(0, item.LabelStr.find(':'));
    const std::string module = ModuleHolding(bp.Address);
    if (!module.empty()) {
      // A label that no line of the module's source defines (the module's
      // name, say) leaves the breakpoint to its source line, where it has one.
      if (MarkLabelLine(bp, module, label) != LabelLine::NotInSource || !ResolveBreakpointSource(bp))
        bp.Location = ":" + module + "." + label;
      return;
    }
  }
  bp.Location = FormatHex4(bp.Address);
  bp.Absolute = true;
  ResolveBreakpointSource(bp);
}

void ShowBreakpoint(uint8_t token) {
  BreakpointState& b = Breakpoints();
  int32_t index = 0;
  if (CurrentBackend().Capabilities().BreakRegisters) {
    index = token == tok::kBR0 ? 0 : 1;
    OutToken(token);
  } else {
    // BR0 and BR1 name their entries; BR shows the entry being set or listed.
    index = token == tok::kBR0 ? 0 : token == tok::kBR1 ? 1 : b.BreakpointIndex;
    OutToken(tok::kBREAK);
    OutChar(static_cast<char>('0' + index));
  }
  OutToken(tok::kEqual);
  const tBreak& bp = b.BreakTable[static_cast<size_t>(index)];
  if (bp.Used)
    OutText(bp.Location);
  else
    OutToken(tok::kRESET);
  NewLine();
}

// BR0 / BR1 alone show their entry, with "= address" set it. BR alone lists
// the entries (the monitor asks its own state first); BR = address takes the
// next free entry, BR = ON|OFF switches the monitor's break switch.
void CmdBreak() {
  if (!TargetStopped()) return;
  BreakpointState& b = Breakpoints();
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  const uint8_t command = Executor().CommandToken;
  const uint8_t next = GetToken();
  if (command == tok::kBR0 || command == tok::kBR1) {
    tBreak& bp = b.BreakTable[command == tok::kBR0 ? 0 : 1];
    if (next == tok::kEndOfLine) {
      ShowBreakpoint(command);
    } else if (next == tok::kEqual) {
      uint16_t addr = 0;
      if (!ReadCodeAddress(addr) || !CheckEndOfLine()) return;
      SetBreakpointAt(bp, addr, false);
    } else {
      PlainSyntaxError();
    }
    return;
  }
  if (next == tok::kEndOfLine) {
    if (caps.BreakRegisters) {
      // The target is asked for its break switch first: "BR=ON" is shown as it answers.
      std::optional<std::string> state;
      if (!CurrentBackend().BreakSwitch(state)) return;
      if (state) {
        OutToken(tok::kBR);
        OutText("=");
        OutText(*state);
        NewLine();
      }
      ShowBreakpoint(tok::kBR0);
      ShowBreakpoint(tok::kBR1);
      return;
    }
    bool any = false;
    for (int32_t i = 0; i <= b.LastBreakIndex; ++i) {
      if (!b.BreakTable[static_cast<size_t>(i)].Used) continue;
      any = true;
      b.BreakpointIndex = i;
      ShowBreakpoint(tok::kBR);
    }
    if (!any) ShowBreakpoint(tok::kBR0);  // an empty table shows its first entry free
    return;
  }
  if (next != tok::kEqual) {
    PlainSyntaxError();
    return;
  }
  if (caps.BreakRegisters) {
    const uint8_t sw = GetToken();
    if ((sw != tok::kON && sw != tok::kOFF) || GetToken() != tok::kEndOfLine) {
      PlainSyntaxError();
      return;
    }
    CurrentBackend().SetBreakSwitch(sw == tok::kON);
    return;
  }
  uint16_t addr = 0;
  if (!ReadCodeAddress(addr) || !CheckEndOfLine()) return;
  const int32_t index = SlotForNewBreakpoint();
  if (index < 0) return;
  // The last entry given up for the new one.
  if (b.BreakTable[static_cast<size_t>(index)].Used) ClearBreakpoint(b.BreakTable[static_cast<size_t>(index)]);
  b.BreakpointIndex = index;
  SetBreakpointAt(b.BreakTable[static_cast<size_t>(index)], addr, false);
}

void MarkBreakpointLocation(tBreak& bp) {
  const std::string& location = bp.Location;
  if (!bp.Used || location.size() < 2 || location.front() != ':') return;
  const size_t hash = location.find('#');
  if (hash != std::string::npos) {
    const tModuleRec* node = FindModuleNode(location.substr(1, hash - 1));
    const std::string number = TrimBlanks(location.substr(hash + 1, 7));
    if (!node || number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return;
    SetLineMark(std::stoi(number), bp.Line, node->FileName, kBreakLineColor, false, false);
    return;
  }
  const size_t dot = location.find('.');
  if (dot != std::string::npos) MarkLabelLine(bp, location.substr(1, dot - 1), location.substr(dot + 1));
}

void ClearBreakpointMarks() {
  BreakpointState& b = Breakpoints();
  for (tBreak& bp : b.BreakTable) ClearLineMark(bp.Line);
  ClearLineMark(b.ArmBreak.Line);
}

void MarkAllBreakpoints() {
  BreakpointState& b = Breakpoints();
  auto mark = [](const tBreak& bp) {
    if (bp.Used && bp.Line.Page >= 0) EditorModel().LineMarks[bp.Line.Page][bp.Line.Line] = kBreakLineColor;
  };
  for (int32_t i = 0; i <= b.LastBreakIndex; ++i) mark(b.BreakTable[static_cast<size_t>(i)]);
  mark(b.ArmBreak);
  ++EditorModel().EditorRevision;
}

}  // namespace dorvik
