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

// The address of a source breakpoint's line in the program now loaded: the
// line its mark holds (it moved with the edits since), else the line its
// location names in the module's source; through the listing of an
// assembler module, the line symbols of another.
bool SourceBreakpointAddress(const tBreak& bp, uint16_t& addr) {
  const std::string& location = bp.Location;
  const std::string module = location.substr(1, location.find('#') - 1);
  const tModuleRec* node = FindModuleNode(module);
  std::string file = node ? node->FileName : std::string();
  int32_t line = LocationLineNumber(location);
  if (!bp.Line.FileName.empty() && bp.Line.Line > 0) {
    file = bp.Line.FileName;
    line = bp.Line.Line;
  }
  if (line < 1) return false;
  const tFileTypeRec* type = node ? FindFileTypeOf(node->FileName) : nullptr;
  if (!type || type->Kind != kFileAssembler) return LineAddress(module, line, addr);
  std::vector<std::string> lines;
  int32_t page = -1;
  return ReadSourceLines(file, false, lines, page) && ListingAddressOfSourceLine(*node, file, lines, line - 1, addr);
}

}  // namespace

// A source breakpoint (":" module "#" line) moves to its line's new address,
// a symbolic one (":" module "." label) to its label's; one at a bare address
// looks for its source again. What no longer resolves asks warning 62 and is
// cleared on Yes; on No it stays at its address without a line mark.
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
  } else {
    uint16_t addr = 0;
    const bool found = location.find('#') != std::string::npos ? SourceBreakpointAddress(bp, addr)
                                                                : EvaluateLocation(location, addr);
    if (found) {
      SetBreakpointAt(bp, addr, false);
      bp.Enabled = enabled;
      return;
    }
    ClearLineMark(bp.Line);
  }
  if (IsYes(ReportWarning(warn::kAbsoluteAllocatedBreakpointDetectedAt, bp.Location, DisassembleLine(bp.Address)))) {
    bp.Used = false;
    bp.Enabled = false;
  }
}

}  // namespace dorvik
