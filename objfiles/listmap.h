#pragma once
// Source lines of code addresses: the statement of a listing line with its
// neighbours, the search for the same statement among the lines of a source,
// and the execution point that every stop of the program moves.
//
// Assembler modules are mapped through their listing files (the built-in
// assembler's and the external assemblers' alike: a column header beginning
// "LOC ", the location in columns 1-4, the line number in columns 19-25 and
// the statement from column 30); C modules through their line symbols.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "project/project.h"
#include "objfiles/sourcetext.h"

namespace dorvik {

// A statement found for a code address: Lines[2] its own text, [1] and [0] the
// nearest and second-nearest statement before it, [3] and [4] those after it,
// all collapsed; Occurrence: how many lines up to and including it have its text.
struct tStatement {
  std::array<std::string, 5> Lines;
  int32_t Occurrence = 0;
};

// Line classes of ClassifySourceLine.
inline constexpr uint8_t kLineOther = 0;
inline constexpr uint8_t kLineEmpty = 1;
inline constexpr uint8_t kLineComment = 2;
inline constexpr uint8_t kLineMacro = 3;
inline constexpr uint8_t kLineControl = 4;
inline constexpr uint8_t kLineLabel = 5;
inline constexpr uint8_t kLineSymbolDefinition = 6;
inline constexpr uint8_t kLineSegmentDeclaration = 7;
inline constexpr uint8_t kLineInstruction = 8;
inline constexpr uint8_t kLineDirective = 9;

// Mark colours, blue-green-red: the execution point, and a statement located without showing.
inline constexpr uint32_t kExecPointLineColor = 0x800000;  // navy
inline constexpr uint32_t kExecPointTextColor = 0x00FFFF;  // yellow
inline constexpr uint32_t kPlainLineColor = 0xFFFFFF;      // white
inline constexpr uint32_t kPlainTextColor = 0x0000FF;      // red

// Column (0-based) of the statement text in a listing line.
inline constexpr size_t kListingSourceColumn = 29;

// Moves Mark to the 1-based Line of FileName in its editor page (opened when
// needed) with the colours and scrolls there; the workbench's line marking.
using MarkLineFn = std::function<void(int32_t line, tShowedLine& mark, std::string_view fileName, uint32_t lineColor,
                                      uint32_t textColor)>;
// Removes Mark's colour from its line.
using ClearMarkFn = std::function<void(tShowedLine& mark)>;

struct ListMapState {
  tShowedLine ExecLine;             // the execution point
  std::string ExecFileName;         // its file as named on disk (the mark keeps it upper-cased)
  bool StepByInstruction = false;   // steps go by instruction: no question before the disassembly
  bool SourceLevelDebugging = false;  // the loaded program has its modules' sources and lines
  MarkLineFn MarkLine;              // unset: marks only record file, page and line
  ClearMarkFn ClearMark;
  // The mapping's messages already shown for the loaded program (number and
  // file): each reaches the user once, not at every stop. A load empties it.
  std::vector<std::string> Reported;
};

ListMapState& ListMap();
// The execution point as ShowSourceAtAddress left it (Line -1: none).
inline const tShowedLine& ExecLine() { return ListMap().ExecLine; }

// Line texts
// Blanks and tabs dropped but one blank between two non-blank characters; upper-cased and trimmed.
std::string CollapseBlanks(std::string_view line);
// The class (kLine...) of a collapsed line.
uint8_t ClassifySourceLine(std::string_view collapsed);
// From Index, the nearest line before / after it of a class that counts as a
// statement, read from Column: Index moves there and the collapsed text is
// returned; at the start or end of the lines the text is empty.
std::string PrevStatementText(const std::vector<std::string>& lines, size_t column, int32_t& index);
std::string NextStatementText(const std::vector<std::string>& lines, size_t column, int32_t& index);
// The statement of line Index (texts read from Column) with its context and occurrence.
tStatement StatementAt(const std::vector<std::string>& lines, size_t column, int32_t index);
// The digits after "LINE #" (else after " IN ") of an error line; false when there are none.
bool ListingLineNumberText(std::string_view line, std::string& text);

// Listings
enum class ListingResult : uint8_t {
  kFound,
  kNotFound,    // no line of the listing holds the address
  kErrors,      // the listing reports errors (163)
  kNotListing,  // a body line without a location (149)
};
// The start of a relocatable code segment by its name (from the loaded symbols); false when unknown.
using SegmentStartFn = std::function<bool(std::string_view name, uint32_t& start)>;
// The lines of a listing that came from one source file: the file of line
// Index (the lines of include files inside it left out), Index among them,
// and the file's name as its $INCLUDE control wrote it (empty: the module's
// own source).
struct ListingFilePart {
  std::vector<std::string> Lines;
  int32_t Index = -1;
  std::string IncludeName;
};
ListingFilePart ListingLinesOfFile(const std::vector<std::string>& lines, int32_t index);

// The index of the listing line of the statement whose code is at Address.
ListingResult FindListingStatement(const std::vector<std::string>& lines, uint32_t address,
                                   const SegmentStartFn& segmentStart, int32_t& index);
// The start of a code segment as the loaded symbols give it.
bool LoadedSegmentStart(std::string_view name, uint32_t& start);

// For the build report: the first line of FileName that holds Word (a listing,
// ".LST": an error line, whose statement is found by its line number; a source:
// the line itself) and its statement; LineIndex -1 and an empty record when
// there is none.
void FindListingEntry(std::string_view fileName, std::string_view word, int32_t& lineIndex, tStatement& statement);

// Sources
// The 0-based index of the line of Lines that matches the statement and its context; -1 when none does.
int32_t FindSourceLine(const tStatement& statement, const std::vector<std::string>& lines);
// Finds the statement in FileName's editor page (opened when needed, else the
// file) and moves Mark to it with the colours; its 0-based index or -1 (Mark untouched).
int32_t LocateSourceLine(const tStatement& statement, std::string_view fileName, tShowedLine& mark,
                         uint32_t lineColor, uint32_t textColor);

// The source line of a code address of an assembler module, through its
// listing (File: the module's source or the include file the code came from;
// Line 1-based; Module, when given, the module's name); false when there is
// none. Nothing is reported.
bool SourceLineOfAddress(uint32_t address, std::string& fileName, int32_t& line, std::string* module = nullptr);
// The code address of line Index (0-based) of FileName, whose text is Source,
// through the listing of the assembler module Node (the file is its source or
// one of its include files); false when the line holds no code.
bool ListingAddressOfSourceLine(const tModuleRec& node, std::string_view fileName,
                                const std::vector<std::string>& source, int32_t index, uint16_t& address);

// True when FileName was changed after Node's listing was written (the loaded
// program was built before the edit) and the listing's statement at Address
// came from FileName and is the text of line Index (0-based) of Source: the
// line's code is still at Address.
bool ListingStatementStaysAt(const tModuleRec& node, std::string_view fileName,
                             const std::vector<std::string>& source, int32_t index, uint16_t address);

// Removes the execution point's mark.
void ClearExecLine();
// Maps the current program counter to its source line and moves ExecLine
// there (the execution point is cleared first, so a failed mapping leaves
// none); with Show a failure shows the disassembly instead. Statement: the
// statement found in a listing, empty texts otherwise.
void ShowSourceAtAddress(bool show, tStatement& statement);

}  // namespace dorvik
