#pragma once
// Listing writer: character and number output to the listing or the status
// text, page headers, the listing line of each statement, the error-print
// copy of faulty lines, derived file names and the fatal stop.

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace dorvik::as {

struct AsmContext;

// Page state of the listing and the line being built. The page length and
// width, EJECT and the status text are the controls' and the driver's
// (AsmContext).
struct ListingState {
  bool ToListing = false;  // current output: the listing (true) or the status text
  uint16_t LineOnPage = 0;
  uint8_t ColumnOnLine = 0;
  uint32_t PageNumber = 1;
  std::string PageText = "    Page 1";
  std::string LinePrefix;
  std::string PendingText;     // characters of the listing line not yet written
  bool SymbolSection = false;  // the symbol table is being listed (its titles head new pages)
  uint8_t NameWidth = 10;  // name column of the symbol table, fixed once per listing
};

// The silent abort that ends an assembly after the fatal stop; the driver
// catches it.
struct AsmAbort {};

// Number texts
// WIDTH digits (at most 16) of W in RADIX, upper case; ZERO_SUPPRESS drops
// leading zeros but keeps one digit.
std::string FormatAsmNumber(uint32_t w, unsigned radix, unsigned width, bool zeroSuppress);
std::string DecText(uint32_t w);
std::string Hex2Text(uint8_t b);
std::string Hex4Text(uint16_t w);
std::string HexBytesText(std::span<const uint8_t> bytes);  // at most 16 bytes

// Output primitives (to the current output)
void ListChar(AsmContext& cx, char c);  // '\r' ends the line
void ListString(AsmContext& cx, std::string_view s);
void ListBlank(AsmContext& cx);
void ListNewLine(AsmContext& cx);
// Text to the status text (FILE null) or to a file; a text of exactly "\r" is
// a line end. WriteAsmLine adds a line end for a file.
void WriteAsmText(AsmContext& cx, std::ostream* file, std::string_view s);
void WriteAsmLine(AsmContext& cx, std::ostream* file, std::string_view s);
// To the current output (listing or status text).
void WriteCurrentText(AsmContext& cx, std::string_view s);
void WriteCurrentLine(AsmContext& cx, std::string_view s);
// S as one line to the current output; on the listing a full page first gets
// a new page header, and the line counts on the page.
void ListTextLine(AsmContext& cx, std::string_view s);
// One line to the error print when it is open.
void WriteErrorPrintLine(AsmContext& cx, std::string_view s);

// Pages and lines
void ListPageHeader(AsmContext& cx);
// Column titles of the symbol table (also repeated on each of its pages).
std::string SymbolTableHeading(const AsmContext& cx);
// The listing line of the statement just processed (pass 2); also its copy in
// the error print and, in the line assembler's mode, the result line.
void ListSourceLine(AsmContext& cx);
// The first page of the listing: header, version line, object and invocation
// lines, column titles.
void ListFirstPage(AsmContext& cx);

// Fatal stop: " DIZ-52 TERMINATED" to the current output, every input and
// output file closed, then AsmAbort is thrown. The status text stays for the caller to show.
[[noreturn]] void AsmFatalStop(AsmContext& cx);
// A line of the fatal stop written to the status text goes to the end of the
// listing as well while the listing is open and sound ("\r\n" ends a line).
void EchoToListing(AsmContext& cx, std::string_view s);
// After a write to FILE (null: nothing to check): a failed write is the fatal stop.
void CheckOutputIO(AsmContext& cx, std::ostream* file);
// Line end written to the output files.
inline constexpr std::string_view kFileLineEnd = "\n";

}  // namespace dorvik::as
