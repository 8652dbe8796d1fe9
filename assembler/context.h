#pragma once
// All state of the built-in two-pass assembler in one object. A run starts
// from a clean context; a re-entrant user (the line assembler) may copy the
// whole struct to save and restore it.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "assembler/asmhex.h"
#include "assembler/listing.h"
#include "assembler/objwriter.h"

namespace dorvik::as {

// Value kinds of an operand or symbol (low bits of a symbol's Kind).
namespace kind {
inline constexpr uint8_t kCode = 0;
inline constexpr uint8_t kXData = 1;
inline constexpr uint8_t kData = 2;
inline constexpr uint8_t kIData = 3;
inline constexpr uint8_t kBit = 4;
inline constexpr uint8_t kNumber = 5;
inline constexpr uint8_t kRegister = 6;
inline constexpr uint8_t kUndefined = 7;
inline constexpr uint8_t kModuleName = 8;
inline constexpr uint8_t kSetFlag = 16;   // added to a symbol defined by SET
inline constexpr uint8_t kSegment = 32;   // added to a segment name
inline constexpr uint8_t kEndMark = 255;  // end of the symbol area
}  // namespace kind

// Symbol scopes.
inline constexpr uint8_t kScopeExternal = 0;
inline constexpr uint8_t kScopePublic = 1;
inline constexpr uint8_t kScopeLocal = 2;

// Relocation types of a relocatable segment.
inline constexpr uint8_t kRelUnit = 1;
inline constexpr uint8_t kRelBitAddressable = 2;
inline constexpr uint8_t kRelInPage = 3;
inline constexpr uint8_t kRelInBlock = 4;
inline constexpr uint8_t kRelPage = 5;

// Relocation request kinds (object fixup REF TYP).
enum class FixupKind : uint8_t {
  LowByte = 0, Byte = 1, Relative = 2, HighByte = 3, Word = 4, InBlock = 5, Bit = 6, BitOfByte = 7
};

// Line kinds for the listing writer.
namespace line {
inline constexpr uint8_t kInstruction = 0;
inline constexpr uint8_t kSegment = 1;
inline constexpr uint8_t kDirective = 2;
inline constexpr uint8_t kReMet = 3;
inline constexpr uint8_t kEmpty = 4;
inline constexpr uint8_t kDefinition = 5;
inline constexpr uint8_t kStorage = 6;
inline constexpr uint8_t kDB = 7;
inline constexpr uint8_t kDW = 8;
inline constexpr uint8_t kOrg = 9;
}  // namespace line

// A decoded symbol record. In the symbol area a record is stored as bytes:
// Kind, Flags, Value (u32, little-endian), RelocType, SegmentId, Scope,
// name length, name characters (10 + name length bytes).
struct AsmSymbolRec {
  uint8_t Kind = kind::kUndefined;
  uint8_t Flags = 0;
  uint32_t Value = 0;
  uint8_t RelocType = 0;
  uint8_t SegmentId = 0;
  uint8_t Scope = kScopeLocal;
  std::string Name;
};

inline constexpr size_t kSymbolAreaSize = 65520;
inline constexpr size_t kSymbolAreaLimit = 65488;  // more in use: symbol table full
inline constexpr size_t kSymKind = 0, kSymFlags = 1, kSymValue = 2, kSymRelocType = 6,
                        kSymSegmentId = 7, kSymScope = 8, kSymNameLen = 9, kSymName = 10;

// One absolute segment piece {type, start, length}.
struct AsmSegmentEntry {
  uint8_t Type = 0;
  uint16_t Start = 0;
  uint16_t Length = 0;
};
inline constexpr size_t kMaxSegmentEntries = 999;  // 5000-byte table of 5-byte entries

// One cross-reference entry: a line referring to a symbol.
struct AsmXrefEntry {
  uint32_t Line = 0;
  uint16_t Ordinal = 0;  // symbol index, 1-based
  uint8_t Defining = 0;
};

// A controllable option.
struct ControlRecord {
  std::string Value;  // upper case
  std::string Path;   // file-name controls: the name as given (case kept) for file access
  bool On = false;
  bool FromInvocation = false;
  bool FromSource = false;
};

enum class ControlId : uint8_t {
  Print, List, Object, Hex, ErrorPrint, Debug, Macro, Mode, Paging, Tabs, PageLength, PageWidth,
  RegisterBank, Symbols, Xref, Gen, Date, Title, Include, Count
};

// A relocation request handed to the object writer.
struct AsmFixupRequest {
  uint8_t Offset = 0;  // field position inside the statement (0..2)
  FixupKind Kind = FixupKind::Byte;
  bool External = false;
  uint8_t ExternalBlock = 0;  // external: its SegmentId (ID BLK)
  uint8_t ExternalId = 0;     // external: low byte of its Value
  uint8_t Segment = 0;        // segment-relative: the segment id
  int32_t Value = 0;
};

// An input of the character source: the source or an include file.
struct AsmInput {
  std::shared_ptr<std::istream> Stream;
  std::string Name;  // upper case, for display
  std::string Path;  // as given, for file access
};

// Output files of a run. "CON" and "PRN" go to ConsoleOut, "NUL" nowhere.
struct AsmOutputs {
  std::shared_ptr<std::ostream> Listing;
  std::shared_ptr<std::ostream> ErrorPrint;
  std::shared_ptr<std::ostream> Hex;
  std::shared_ptr<std::ostream> Object;
  bool ListOpen = false;
  bool ErrorPrintOpen = false;
  bool HexOpen = false;
  bool ObjectOpen = false;
};

// An error counted by the reporter: its code and source line.
struct AsmErrorRecord {
  uint16_t Code = 0;
  uint32_t Line = 0;
};

// A control error of pass 1 shown again when pass 2 meets its line.
struct PendingControlError {
  uint32_t Line = 0;
  uint16_t Code = 0;
  std::string Name;
};

// Result of a run, for callers that turn it into an exit status.
struct AsmRunResult {
  bool Fatal = false;  // the run ended by the fatal stop
  uint32_t ErrorCount = 0;
  uint32_t LinesRead = 0;
};

// Per statement: the statement processor starts every line from a fresh one.
struct AsmLineState {
  uint8_t LineKind = line::kEmpty;
  bool LabelOnLine = false;
  std::array<uint8_t, 3> InstrBytes{};
  uint32_t InstrLength = 0;  // also the byte count of DB/DW
  std::array<uint8_t, 256> DataBytes{};
  // Per byte: 'A' absolute, 'R' relocatable, 'E' external, 'S' from a string.
  std::array<char, 256> DataMarks{};
  uint32_t ReservedUnits = 0;      // DS/DBIT
  uint32_t StatementLocation = 0;  // location counter before the statement
  int32_t DefinedValue = 0;        // value of a symbol definition, for the listing
  uint8_t DefinedKind = 0;
  bool IncludeOnLine = false;  // the line opens an include file

