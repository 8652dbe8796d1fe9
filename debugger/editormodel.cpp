#include "debugger/editormodel.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <span>
#include <utility>

#include "base/messages.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/breakpoints.h"
#include "debugger/runcontrol.h"
#include "objfiles/listmap.h"
#include "objfiles/sourcetext.h"
#include "platform/files.h"
#include "platform/text.h"

namespace dorvik {

EditorModelState& EditorModel() { return CurrentSession().Get<EditorModelState>(); }

namespace {

// Every line mark the engine keeps, with the colour of its line: the
// breakpoints first, so that the located and the execution line lie on top.
template <class Fn>
void ForEachMark(Fn fn) {
  BreakpointState& b = Breakpoints();
  for (tBreak& bp : b.BreakTable) fn(bp.Line, kBreakLineColor);
  fn(b.ArmBreak.Line, kBreakLineColor);
  fn(EditorModel().LocateLine, kLocateLineColor);
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
  EditorModelState& v = EditorModel();
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
  const EditorModelState& v = EditorModel();
  for (size_t i = 0; i < v.Pages.size(); ++i)
    if (SameSourceFile(v.Pages[i].FileName, fileName)) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace

int32_t OpenFileInEditor(std::string_view fileName, bool open) {
  EditorModelState& v = EditorModel();
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
  ++EditorModel().EditorRevision;
  return true;
}

void ClosePage(int32_t page) {
  EditorModelState& v = EditorModel();
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
  EditorModelState& v = EditorModel();
  return page >= 0 && static_cast<size_t>(page) < v.Pages.size() ? &v.Pages[static_cast<size_t>(page)] : nullptr;
}

int64_t LineMarkColor(int32_t page, int32_t line) {
  const auto& marks = EditorModel().LineMarks;
  auto p = marks.find(page);
  if (p == marks.end()) return -1;
  auto l = p->second.find(line);
  return l == p->second.end() ? -1 : int64_t{l->second};
}

void SetLineMark(int32_t line, tShowedLine& mark, std::string_view fileName, uint32_t lineColor, bool openFile,
                 bool gotoLine) {
  EditorModelState& v = EditorModel();
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
  EditorModelState& v = EditorModel();
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
  mark.Deleted = false;
}

namespace {

// The lines [First, First + Was.size()) of a page became its lines [First,
// NewEnd) of Now: a mark below the change moves with its line. One on a
// changed line goes to the new line that holds the end of its statement
// from a word on (a line broken before the statement: "NOP DJNZ R6,NEXT"
// into two lines); else it stays, within the lines that are left of the change.
// A line whose text is nowhere among the new lines was deleted (Deleted set).
void MoveMarks(int32_t page, int32_t first, std::span<const std::string> was, int32_t newEnd,
               const std::vector<std::string>& now) {
  const auto oldEnd = first + static_cast<int32_t>(was.size());
  auto moved = [&](int32_t line, bool* deleted = nullptr) {
    const int32_t index = line - 1;
    if (index < first) return line;
    if (index >= oldEnd) return line + newEnd - oldEnd;
    const std::string before = TrimBlanks(was[static_cast<size_t>(index - first)]);
    for (int32_t i = first; i < newEnd && !before.empty(); ++i) {
      const std::string part = TrimBlanks(now[static_cast<size_t>(i)]);
      if (part.empty() || part.size() > before.size() || !before.ends_with(part)) continue;
      const size_t at = before.size() - part.size();
      if (at == 0 || before[at - 1] == ' ' || before[at - 1] == '\t') return i + 1;
    }
    if (deleted && newEnd < oldEnd) *deleted = true;
    return std::min(index, std::max(first, newEnd - 1)) + 1;
  };
  EditorModelState& v = EditorModel();
  std::map<int32_t, uint32_t>& marks = v.LineMarks[page];
  marks.clear();
  ForEachMark([&](tShowedLine& mark, uint32_t color) {
    if (mark.Page != page || mark.Line < 1) return;
    mark.Line = moved(mark.Line, &mark.Deleted);
    marks[mark.Line] = color;
  });
  if (v.GotoLine.Page == page && v.GotoLine.Line > 0) v.GotoLine.Line = moved(v.GotoLine.Line);
  ++v.EditorRevision;
}

}  // namespace

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
  if (old.size() == now.size()) return;
  MoveMarks(page, static_cast<int32_t>(prefix),
            std::span<const std::string>(old).subspan(prefix, old.size() - suffix - prefix),
            static_cast<int32_t>(now.size() - suffix), now);
}

bool ReplacePageLines(int32_t page, int32_t first, int32_t removed, std::vector<std::string> lines) {
  TEditSheet* sheet = PageAt(page);
  if (!sheet || first < 0 || removed < 0) return false;
  std::vector<std::string>& all = sheet->Editor.Lines;
  const auto at = static_cast<size_t>(first);
  if (at + static_cast<size_t>(removed) > all.size()) return false;
  for (const std::string& line : lines)
    if (line.find_first_of("\r\n") != std::string::npos) return false;
  // Lines at the end of the range that stayed as they were are no change.
  size_t gone = static_cast<size_t>(removed);
  while (gone > 0 && !lines.empty() && lines.back() == all[at + gone - 1]) {
    lines.pop_back();
    --gone;
  }
  const size_t added = lines.size();
  std::vector<std::string> was(std::make_move_iterator(all.begin() + static_cast<std::ptrdiff_t>(at)),
                               std::make_move_iterator(all.begin() + static_cast<std::ptrdiff_t>(at + gone)));
  const size_t common = std::min(gone, added);
  std::move(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(common),
            all.begin() + static_cast<std::ptrdiff_t>(at));
  if (added > gone)
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at + common),
               std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(common)),
               std::make_move_iterator(lines.end()));
  else
    all.erase(all.begin() + static_cast<std::ptrdiff_t>(at + common), all.begin() + static_cast<std::ptrdiff_t>(at + gone));
  if (added != gone) MoveMarks(page, first, was, first + static_cast<int32_t>(added), all);
  return true;
}

void DropPageEdits(int32_t page) {
  const TEditSheet* sheet = PageAt(page);
  std::vector<std::string> lines;
  if (!sheet || !ReadFileLines(sheet->FileName, lines)) return;
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += '\n';
    text += lines[i];
  }
  EditPageText(page, text);
  // The lines the edits deleted are there again.
  ForEachMark([page](tShowedLine& mark, uint32_t) {
    if (mark.Page == page) mark.Deleted = false;
  });
}

void ClearSourceMarks() {
  ClearLineMark(EditorModel().LocateLine);
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

}  // namespace dorvik
