#pragma once
// The debug views' state that commands bring up to date: the processor status
// fields, the caption state, the editor pages with their line marks, and the
// workbench's breakpoint services (locations, code bytes, relocation).

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/breakpoints.h"
#include "editor/codeeditor.h"

namespace dorvik {

// Caption states
inline constexpr uint8_t kCaptionReset = 0;
inline constexpr uint8_t kCaptionRunning = 1;
inline constexpr uint8_t kCaptionHalted = 2;

// Line colours (blue-green-red as the editor takes them)
inline constexpr uint32_t kBreakLineColor = 0x0000FF;      // red, white text
inline constexpr uint32_t kExecLineColor = 0x800000;       // navy, yellow text
inline constexpr uint32_t kLocateLineColor = 0xF0CAA6;     // sky blue, navy text

// Editor files: a larger file is not opened; a file of more lines opens view-only.
inline constexpr size_t kEditorFileLimit = size_t{16} << 20;
inline constexpr size_t kEditableLineLimit = 65535;

struct ViewsState {
  // The processor status fields by name ("st" + register): a caption, CR, the value.
  std::map<std::string, std::string> StatusFields;
  uint8_t Caption = kCaptionReset;
  // The editor pages; a tShowedLine's Page is an index here.
  std::vector<TEditSheet> Pages;
  int32_t ActivePage = -1;
  // Line marks: page -> 1-based line -> colour.
  std::map<int32_t, std::map<int32_t, uint32_t>> LineMarks;
  tShowedLine LocateLine;  // the line of a symbol shown in its source
  // A line the page should scroll to (page -1: none); the editor takes it.
  tShowedLine GotoLine;
  int32_t RefreshCount = 0;  // how often the views were refreshed (the views that watch it redraw)
  uint32_t EditorRevision = 0;  // bumped whenever pages or marks change (the editor redraws)

  ViewsState();
};

ViewsState& Views();

// Status fields and caption
// Keeps the field's text up to and including its first CR and puts Value after it; no such field: nothing.
void SetRegisterText(std::string_view name, std::string_view value);
// The value part of a status field ("" when there is none).
std::string RegisterText(std::string_view name);
// Reads the target's registers into the status fields and Run().CurrentPC.
// AskBoard: a board is asked for its registers too (a stop, a register
// changed); without it a board's fields show what it reported.
void RefreshDebugViews(bool askBoard = true);
// A run on a target with local images: the PC field takes the PC that the
// simulator reports every 256 instructions. True while it follows a run.
bool FollowRunningPC();
void UpdateCaption(uint8_t state);
// The idle handler's halt detection for a target whose run ended by itself:
// the prompt goes back to "hlt>" and the caption to Halted.
void DebugViewsIdle();

// Editor pages and marks
// Why a file did not open in an editor page.
enum class EditorFileStatus : uint8_t { kRead, kMissing, kFolder, kUnreadable, kNotText, kTooLarge };
// Reads a file into a page's editor (its lines, line breaks and change time).
EditorFileStatus ReadEditorFile(const std::string& fileName, TEditSheet& sheet, int* ioCode = nullptr);
// One numbered message for a status other than kRead.
void ReportEditorFileStatus(EditorFileStatus status, const std::string& fileName, int ioCode = 0);
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
void SetLineMark(int32_t line, tShowedLine& mark, std::string_view fileName, uint32_t lineColor, bool openFile,
                 bool gotoLine);
void ClearLineMark(tShowedLine& mark);
// Puts a page's edited text into its lines: the marks below the changed lines
// (from FirstChanged, 0-based, on; -1: wherever the texts differ) move with
// their lines, so the breakpoints, the execution and the located line stay
// on the text they marked until the next load places them from the program.
void EditPageText(int32_t page, std::string_view text, int32_t firstChanged = -1);
// Clears the located and the execution line and redraws the breakpoint marks.
void ClearSourceMarks();
// The source mapping marks its lines in the editor pages and reads the pages'
// lines (edited text included) before the files: the workbench's wiring.
void InstallEditorServices();
// The colour of a marked line, or -1.
int64_t LineMarkColor(int32_t page, int32_t line);
// Index of the first line that holds Text (lines compared upper-cased, blank runs collapsed with Collapse); -1.
int32_t FindLineContaining(const std::vector<std::string>& lines, std::string_view text, bool collapse);

// Breakpoint services
// The code bytes of the instruction at Address: "0" and two hex digits each, comma-separated (at most 11 characters).
std::string GetCodeBytesText(uint16_t address);
// Finds the module and line of the breakpoint's address (the nearest line at
// or below it) and sets its location text; false when there is none.
bool ResolveBreakpointSource(tBreak& bp);
// The code address of line Index (0-based) of a source file whose lines are
// Lines, and its location text (":" module "#" line); false when the file is
// no module's or the line holds no code.
bool SourceLineAddress(std::string_view fileName, const std::vector<std::string>& lines, int32_t index,
                       uint16_t& address, std::string& location);
// Recomputes a used breakpoint after a load (see views.cpp).
void RelocateBreakpoint(tBreak& bp);

}  // namespace dorvik