  // Relocation requests of the statement
  uint8_t FixupOffset = 0;
  FixupKind Fixup = FixupKind::Byte;
  bool GenericJump = false;
  bool NeedsFixup = false;
  bool AnyFixup = false;
  bool LineExternalRef = false;      // the statement referred to an external symbol
  std::vector<PendingFixup> Fixups;  // requests waiting for the statement's bytes

  // Reading the line
  bool InInstruction = false;
  bool DefiningPosition = false;
  bool NameListPosition = false;  // a name of a PUBLIC list: entered, not defined
  bool UndefinedFlag = false;     // the last value used an undefined symbol
  bool InString = false;
  bool CommentSkip = false;
  uint8_t SubExprDepth = 0;
  uint8_t BinaryDepth = 0;
  bool StringFlag = false;

  // Errors of the line
  uint16_t LastAsmError = 0;
  bool LineHasError = false;
  uint32_t ErrorColumn = 0;

  // The bytes the statement emitted: an instruction's or those of DB and DW.
  std::span<const uint8_t> EmittedBytes() const {
    if (LineKind == line::kInstruction) return std::span(InstrBytes.data(), std::min<size_t>(InstrLength, 3));
    if (LineKind == line::kDB || LineKind == line::kDW)
      return std::span(DataBytes.data(), std::min<size_t>(InstrLength, DataBytes.size()));
    return {};
  }
};

// The character source and the tokenizer: the current line and token.
struct AsmScanState {
  std::string LineBuffer;  // current line, ends with CR
  uint32_t SourceIndex = 0;
  uint32_t Column = 0;
  std::string ListLine;
  bool ListLineFull = false;
  char ScanChar = '\r';
  uint8_t ScanToken = 0;
  int32_t AsmValue = 0;
  uint8_t AsmValueKind = kind::kNumber;
  uint8_t AsmValueSegment = 0;
  bool AsmValueExternal = false;  // the value token is an external symbol
  std::string AsmIdentifier;
  bool NewSymbolFlag = false;
  bool Reporting = true;
  bool PredefinedFound = false;
  bool IdentFound = false;  // the identifier is a user symbol at SymbolCursor
  int PredefinedRow = -1;
  size_t ExternalSymbolPos = 0;  // record of the external last referred to
};

// One expression: cleared when an expression starts.
struct AsmExprState {
  uint8_t ResultKind = kind::kNumber;
  uint8_t ExprSegment = 255;
  bool UndefinedRef = false;
  bool ExternalRef = false;
  bool ExternalFlag = false;
  bool SegmentRef = false;
};

// The output files and their writers.
struct AsmOutputState {
  AsmOutputs Files;
  ListingState Listing;
  ObjectState Object;
  HexState HexRecord;
};

// The symbol area and the cross-reference list.
struct AsmSymbolState {
  std::vector<uint8_t> SymbolArea;
  std::vector<uint32_t> SymbolOffsets;  // start of each record, in area order
  size_t SymbolCursor = 0;
  uint32_t SymbolIndex = 1;  // 1-based number of the record at the cursor
  size_t SymbolEnd = 0;
  size_t LastSymbol = 0;
  uint8_t LongestName = 0;
  std::vector<AsmXrefEntry> Xref;
};

struct AsmContext {
  // Set by the caller, kept from run to run
  std::string ProgramPath = "DIZ52";
  std::ostream* ConsoleOut = nullptr;                   // where "CON"/"PRN" go (nothing when null)
  std::function<void(const std::string&)> ProgressOut;  // progress echo "(n)"; none when empty

