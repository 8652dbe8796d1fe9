#include "debugger/views.h"

#include "debugger/runcontrol.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/target.h"
#include "base/messages.h"
#include "base/projectlists.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/terminal.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "platform/files.h"

namespace dorvik {

namespace {

// The status fields and their captions.
constexpr std::array<std::string_view, 20> kStatusFields = {
    "SP", "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7", "DPTR",
    "PC", "PSW", "ACC", "B", "CY", "AC", "F0", "OV", "P", "RBS"};

std::string Bit(uint8_t psw, uint8_t mask) { return (psw & mask) ? "1" : "0"; }

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

ViewsState::ViewsState() {
  for (std::string_view name : kStatusFields) {
    std::string key = "st";
    key += name;
    StatusFields[key] = std::string(name) + "\r";
  }
}

ViewsState& Views() { return CurrentSession().Get<ViewsState>(); }

// Status fields and caption

void SetRegisterText(std::string_view name, std::string_view value) {
  auto it = Views().StatusFields.find("st" + std::string(name));
  if (it == Views().StatusFields.end()) return;
  const size_t cr = it->second.find('\r');
  it->second = (cr == std::string::npos ? std::string() : it->second.substr(0, cr + 1)) + std::string(value);
}

std::string RegisterText(std::string_view name) {
  auto it = Views().StatusFields.find("st" + std::string(name));
  if (it == Views().StatusFields.end()) return {};
  const size_t cr = it->second.find('\r');
  return cr == std::string::npos ? std::string() : it->second.substr(cr + 1);
}

// The fields that every target fills from its register frame.
static void ShowSharedRegisters(const tRegisterFrame& r) {
  SetRegisterText("SP", FormatHex2(r.SP));
  SetRegisterText("DPTR", FormatHex4(static_cast<uint16_t>(r.DPTR)));
  SetRegisterText("PSW", FormatHex2(r.PSW));
  SetRegisterText("ACC", FormatHex2(r.ACC));
  for (const auto& [name, bit] : {std::pair{"CY", psw::CY}, {"AC", psw::AC}, {"F0", psw::F0}, {"OV", psw::OV}, {"P", psw::P}})
    SetRegisterText(name, Bit(r.PSW, bit));
  SetRegisterText("RBS", std::to_string((r.PSW & 0x18) >> 3));
}

void RefreshDebugViews() {
  ViewsState& v = Views();
  ++v.RefreshCount;
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if (!caps.LocalImages) {
    // A board: the values it reported, without asking it (the PC of its last
    // stop; the ADuC's register shadows); the other fields stay as they are.
    if (!caps.HasTarget) return;
    SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(Run().CurrentPC)));
    tRegisterFrame r{};
    if (!CurrentBackend().ReportedRegisters(r)) return;
    SetRegisterText("R0", FormatHex2(r.R[0]));
    ShowSharedRegisters(r);
    return;
  }
  tRegisterFrame f{};
  TargetGetRegisters(f);
  Run().CurrentPC = f.PC;
  for (size_t n = 0; n < 8; ++n) SetRegisterText("R" + std::to_string(n), FormatHex2(f.R[n]));
  SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(f.PC)));
  SetRegisterText("B", FormatHex2(f.B));
  ShowSharedRegisters(f);
  Run().TargetReady = true;
}

void UpdateCaption(uint8_t state) { Views().Caption = state; }

void DebugViewsIdle() {
  LinkIdle();
  const RunState& run = Run();
  TerminalState& t = Terminal();
  if (run.ProgramRunning || run.Executing || t.MonitorPrompt != kPromptRunning) return;
  if (CurrentBackend().Capabilities().RunsProgramItself) return;  // the link's reply ends those runs
  t.MonitorPrompt = std::string(kPromptHalted);
  UpdateCaption(kCaptionHalted);
}

// Editor pages and marks

