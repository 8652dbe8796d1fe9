#pragma once
// Assembler error messages: the numbered message table, the reporter that
// counts, lists and prints errors, the once-per-line syntax error and the
// checks of file operations.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "assembler/asmmsg.h"
#include "assembler/context.h"

namespace dorvik::as {

// Message table
struct AsmErrorRow {
  uint16_t Code;
  std::string_view Text;
};
inline constexpr size_t kAsmErrorCount = 65;
extern const AsmErrorRow kAsmErrorTable[kAsmErrorCount];
// Text of a code; empty when the table has no such code.
std::string_view AsmErrorText(uint16_t code);

// Words shown in place of "%6" (index into the segment-word table).
enum class SegWord : uint8_t {
  SimpleRelocatable, Absolute, Byte, Bit, InBolck, Relative, Code, XData, Data, IData, BitType,
  External, Segment, InPage, InBlock, BitAddressable, RelocatableSegments, ExternalSymbols
};
std::string_view SegmentWord(SegWord w);

// Invocation-error texts (details of errors 0, 2 and 3).
enum class InvocationText : uint8_t {
  LineTooLong, MissingSourceName, BadSourceName, NotEnoughMemory, DuplicateFileName, BadFileName,
  IllegalCharacter, BadParameter, MissingRightParen, NoParameterAllowed, BadControl,
  UnrecognizableControl, DuplicateControl
};
std::string_view InvocationErrorText(InvocationText t);

// File kinds named in file messages.
inline constexpr std::string_view kKindSource = "SOURCE";
inline constexpr std::string_view kKindListing = "LISTING";
inline constexpr std::string_view kKindObject = "OBJECT";
inline constexpr std::string_view kKindHex = "INTEL-HEX";
inline constexpr std::string_view kKindInclude = "INCLUDE";
inline constexpr std::string_view kKindErrorPrint = "ERRORPRINT";

// Reporting
// The message of a code with its placeholders expanded from the context.
std::string ExpandAsmMessage(const AsmContext& c, uint16_t code);
void ReportAsmError(AsmContext& c, uint16_t code);
void ReportAsmError(AsmContext& c, uint16_t code, SegWord word);
// Error 100 once per line; skips the rest of the line.
void AsmSyntaxError(AsmContext& c);

// File checks
// "Exception n: text" for the last failed file operation.
std::string IOErrorText(const AsmContext& c);
// Remembers the system's reason of a failed file operation (errno).
void NoteIOFailure(AsmContext& c);
// Error 1 for a file that cannot be opened or used, then the fatal stop.
[[noreturn]] void AsmFileError(AsmContext& c, std::string_view fileKind, std::string_view fileName);
// After a write: a failed stream makes the fatal stop.
void CheckAsmIO(AsmContext& c, const std::ostream& s);
// Puts a finished output file in place of its name; a failure is the fatal
// I/O error on that file.
void CommitAsmFile(AsmContext& c, std::ostream* file, std::string_view fileKind, std::string_view fileName);

}  // namespace dorvik::as