  AsmLineState line;
  AsmScanState scan;
  AsmExprState expr;
  AsmOutputState out;
  AsmSymbolState sym;

  // Driver (one run)
  uint8_t AsmPass = 0;
  bool SourceOpen = false;
  bool FileMode = false;
  bool InvocationLineActive = false;  // controls being read come from the invocation line
  std::vector<std::string>* InMemoryLines = nullptr;
  std::string SourceName;  // upper case
  std::string SourcePath;  // as given
  std::string CurrentFileName;
  std::string InvocationLine;
  std::string ModuleBaseName;
  std::string StatusText;
  bool EchoProgress = false;
  bool CtrlCPressed = false;
  bool CtrlBreakPressed = false;
  uint32_t LastEchoTick = 0;
  uint32_t LinesRead = 0;
  uint32_t ErrorCount = 0;
  bool EndSeen = false;
  bool HasExternals = false;
  bool HasPublics = false;
  bool HexEligible = true;
  std::string HexStopWarning;  // why the HEX file has no end record (pass 2)

  // Segments and location counters (slot order CODE, DATA, IDATA, XDATA, BIT)
  std::vector<AsmSegmentEntry> SegmentTable;
  size_t CurrentSegmentEntry = 0;
  std::array<uint32_t, 5> Counters{};
  std::array<uint32_t, 5> Bases{};
  uint8_t CounterSlot = 0;
  AsmSymbolRec CurrentSegment;  // Value is the location counter
  uint8_t RelocSegmentCounter = 0;
  uint16_t ExternalCounter = 0;
  std::string ModuleName;

  // Controls
  std::array<ControlRecord, static_cast<size_t>(ControlId::Count)> Controls;
  uint16_t CpuMode = 51;
  uint16_t PageLength = 62;
  uint8_t PageWidth = 120;
  uint8_t TabSize = 8;
  std::array<bool, 4> RegisterBanks{true, false, false, false};
  uint8_t CurrentBank = 0;  // 0xFF: no bank chosen
  uint8_t ControlBank = 0;  // the bank the controls chose; pass 2 starts with it
  bool EjectPending = false;
  bool HexRequested = false;
  bool PrimaryClosed = false;
  bool TitleFromSource = false;
  std::vector<PendingControlError> PendingControlErrors;
  std::string SourceDirectory;

  // Includes
  uint8_t IncludeDepth = 0;
  bool IncludePending = false;
  std::array<uint32_t, 17> LevelLineCount{};
  std::array<AsmInput, 17> Inputs;  // 0: source, 1..16: include slots

  // Error reporting
  std::string ErrorDetail;
  std::string ErrorWord;
  std::string ErrorFileKind;
  std::string ErrorFileName;
  std::string DupName1, DupName2;
  std::vector<AsmErrorRecord> ErrorLog;  // every counted error, in order
  int IOErrorCode = 0;
  std::string IOErrorMessage;  // system text of the last I/O failure
};

// The assembler's context in the session, and a clean context for a new run.
AsmContext& Asm();
void ResetAsm();

// Set from a signal handler by the application: an interrupt request that
// the running assembly polls at each statement.
void RequestAsmInterrupt();
// True once per request (the statement processor polls it).
bool TakeAsmInterrupt();

}  // namespace dorvik::as