int32_t OpenFileInEditor(std::string_view fileName, bool open) {
  ViewsState& v = Views();
  const std::string wanted = UpperCase(fileName);
  for (size_t i = 0; i < v.Pages.size(); ++i)
    if (UpperCase(v.Pages[i].FileName) == wanted) {
      if (open) v.ActivePage = static_cast<int32_t>(i);
      return static_cast<int32_t>(i);
    }
  if (!open) return -1;
  std::string content;
  if (!platform::ReadWholeFile(std::string(fileName), content)) return -1;
  TEditSheet& sheet = v.Pages.emplace_back();
  sheet.FileName = std::string(fileName);
  sheet.Editor.SetText(content);
  v.ActivePage = static_cast<int32_t>(v.Pages.size() - 1);
  return v.ActivePage;
}

TEditSheet* PageAt(int32_t page) {
  ViewsState& v = Views();
  return page >= 0 && static_cast<size_t>(page) < v.Pages.size() ? &v.Pages[static_cast<size_t>(page)] : nullptr;
}

int64_t LineMarkColor(int32_t page, int32_t line) {
  const auto& marks = Views().LineMarks;
  auto p = marks.find(page);
  if (p == marks.end()) return -1;
  auto l = p->second.find(line);
  return l == p->second.end() ? -1 : int64_t{l->second};
}

void SetLineMark(int32_t line, tShowedLine& mark, std::string_view fileName, uint32_t lineColor, bool openFile,
                 bool gotoLine) {
  // The name is kept as given: the file system tells letter cases apart.
  if (platform::SameText(mark.FileName, fileName) && mark.Line == line &&
      LineMarkColor(mark.Page, line) == int64_t{lineColor})
    return;
  ClearLineMark(mark);
  const int32_t page = OpenFileInEditor(fileName, openFile);
  if (page < 0) return;
  if (gotoLine) Views().ActivePage = page;
  Views().LineMarks[page][line] = lineColor;
  mark = {std::string(fileName), page, line};
}

void ClearLineMark(tShowedLine& mark) {
  if (mark.Page >= 0) {
    auto& marks = Views().LineMarks;
    auto p = marks.find(mark.Page);
    if (p != marks.end()) p->second.erase(mark.Line);
  }
  mark.Page = -1;
  mark.Line = -1;
}

int32_t FindLineContaining(const std::vector<std::string>& lines, std::string_view text, bool collapse) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = UpperCase(lines[i]);
    if (collapse) {
      std::string squeezed;
      for (char c : line)
        if (!(c == ' ' && !squeezed.empty() && squeezed.back() == ' ')) squeezed += c;
      line = squeezed;
    }
    if (line.find(text) != std::string::npos) return static_cast<int32_t>(i);
  }
  return -1;
}

// Breakpoint services

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
  if (!NearestLine(bp.Address, module, line)) return false;
  bp.Location = ":" + module + "#" + std::to_string(line);
  if (const tModuleRec* node = FindModuleNode(module))
    SetLineMark(line, bp.Line, node->FileName, kBreakLineColor, false, false);
  return true;
}

// A source breakpoint (":" module "#" line) moves to the line's new address;
// one whose line is gone asks warning 62 and is cleared on Yes. A symbolic one
// (":" module "." label) evaluates its label again. A bare address stays.
void RelocateBreakpoint(tBreak& bp) {
  if (!bp.Used || bp.Location.empty() || bp.Location.front() != ':') return;
  const std::string location = bp.Location;
  const bool enabled = bp.Enabled;
  uint16_t addr = 0;
  bool found = false;
  const size_t hash = location.find('#');
  if (hash != std::string::npos) {
    const std::string number = TrimBlanks(location.substr(hash + 1));
    int32_t line = 0;
    for (char c : number) line = IsDigit(c) ? line * 10 + (c - '0') : line;
    found = !number.empty() && LineAddress(location.substr(1, hash - 1), line, addr);
  } else {
    found = EvaluateLocation(location.substr(1), addr);
  }
  if (found) {
    SetBreakpointAt(bp, addr, false);
    bp.Enabled = enabled;
    return;
  }
  if (IsYes(ReportWarning(warn::kAbsoluteAllocatedBreakpointDetectedAt, location, DisassembleLine(bp.Address)))) {
    ClearLineMark(bp.Line);
    bp.Used = false;
    bp.Enabled = false;
  }
}

}  // namespace dorvik
