#include "debugger/breaklocations.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "access/disasline.h"
#include "access/target.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/editormodel.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "objfiles/listmap.h"
#include "objfiles/sourcetext.h"
#include "platform/files.h"
#include "platform/text.h"

namespace dorvik {

namespace {

// The line symbol nearest at or below Addr within the module whose code
// holds Addr, and that module's name.
bool NearestLine(uint16_t addr, std::string& module, int32_t& line) {
  const auto& table = Collections().SymbolTable;
  const auto& modules = Collections().ModuleTable;
  if (!table || !modules) return false;
  uint32_t low = 0;
  bool held = false;
  for (const tModuleItem& m : modules->Items)
    if (m.Start <= addr && addr <= m.Stop) {
      low = m.Start;
      held = true;
      break;
    }
  if (!held) return false;
  std::string current;
  bool found = false;
  uint32_t best = 0;
  for (const tSymbolItem& s : table->Items) {
    if (s.SymClass == kClassProcedure) current = s.Name;
    if (s.SymClass != kClassLine || s.Value > addr || s.Value < low) continue;
    if (!found || s.Value > best) {  // the first line of the nearest address
      found = true;
      best = s.Value;
      module = current;
      line = s.Number;
    }
  }
  return found;
}

// The address of line Line of Module, from its line symbols.
bool LineAddress(std::string_view module, int32_t line, uint16_t& addr) {
  const auto& table = Collections().SymbolTable;
  if (!table) return false;
  const std::string wanted = UpperCase(module);
  std::string current;
  for (const tSymbolItem& s : table->Items) {
    if (s.SymClass == kClassProcedure) current = UpperCase(s.Name);
    if (s.SymClass == kClassLine && s.Number == line && current == wanted) {
      addr = static_cast<uint16_t>(s.Value);
      return true;
    }
  }
  return false;
}

// A location text evaluated as an expression ("MODULE.LABEL"), the command's scanner kept.
bool EvaluateLocation(std::string_view text, uint16_t& addr) {
  SavedStates<ScannerState, EvaluatorState> saved;
  MessageState& m = Messages();
  const bool savedError = m.ErrorFlag;
  m.ErrorFlag = false;
  SuspendMessages();
  SetScanLine(std::string(text) + "\r", false);
  const long double value = Expression(tok::kEndOfLine);
  const bool ok = !m.ErrorFlag && value >= 0 && value < 0x10000;
  ResumeMessages();
  m.ErrorFlag = savedError;
  if (ok) addr = static_cast<uint16_t>(value);
  return ok;
}

}  // namespace

std::string GetCodeBytesText(uint16_t address) {
  MessageState& m = Messages();
  const bool error = std::exchange(m.ErrorFlag, false);
  size_t count = 1;
  if (!DisassembleLine(address).empty()) count = std::max<size_t>(1, DisasLines().GetItem(address).BytesNo);
  // A code read that failed has said why once; the bytes are not read again.
  if (m.ErrorFlag) return {};
  m.ErrorFlag = error;
  std::array<uint8_t, 3> bytes{};
  if (!TargetReadBytes(kSpaceCode, address, std::span<uint8_t>(bytes.data(), count))) return {};
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i) text += ',';
    text += '0';
    text += FormatHex2(bytes[i]);
  }
  return text;
}

bool ResolveBreakpointSource(tBreak& bp) {
  std::string module;
  int32_t line = 0;
  if (NearestLine(bp.Address, module, line)) {
    bp.Location = ":" + module + "#" + std::to_string(line);
    if (const tModuleRec* node = FindModuleNode(module))
      SetLineMark(line, bp.Line, node->FileName, kBreakLineColor, false, false);
    return true;
  }
  // An assembler module has no line symbols: its listing gives the line, and
  // the breakpoint is a source breakpoint of that line, which a load moves.
  std::string file;
  if (!SourceLineOfAddress(bp.Address, file, line, &module)) return false;
  bp.Location = ":" + UpperCase(module) + "#" + std::to_string(line);
  bp.Absolute = false;
  SetLineMark(line, bp.Line, file, kBreakLineColor, false, false);
  return true;
}

