#pragma once
// The editor pages' model: the pages with their files and texts, the line
// marks on them (breakpoints, the execution and the located line), and the
// wiring that lets the source mapping mark and read them.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "editor/codeeditor.h"
#include "objfiles/sourcetext.h"

namespace dorvik {

// Line colours (blue-green-red as the editor takes them)
inline constexpr uint32_t kBreakLineColor = 0x0000FF;      // red, white text
inline constexpr uint32_t kExecLineColor = 0x800000;       // navy, yellow text
inline constexpr uint32_t kLocateLineColor = 0xF0CAA6;     // sky blue, navy text

// Editor files: a larger file is not opened; a file of more lines opens view-only.
inline constexpr size_t kEditorFileLimit = size_t{16} << 20;
inline constexpr size_t kEditableLineLimit = 65535;

struct EditorModelState {
  // The editor pages; a tShowedLine's Page is an index here.
  std::vector<TEditSheet> Pages;
  int32_t ActivePage = -1;
  // Line marks: page -> 1-based line -> colour.
  std::map<int32_t, std::map<int32_t, uint32_t>> LineMarks;
  tShowedLine LocateLine;  // the line of a symbol shown in its source
  // A line the page should scroll to (page -1: none); the editor takes it.
  tShowedLine GotoLine;
  uint32_t EditorRevision = 0;  // bumped whenever pages or marks change (the editor redraws)
};

EditorModelState& EditorModel();

// Files
// Why a file did not open in an editor page.
enum class EditorFileStatus : uint8_t { kRead, kMissing, kFolder, kUnreadable, kNotText, kTooLarge };
// Reads a file into a page's editor (its lines, line breaks and change time).
EditorFileStatus ReadEditorFile(const std::string& fileName, TEditSheet& sheet, int* ioCode = nullptr);
// One numbered message for a status other than kRead.
void ReportEditorFileStatus(EditorFileStatus status, const std::string& fileName, int ioCode = 0);

// Pages
// The page that shows FileName; with Open a page is made for it from the file
// on disk and made active; -1 when there is none or the file cannot be read
// (nothing is reported: a stop in a module without its source shows the
// disassembly instead).
int32_t OpenFileInEditor(std::string_view fileName, bool open);
// File|Open: as OpenFileInEditor with Open, and a file that cannot be read is
// one message; a file too long for editing opens view-only with warning 31.
int32_t OpenEditorPage(const std::string& fileName);
// Reads the page's file again (its marks stay on their line numbers); false
// with one message when it cannot be read, the page then unchanged.
bool ReloadPage(int32_t page);
// Closes a page: the marks on it are kept by file and line and come back when
// the file opens again; later pages move down by one.
void ClosePage(int32_t page);
TEditSheet* PageAt(int32_t page);
// Puts a page's edited text into its lines: the marks below the changed lines
// (from FirstChanged, 0-based, on; -1: wherever the texts differ) move with
// their lines, so the breakpoints, the execution and the located line stay
// on the text they marked until the next load places them from the program.
void EditPageText(int32_t page, std::string_view text, int32_t firstChanged = -1);
// A changed page closed without saving: its text goes back to the file's,
// and the marks follow their lines there (the project keeps those lines).
void DropPageEdits(int32_t page);
// The same for an edit whose lines the window knows: the page's lines
// [First, First + Removed) are replaced by Lines, and only they travel, so an
// edit costs the lines it touched, not the page. False (nothing changed) when
// the range is not the page's or a line holds a line end.
bool ReplacePageLines(int32_t page, int32_t first, int32_t removed, std::vector<std::string> lines);
// Index of the first line that holds Text (lines compared upper-cased, blank runs collapsed with Collapse); -1.
int32_t FindLineContaining(const std::vector<std::string>& lines, std::string_view text, bool collapse);

// Line marks
void SetLineMark(int32_t line, tShowedLine& mark, std::string_view fileName, uint32_t lineColor, bool openFile,
                 bool gotoLine);
void ClearLineMark(tShowedLine& mark);
// The colour of a marked line, or -1.
int64_t LineMarkColor(int32_t page, int32_t line);
// Clears the located and the execution line and redraws the breakpoint marks.
void ClearSourceMarks();

// Wiring
// The source mapping marks its lines in the editor pages and reads the pages'
// lines (edited text included) before the files: the workbench's wiring.
void InstallEditorServices();

}  // namespace dorvik
