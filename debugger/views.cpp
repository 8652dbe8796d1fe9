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
#include "access/transport.h"
#include "base/messages.h"
#include "project/project.h"
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
#include "objfiles/listmap.h"
#include "objfiles/sourcetext.h"
#include "platform/files.h"

#include <cerrno>

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

bool FollowRunningPC() {
  if (!Run().ProgramRunning || !CurrentBackend().Capabilities().LocalImages) return false;
  SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(Run().CurrentPC)));
  return true;
}

void RefreshDebugViews(bool askBoard) {
  ViewsState& v = Views();
  ++v.RefreshCount;
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if (!caps.LocalImages) {
    // A board: the PC of its last stop, and its registers asked of it while
    // it stands still on an open line (a command that failed has said why:
    // it is not asked again). Otherwise what it reported (the ADuC's
    // shadows); the other fields stay as they are.
    if (!caps.HasTarget) return;
    SetRegisterText("PC", FormatHex4(static_cast<uint16_t>(Run().CurrentPC)));
    const RunState& run = Run();
    tRegisterFrame r{};
    // (Between two steps of STEP or TRACE the program stands still.)
    const bool still = !run.ProgramRunning || run.Tracing;
    if (askBoard && still && LinkIsOpen() && !Messages().ErrorFlag) {
      TargetGetRegisters(r);
      if (!Messages().ErrorFlag) {
        for (size_t n = 0; n < 8; ++n) SetRegisterText("R" + std::to_string(n), FormatHex2(r.R[n]));
        SetRegisterText("B", FormatHex2(r.B));
        ShowSharedRegisters(r);
        return;
      }
    }
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

namespace {

// Every line mark the engine keeps, with the colour of its line: the
// breakpoints first, so that the located and the execution line lie on top.
template <class Fn>
void ForEachMark(Fn fn) {
  BreakpointState& b = Breakpoints();
  for (tBreak& bp : b.BreakTable) fn(bp.Line, kBreakLineColor);
  fn(b.ArmBreak.Line, kBreakLineColor);
  fn(Views().LocateLine, kLocateLineColor);
  fn(ListMap().ExecLine, kExecLineColor);
}

// One file by two names: the same text without regard to case (as the
// project and the listings write it), else the same file on disk.
bool SameSourceFile(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  return platform::SameText(a, b) || platform::SameFile(std::string(a), std::string(b));
}

std::string LineBreakOf(std::string_view content) {
  const size_t at = content.find_first_of("\r\n");
  if (at == std::string_view::npos || content[at] == '\n') return "\n";
  return at + 1 < content.size() && content[at + 1] == '\n' ? "\r\n" : "\r";
}

}  // namespace

EditorFileStatus ReadEditorFile(const std::string& fileName, TEditSheet& sheet, int* ioCode) {
  if (platform::InputKindError(fileName) == EISDIR) return EditorFileStatus::kFolder;
  std::string content;
  if (!platform::ReadWholeFile(fileName, content, kEditorFileLimit)) {
    const int code = platform::TakeIOResult();
    if (ioCode) *ioCode = code;
    if (code == ENOENT) return EditorFileStatus::kMissing;
    if (code == EISDIR) return EditorFileStatus::kFolder;
    if (code == EFBIG) return EditorFileStatus::kTooLarge;
    return EditorFileStatus::kUnreadable;
  }
  if (content.find('\0') != std::string::npos) return EditorFileStatus::kNotText;
  sheet.FileName = fileName;
  sheet.Editor.SetText(content);
  sheet.LineBreak = LineBreakOf(content);
  sheet.FinalLineBreak = !content.empty() && (content.back() == '\n' || content.back() == '\r');
  sheet.ReadOnly = sheet.Editor.Lines.size() > kEditableLineLimit;
  sheet.FileTime = 0;
  platform::FileModifiedTime(fileName, sheet.FileTime);
  ++sheet.Loads;
  return EditorFileStatus::kRead;
}

void ReportEditorFileStatus(EditorFileStatus status, const std::string& fileName, int ioCode) {
  switch (status) {
    case EditorFileStatus::kRead: return;
    case EditorFileStatus::kMissing: ReportError(err::kCannotOpenFile, fileName + " (" + platform::OsErrorText(ENOENT) + ")"); return;
    case EditorFileStatus::kFolder: ReportError(err::kCannotOpenFile, fileName + " (" + platform::OsErrorText(EISDIR) + ")"); return;
    case EditorFileStatus::kNotText: ReportError(err::kCannotOpenFile, fileName + " (not a text file)"); return;
    case EditorFileStatus::kTooLarge: ReportError(err::kErrorReadingFile, fileName + " (" + platform::OsErrorText(EFBIG) + ")"); return;
    case EditorFileStatus::kUnreadable:
      ReportError(err::kErrorReadingFile, fileName + " (" + platform::OsErrorText(ioCode) + ")");
      return;
  }
}

namespace {

// A new page for a file read into Sheet: made active, and the marks kept
// for its file while it was closed come back.
int32_t AddPage(TEditSheet&& sheet) {
  ViewsState& v = Views();
  v.Pages.push_back(std::move(sheet));
  const int32_t page = static_cast<int32_t>(v.Pages.size() - 1);
  v.ActivePage = page;
  const std::string& name = v.Pages.back().FileName;
  ForEachMark([&](tShowedLine& mark, uint32_t color) {
    if (mark.Page >= 0 || mark.Line < 0 || !SameSourceFile(mark.FileName, name)) return;
    mark.Page = page;
    v.LineMarks[page][mark.Line] = color;
  });
  ++v.EditorRevision;
  return page;
}

int32_t FindPage(std::string_view fileName) {
  const ViewsState& v = Views();
  for (size_t i = 0; i < v.Pages.size(); ++i)
    if (SameSourceFile(v.Pages[i].FileName, fileName)) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace

int32_t OpenFileInEditor(std::string_view fileName, bool open) {
  ViewsState& v = Views();
  const int32_t existing = FindPage(fileName);
  if (existing >= 0) {
    if (open && v.ActivePage != existing) {
      v.ActivePage = existing;
      ++v.EditorRevision;
    }
    return existing;
  }
  if (!open) return -1;
  TEditSheet sheet;
  if (ReadEditorFile(std::string(fileName), sheet) != EditorFileStatus::kRead) return -1;
  return AddPage(std::move(sheet));
}

int32_t OpenEditorPage(const std::string& fileName) {
  const int32_t existing = FindPage(fileName);
  if (existing >= 0) return OpenFileInEditor(fileName, true);
  TEditSheet sheet;
  int code = 0;
  const EditorFileStatus status = ReadEditorFile(fileName, sheet, &code);
  if (status != EditorFileStatus::kRead) {
    ReportEditorFileStatus(status, fileName, code);
    return -1;
  }
  if (sheet.ReadOnly) ReportWarning(warn::kFileTooLongForEditing, fileName);
  return AddPage(std::move(sheet));
}

bool ReloadPage(int32_t page) {
  TEditSheet* sheet = PageAt(page);
  if (!sheet) return false;
  TEditSheet fresh;
  fresh.Loads = sheet->Loads;
  int code = 0;
  const EditorFileStatus status = ReadEditorFile(sheet->FileName, fresh, &code);
  if (status != EditorFileStatus::kRead) {
    ReportEditorFileStatus(status, sheet->FileName, code);
    return false;
  }
  *sheet = std::move(fresh);
  ++Views().EditorRevision;
  return true;
}

void ClosePage(int32_t page) {
  ViewsState& v = Views();
  if (!PageAt(page)) return;
  v.Pages.erase(v.Pages.begin() + page);
  std::map<int32_t, std::map<int32_t, uint32_t>> marks;
  for (auto& [p, lines] : v.LineMarks)
    if (p != page) marks[p > page ? p - 1 : p] = std::move(lines);
  v.LineMarks = std::move(marks);
  auto move = [page](tShowedLine& mark) {
    if (mark.Page == page) mark.Page = -1;  // kept by file and line
    else if (mark.Page > page) --mark.Page;
  };
  ForEachMark([&](tShowedLine& mark, uint32_t) { move(mark); });
  move(v.GotoLine);
  if (v.GotoLine.Page < 0) v.GotoLine.Line = -1;
  if (v.ActivePage > page || v.ActivePage >= static_cast<int32_t>(v.Pages.size())) --v.ActivePage;
  ++v.EditorRevision;
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
  ViewsState& v = Views();
  // The name is kept as given: the file system tells letter cases apart.
  if (SameSourceFile(mark.FileName, fileName) && mark.Line == line && mark.Page >= 0 &&
      LineMarkColor(mark.Page, line) == int64_t{lineColor})
    return;
  ClearLineMark(mark);
  const int32_t page = OpenFileInEditor(fileName, openFile);
  // A file without a page keeps the mark by file and line: it shows when the file opens.
  mark = {std::string(fileName), page, line};
  if (page < 0) return;
  if (gotoLine) {
    v.ActivePage = page;
    v.GotoLine = mark;
  }
  v.LineMarks[page][line] = lineColor;
  ++v.EditorRevision;
}

void ClearLineMark(tShowedLine& mark) {
  ViewsState& v = Views();
  if (mark.Page >= 0 && mark.Line >= 0) {
    auto p = v.LineMarks.find(mark.Page);
    if (p != v.LineMarks.end()) p->second.erase(mark.Line);
    // Another mark on the same line shows again (a breakpoint under the execution line).
    ForEachMark([&](tShowedLine& other, uint32_t color) {
      if (&other != &mark && other.Page == mark.Page && other.Line == mark.Line) v.LineMarks[mark.Page][mark.Line] = color;
    });
    ++v.EditorRevision;
  }
  mark.Page = -1;
  mark.Line = -1;
}

void EditPageText(int32_t page, std::string_view text, int32_t firstChanged) {
  TEditSheet* sheet = PageAt(page);
  if (!sheet) return;
  const std::vector<std::string> old = std::move(sheet->Editor.Lines);
  sheet->Editor.SetText(text);
  // The page shows the file without its final line end (the save adds it
  // back): a line end at the page's end is an empty last line of its own.
  if (!text.empty() && text.back() == '\n') sheet->Editor.Lines.emplace_back();
  const std::vector<std::string>& now = sheet->Editor.Lines;
  // The changed lines: what lies before and after them is the same in both.
  size_t prefix = 0;
  const size_t limit = std::min(old.size(), now.size());
  const size_t from = firstChanged < 0 ? limit : std::min(limit, static_cast<size_t>(firstChanged));
  while (prefix < from && old[prefix] == now[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
         old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
    ++suffix;
  const auto oldEnd = static_cast<int32_t>(old.size() - suffix);
  const auto newEnd = static_cast<int32_t>(now.size() - suffix);
  if (oldEnd == newEnd) return;
  const auto first = static_cast<int32_t>(prefix);
  // A mark below the change moves with its line. One on a changed line goes
  // to the new line that holds the end of its statement from a word on (a
  // line broken before the statement: "NOP DJNZ R6,NEXT" into two lines);
  // else it stays, within the lines that are left of the change.
  auto moved = [&](int32_t line) {
    const int32_t index = line - 1;
    if (index < first) return line;
    if (index >= oldEnd) return line + newEnd - oldEnd;
    const std::string was = TrimBlanks(old[static_cast<size_t>(index)]);
    for (int32_t i = first; i < newEnd && !was.empty(); ++i) {
      const std::string part = TrimBlanks(now[static_cast<size_t>(i)]);
      if (part.empty() || part.size() > was.size() || !was.ends_with(part)) continue;
      const size_t at = was.size() - part.size();
      if (at == 0 || was[at - 1] == ' ' || was[at - 1] == '\t') return i + 1;
    }
    return std::min(index, std::max(first, newEnd - 1)) + 1;
  };
  ViewsState& v = Views();
  std::map<int32_t, uint32_t>& marks = v.LineMarks[page];
  marks.clear();
  ForEachMark([&](tShowedLine& mark, uint32_t color) {
    if (mark.Page != page || mark.Line < 1) return;
    mark.Line = moved(mark.Line);
    marks[mark.Line] = color;
  });
  if (v.GotoLine.Page == page && v.GotoLine.Line > 0) v.GotoLine.Line = moved(v.GotoLine.Line);
  ++v.EditorRevision;
}

void ClearSourceMarks() {
  ClearLineMark(Views().LocateLine);
  ClearExecLine();
  MarkAllBreakpoints();
}

void InstallEditorServices() {
  ListMap().MarkLine = [](int32_t line, tShowedLine& mark, std::string_view fileName, uint32_t lineColor, uint32_t) {
    SetLineMark(line, mark, fileName, lineColor, true, true);
  };
  ListMap().ClearMark = [](tShowedLine& mark) { ClearLineMark(mark); };
  SourceText().PageLines = [](std::string_view fileName, bool open, int32_t& page) -> const std::vector<std::string>* {
    page = OpenFileInEditor(fileName, open);
    const TEditSheet* sheet = PageAt(page);
    return sheet ? &sheet->Editor.Lines : nullptr;
  };
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