bool SourceLineAddress(std::string_view fileName, const std::vector<std::string>& lines, int32_t index,
                       uint16_t& address, std::string& location) {
  if (index < 0 || static_cast<size_t>(index) >= lines.size()) return false;
  const tModuleRec* node = FindModuleNodeByFile(fileName);
  const tFileTypeRec* type = node ? FindFileTypeOf(node->FileName) : nullptr;
  // A C module: its line symbols.
  if (node && type && type->Kind == kFileC) {
    if (!LineAddress(node->Name, index + 1, address)) return false;
    location = ":" + UpperCase(node->Name) + "#" + std::to_string(index + 1);
    return true;
  }
  // An assembler source or one of its include files: the listing of the
  // module that holds it.
  for (const tModuleRec& module : Project().ProjectModules) {
    if (node && &module != node) continue;
    const tFileTypeRec* kind = FindFileTypeOf(module.FileName);
    if (!kind || kind->Kind != kFileAssembler) continue;
    if (ListingAddressOfSourceLine(module, fileName, lines, index, address)) {
      location = ":" + UpperCase(module.Name) + "#" + std::to_string(index + 1);
      return true;
    }
  }
  return false;
}

namespace {

// The number after '#' of a location text; 0 when there is none.
int32_t LocationLineNumber(std::string_view location) {
  const size_t hash = location.find('#');
  if (hash == std::string_view::npos) return 0;
  int32_t line = 0;
  for (char c : TrimBlanks(location.substr(hash + 1)))
    if (IsDigit(c) && line < 10000000) line = line * 10 + (c - '0');
  return line;
}

// The module a location text names (":" module "#" line or ":" module "." label).
std::string LocationModule(std::string_view location) {
  if (location.size() < 2 || location.front() != ':') return {};
  const size_t end = location.find_first_of("#.");
  return std::string(location.substr(1, end == std::string_view::npos ? end : end - 1));
}

// The loaded program holds a module of that name.
bool ModuleLoaded(std::string_view name) {
  const auto& modules = Collections().ModuleTable;
  if (!modules) return false;
  const std::string wanted = UpperCase(name);
  return std::any_of(modules->Items.begin(), modules->Items.end(),
                     [&](const tModuleItem& m) { return UpperCase(m.Name) == wanted; });
}

// Where a source breakpoint's line is now: the file and line its mark holds
// (it moved with the edits since), else the module's source and the line its
// location names.
struct BreakLine {
  std::string Module;
  std::string File;
  int32_t Line = 0;
};
BreakLine SourceBreakLine(const tBreak& bp) {
  BreakLine at{LocationModule(bp.Location), {}, LocationLineNumber(bp.Location)};
  if (const tModuleRec* node = FindModuleNode(at.Module)) at.File = node->FileName;
  if (!bp.Line.FileName.empty() && bp.Line.Line > 0) {
    at.File = bp.Line.FileName;
    at.Line = bp.Line.Line;
  }
  return at;
}

// The address of a source breakpoint's line in the program now loaded:
// through the listing of an assembler module, the line symbols of another.
// While the loaded program was built before the line's file was edited, the
// breakpoint stays at its address when the listing still puts its line's
// statement there.
bool SourceBreakpointAddress(const tBreak& bp, const BreakLine& at, uint16_t& addr) {
  if (at.Line < 1 || bp.Line.Deleted) return false;
  const tModuleRec* node = FindModuleNode(at.Module);
  const tFileTypeRec* type = node ? FindFileTypeOf(node->FileName) : nullptr;
  if (!type || type->Kind != kFileAssembler) return LineAddress(at.Module, at.Line, addr);
  std::vector<std::string> lines;
  int32_t page = -1;
  if (!ReadSourceLines(at.File, false, lines, page)) return false;
  if (ListingStatementStaysAt(*node, at.File, lines, at.Line - 1, bp.Address)) {
    addr = bp.Address;
    return true;
  }
  return ListingAddressOfSourceLine(*node, at.File, lines, at.Line - 1, addr);
}

// A source breakpoint at Address on line Line of File: its mark there, its
// location ":" module "#" line (the line of that file, an include file's own).
void PlaceOnLine(tBreak& bp, uint16_t address, std::string_view module, std::string_view file, int32_t line) {
  bp.Address = address;
  bp.Planted = bp.Armed = bp.Absolute = false;
  bp.Location = ":" + UpperCase(module) + "#" + std::to_string(line);
  SetLineMark(line, bp.Line, file, kBreakLineColor, false, false);
}

// Warning 62 for a breakpoint whose place is lost: Yes clears it; No keeps
// it at its address as an address breakpoint, drawn on that address's line.
void AskLostBreakpoint(tBreak& bp) {
  ClearLineMark(bp.Line);
  if (IsYes(ReportWarning(warn::kAbsoluteAllocatedBreakpointDetectedAt, bp.Location, DisassembleLine(bp.Address)))) {
    bp.Used = false;
    bp.Enabled = false;
    return;
  }
  tBreak drawn = bp;
  if (ResolveBreakpointSource(drawn)) bp.Line = drawn.Line;
  bp.Location = FormatHex4(bp.Address);
  bp.Absolute = true;
}

}  // namespace

bool KeepSourceLine(tBreak& bp, std::string_view fileName, std::string_view location) {
  const int32_t line = LocationLineNumber(location);
  const std::string module = LocationModule(location);
  if (!bp.Used || line < 1 || module.empty()) return false;
  // Already there (a label's breakpoint on its label's line keeps its label).
  if (bp.Line.Line == line && (platform::SameText(bp.Line.FileName, fileName) ||
                               platform::SameFile(bp.Line.FileName, std::string(fileName))))
    return true;
  PlaceOnLine(bp, bp.Address, module, fileName, line);
  BreakpointsChanged();
  return true;
}

std::string SavedLocation(const tBreak& bp) {
  if (bp.Absolute || bp.Location.find('#') == std::string::npos) return bp.Location;
  const BreakLine at = SourceBreakLine(bp);
  if (at.Module.empty() || at.Line < 1) return bp.Location;
  return ":" + at.Module + "#" + std::to_string(at.Line);
}

// A source breakpoint (":" module "#" line) moves to its line's new address,
// a symbolic one (":" module "." label) to its label's; one at a bare address
// looks for its source again. What no longer resolves, and a source or
// symbolic one of a module the loaded program does not hold, asks warning 62.
void RelocateBreakpoint(tBreak& bp) {
  if (!bp.Used) return;
  BreakpointsChanged();
  const bool enabled = bp.Enabled;
  const std::string location = bp.Location;
  if (bp.Absolute || location.empty() || location.front() != ':') {
    ClearLineMark(bp.Line);
    if (ResolveBreakpointSource(bp)) return;
    bp.Location = FormatHex4(bp.Address);
    bp.Absolute = true;
  } else if (ModuleLoaded(LocationModule(location))) {
    uint16_t addr = 0;
    if (location.find('#') != std::string::npos) {
      const BreakLine at = SourceBreakLine(bp);
      if (SourceBreakpointAddress(bp, at, addr)) {
        PlaceOnLine(bp, addr, at.Module, at.File, at.Line);
        return;
      }
    } else if (EvaluateLocation(location, addr)) {
      SetBreakpointAt(bp, addr, false);
      bp.Enabled = enabled;
      return;
    }
  }
  AskLostBreakpoint(bp);
}

void RelocateBreakpoints(bool sourceLevel) {
  BreakpointState& bps = Breakpoints();
  const auto relocate = [sourceLevel](tBreak& bp) {
    if (sourceLevel) {
      RelocateBreakpoint(bp);
      return;
    }
    // No source lines to place them on: the marks go; a breakpoint of a
    // module the program does not hold would stop in another program's code.
    ClearLineMark(bp.Line);
    const std::string module = LocationModule(bp.Location);
    if (bp.Used && !module.empty() && !ModuleLoaded(module)) {
      BreakpointsChanged();
      AskLostBreakpoint(bp);
      ClearLineMark(bp.Line);
    }
  };
  for (int32_t i = 0; i <= bps.LastBreakIndex && i < kBreakTableSize; ++i)
    relocate(bps.BreakTable[static_cast<size_t>(i)]);
  relocate(bps.ArmBreak);
}

}  // namespace dorvik
