#include "assembler/asmerrors.h"

#include "assembler/asmfiles.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "assembler/asmsymbols.h"
#include "assembler/listing.h"
#include "assembler/source.h"
#include "assembler/tokenizer.h"

namespace dorvik::as {

const AsmErrorRow kAsmErrorTable[kAsmErrorCount] = {
    {asm_err::kFatalError, "DIZ-52 FATAL ERROR - %4"},
    {asm_err::kIOError, "DIZ-52 I/O ERROR ON %0 FILE (\"%1\")%2"},
    {asm_err::kInvocationError, "DIZ-52 INVOCATION ERROR\r\n%3#\r\n%4"},
    {asm_err::kSemanticError, "DIZ-52 SEMANTIC ERROR, %4 (\"%1\")"},
    {asm_err::kMoreErrorsNotReported, "MORE ERRORS DETECTED, NOT REPORTED"},
    {asm_err::kIncludeMoreThan16Levels, "ATTEMPT TO INCLUDE MORE THAN IN 16 LEVELS"},
    {asm_err::kMoreThanOneInclude, "MORE THAN ONE INCLUDE CONTROL ON SINGLE LINE"},
    {asm_err::kPrimaryAfterNonControl, "PRIMARY CONTROL \"%B\" FOLLOWS NON-CONTROL LINE"},
    {asm_err::kPrimaryAfterGeneral, "PRIMARY CONTROL \"%B\" FOLLOWS GENERAL CONTROL"},
    {asm_err::kMisplacedOrUnrecognizableControl, "MISPLACED OR UNRECOGNIZABLE CONTROL"},
    {asm_err::kRestoresOtherThanSaves, "NUMBER OF RESTORES OTHER THAN SAVES"},
    {asm_err::kSaveStackOverflow, "SAVE STACK %8"},
    {asm_err::kPageWidthBelowMinimum, "PAGEWIDTH BELOW MINIMUM, SET TO 80"},
    {asm_err::kPageWidthAboveMaximum, "PAGEWIDTH ABOVE MAXIMUM, SET TO 255"},
    {asm_err::kPageLengthBelowMinimum, "PAGELENGTH BELOW MINIMUM, SET TO 10"},
    {asm_err::kControlInInvocationLine, "%7 USE OF CONTROL IN INVOCATION LINE"},
    {asm_err::kSyntaxError, "SYNTAX ERROR"},
    {asm_err::kIllegalCharacter, "%7 CHARACTER (%A)"},
    {asm_err::kListingTerminatedAt255, "SOURCE LINE LISTING TERMINATED AT 255 CHARACTERS"},
    {asm_err::kArithmeticOverflow, "ARITHMETIC %8 IN NUMERIC CONSTANT EVALUATION"},
    {asm_err::kAttemptDivideZero, "ATTEMPT TO DIVIDE BY ZERO"},
    {asm_err::kForwardReferenceIllegal, "FORWARD REFERENCE OF SYMBOL \"%D\" %7 IN THIS EXPRESSION"},
    {asm_err::kExpressionExpected, "%6 EXPRESSION EXPECTED"},
    {asm_err::kRedefinitionNotAllowed, "REDEFINITION OF SYMBOL \"%D\" NOT ALLOWED"},
    {asm_err::kSymbolAlreadyDefined, "SYMBOL \"%D\" ALREADY DEFINED"},
    {asm_err::kTextFoundAfterEndStatement, "TEXT FOUND AFTER END STATEMENT%5"},
    {asm_err::kMissingEndStatement, "MISSING END STATEMENT"},
    {asm_err::kIllegalCharacterInNumber, "%7 CHARRACTER \"%C\" IN NUMERIC CONSTANT \"%B\", ZERO USED"},
    {asm_err::kLabelNameAlreadyUsed, "LABEL NAME \"%D\" ALREADY USED"},
    {asm_err::kMoreErrorsFoundNotReported, "MORE ERRORS FOUND, NOT REPORTED"},
    {asm_err::kUndefinedSymbol, "UNDEFINED SYMBOL \"%B\""},
    {asm_err::kValueTruncatedToByte, "VALUE OF EXPRESSION NEAR OPERAND \"%B\" TRUNCATED TO BYTE"},
    {asm_err::kDirectiveIllegalSegment, "DIRECTIVE \"%B\" %7 IN THIS %9"},
    {asm_err::kStringTerminatedEndLine, "STRING TERMINATED BY END-OF-LINE"},
    {asm_err::kStringLongerThan2, "STRING LONGER THAN 2 CHARACTERS %7 IN THIS CONTEXT"},
    {asm_err::kSourceLineTooLong, "SOURCE LINE CANNOT EXCEED 255 CHARACTERS"},
    {asm_err::kDestinationOutOfRange, "DESTINATION ADDRESS OUT OF RANGE FOR %6 REFERENCE"},
    {asm_err::kSegmentNameExpected, "%9 NAME EXPECTED"},
    {asm_err::kReferenceOtherSegment, "REFERENCE TO OTHER %9"},
    {asm_err::kSegmentAddressExpected, "%6 %9 ADDRESS EXPECTED"},
    {asm_err::kInvalidAddressSegment, "INVALID ADDRESS FOR THIS %9"},
    {asm_err::kLocationNotBitAddressable, "LOCATION IS NOT BIT ADDRESSABLE"},
    {asm_err::kIllegalBitOffset, "%7 BIT OFFSET"},
    {asm_err::kPublicAttributeIllegalSymbol, "PUBLIC ATTRIBUTE %7 FOR SYMBOL \"%D\""},
    {asm_err::kReferenceIllegalContext, "%6 REFERENCE %7 IN THIS CONTEXT"},
    {asm_err::kLocationBelowSegmentBase, "ATTEMPT TO SET LOCATION COUNTER BELOW %9 BASE"},
    {asm_err::kLocationCounterOverflow, "LOCATION COUNTER %8"},
    {asm_err::kRelocatedSegmentOverflow, "%6 RELOCATED %9 %8"},
    {asm_err::kTooMany, "TOO MANY %6"},
    {asm_err::kIllegalRelocatableExpression, "%7 RELOCATABLE EXPRESSION"},
    {asm_err::kIllegalRelocationTypeSegment, "%7 RELOCATION TYPE FOR THIS %9"},
    {asm_err::kIllegalRegisterBankNumber, "%7 REGISTER BANK NUMBER"},
    {asm_err::kSymbolIllegalMode, "SYMBOL \"%B\" %7 IN MODE %E"},
    {asm_err::kPredefinedSymbolRedefinition,
     "SYMBOL \"%B\" IS PREDEFINED IN MODE %E, REDEFINITION NOT ALLOWED"},
    {asm_err::kAlreadyDefinedAsPublic, "SYMBOL \"%D\" ALREADY DEFINED AS PUBLIC"},
    {asm_err::kReservedSymbolRedefinition, "REDEFINITION OF RESERVED SYMBOL NOT ALLOWED"},
    {asm_err::kBitByteNotBitAddressable, "BYTE OF BIT ADDRESS NOT IN BIT-ADDRESSABLE %9"},
    {asm_err::kPhaseError, "PHASE ERROR"},
    {asm_err::kExpressionTooComplex, "EXPRESSION TOO COMPLEX"},
    {asm_err::kInternalCrossReferenceTableGeneration,
     "DIZ-52 INTERNAL ERROR (CROSS-REFERENCE TABLE GENERATION)"},
    {asm_err::kInternalCrossReferenceTableParsing, "DIZ-52 INTERNAL ERROR (CROSS-REFERENCE TABLE PARSING)"},
    {asm_err::kInternalUnknownClass, "DIZ-52 INTERNAL ERROR (UNKNOWN CLASS)"},
    {asm_err::kInternalSymbolTableGeneration, "DIZ-52 INTERNAL ERROR (SYMBOL TABLE GENERATION)"},
    {asm_err::kInternalSymbolTableParsing, "DIZ-52 INTERNAL ERROR (SYMBOL TABLE PARSING)"},
    {asm_err::kInternalSymbolTableFull, "DIZ-52 INTERNAL ERROR (SYMBOL TABLE FULL)"},
};

namespace {

constexpr std::string_view kSegmentWords[] = {
    "SIMPLE RELOCATABLE", "ABSOLUTE", "BYTE", "BIT", "INBOLCK", "RELATIVE", "CODE", "XDATA", "DATA",
    "IDATA", "BIT", "EXTERNAL", "SEGMENT", "INPAGE", "INBLOCK", "BITADDRESSABLE",
    "RELOCATABLE SEGMENTS", "EXTERNAL SYMBOLS",
};
constexpr std::string_view kInvocationTexts[] = {
"LINE TOO LONG",
"MISSING SOURCE FILE NAME",
"ILLEGAL OR UNRECOGNIZABLE SOURCE FILE NAME",
"NOT ENOUGH MEMORY",
"DUPLICATE USE OF THE SAME FILE NAME FOR ",
"ILLEGAL OR UNRECOGNIZABLE FILE NAME",
"ILLEGAL CHARACTER IN CONTROL LINE",
"BAD OR MISSING PARAMETER",
"MISSING RIGHT PARENTHESIS",
"THIS CONTROL DOESN'T REQUIRE PARAMETER",
"BAD CONTROL",
"UNRECOGNIZABLE CONTROL",
"DUPLICATE USE OF THE SAME CONTROL",
};
constexpr std::string_view kDuplicateText = "DUPLICATE USE OF THE SAME FILE NAME FOR ";

}  // namespace

std::string_view AsmErrorText(uint16_t code) {
  for (const auto& row : kAsmErrorTable)
    if (row.Code == code) return row.Text;
  return {};
}

std::string_view SegmentWord(SegWord w) { return kSegmentWords[static_cast<size_t>(w)]; }

std::string_view InvocationErrorText(InvocationText t) {
  return kInvocationTexts[static_cast<size_t>(t)];
}

std::string ExpandAsmMessage(const AsmContext& c, uint16_t code) {
  const std::string_view text = AsmErrorText(code);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) break;
    switch (text[i]) {
      case '0': out += c.ErrorFileKind; break;
      case '1': out += c.ErrorFileName; break;
      case '2': out += "\r\n" + IOErrorText(c); break;
      case '3': out += c.InvocationLine; break;
      case '4':
        out += c.ErrorDetail;
        if (c.ErrorDetail == kDuplicateText) out += c.DupName1 + " AND " + c.DupName2;
        break;
      case '5': out += " - IGNORED"; break;
      case '6': out += c.ErrorWord; break;
      case '7': out += "ILLEGAL"; break;
      case '8': out += "OVERFLOW"; break;
      case '9': out += "SEGMENT"; break;
      case 'A': out += Hex2Text(static_cast<uint8_t>(c.scan.ScanChar)); break;
      case 'B': out += c.scan.AsmIdentifier; break;
      case 'C': out += c.scan.ScanChar; break;
      case 'D':
        if (c.sym.SymbolCursor < c.sym.SymbolEnd) out += SymName(c, c.sym.SymbolCursor);
        break;
      case 'E': out += std::to_string(c.CpuMode); break;
      default: break;
    }
  }
  if (out.size() > 255) out.resize(255);
  return out;
}

void ReportAsmError(AsmContext& c, uint16_t code, SegWord word) {
  c.ErrorWord = SegmentWord(word);
  ReportAsmError(c, code);
}

void ReportAsmError(AsmContext& c, uint16_t code) {
  if (c.line.LastAsmError == asm_err::kSyntaxError || !c.scan.Reporting) return;
  if (code != asm_err::kIllegalCharacterInNumber && code != asm_err::kValueTruncatedToByte)
    c.line.LastAsmError = code;
  c.line.LineHasError = true;
  // Pass 1 shows only invocation, I/O and internal errors; the rest is shown in pass 2.
  if (c.AsmPass == 1 && code > asm_err::kSemanticError &&
      code < asm_err::kInternalCrossReferenceTableGeneration)
    return;
  if (code == asm_err::kIOError) WriteCurrentText(c, "\r");
  if (AsmErrorText(code).empty() && code != asm_err::kFatalError) return;
  ++c.ErrorCount;
  c.ErrorLog.push_back({code, c.LinesRead});
  if (code == asm_err::kSyntaxError) {
    c.line.LineKind = line::kDirective;
    if (c.AsmPass == 2) {
      ListSourceLine(c);
      if (c.out.Files.ListOpen && c.out.Listing.ToListing) {
        std::string marker = "*** _________________________";
        int n = static_cast<int>(c.line.ErrorColumn);
        if (c.scan.ScanToken >= tok::kIdentifier) n -= static_cast<int>(c.scan.AsmIdentifier.size());
        else if (c.scan.ScanToken >= 12) n -= 1;
        if (n >= 2) marker.append(static_cast<size_t>(n - 1), '_');
        marker += '^';
        // Like every listing line the marker breaks at the page width.
        std::string_view rest = marker;
        while (rest.size() > c.PageWidth) {
          ListTextLine(c, rest.substr(0, c.PageWidth));
          rest.remove_prefix(c.PageWidth);
        }
        ListTextLine(c, rest);
      }
    }
  }
  const bool internal =
      code == asm_err::kFatalError || code >= asm_err::kInternalCrossReferenceTableGeneration;
  if (internal) {
    c.out.Listing.ToListing = false;
    c.AsmPass = 0;
  }
  std::string msg = "*** ERROR #" + std::to_string(code) + ", ";
  if (c.AsmPass != 0) msg += "Line #" + std::to_string(c.LinesRead) + ", ";
  msg += ExpandAsmMessage(c, code);
  if (msg.size() > 255) msg.resize(255);
  // Messages of pass 1 (only codes 0..3 get here), of a stopped pass and I/O
  // errors (whose files may be gone) go to the status text; in pass 2 the
  // others go with the listing.
  const bool toOutput =
      c.AsmPass != 2 || code == asm_err::kIOError || (c.out.Files.ListOpen && c.out.Listing.ToListing);
  if (toOutput) {
    // Each line of the message (error 2 has three) is cut at the page width.
    const size_t width = c.PageWidth;
    std::string_view all = msg;
    for (;;) {
      const size_t end = all.find("\r\n");
      std::string_view rest = all.substr(0, end);
      while (rest.size() > width + 2) {
        ListTextLine(c, rest.substr(0, width));
        rest.remove_prefix(width);
      }
      ListTextLine(c, rest);
      if (end == std::string_view::npos) break;
      all.remove_prefix(end + 2);
    }
  }
  if (code == asm_err::kIOError && !c.out.Listing.ToListing) EchoToListing(c, msg);
  if (c.out.Files.ErrorPrintOpen && c.out.Files.ErrorPrint) {
    *c.out.Files.ErrorPrint << msg << '\n';
    CheckAsmIO(c, *c.out.Files.ErrorPrint);
  }
  if (internal) AsmFatalStop(c);
}

void AsmSyntaxError(AsmContext& c) {
  if (c.line.LastAsmError == asm_err::kSyntaxError || !c.scan.Reporting) {
    c.scan.ScanToken = tok::kEol;
    return;
  }
  if (c.line.LineKind == line::kDB || c.line.LineKind == line::kDW) c.line.InstrLength = 0;
  c.scan.AsmValueKind = kind::kNumber;
  c.line.LineKind = line::kReMet;
  c.line.ErrorColumn = c.scan.Column;
  SkipAsmLine(c);
  ReportAsmError(c, asm_err::kSyntaxError);
  c.scan.ScanToken = tok::kEol;
}

std::string IOErrorText(const AsmContext& c) {
  std::string s = "Exception " + std::to_string(c.IOErrorCode) + ": " + c.IOErrorMessage;
  if (s.size() > 255) s.resize(255);
  return s;
}

void NoteIOFailure(AsmContext& c) {
  c.IOErrorCode = errno;
  c.IOErrorMessage = errno != 0 ? std::strerror(errno) : "";
}

void AsmFileError(AsmContext& c, std::string_view fileKind, std::string_view fileName) {
  c.ErrorFileKind = fileKind;
  c.ErrorFileName = fileName;
  c.line.LastAsmError = 0;
  c.scan.Reporting = true;
  c.out.Listing.ToListing = false;
  ReportAsmError(c, asm_err::kIOError);
  AsmFatalStop(c);
}

void CommitAsmFile(AsmContext& c, std::ostream* file, std::string_view fileKind, std::string_view fileName) {
  if (file == nullptr || CommitAsmOutput(file)) return;
  NoteIOFailure(c);
  AsmFileError(c, fileKind, fileName);
}

void CheckAsmIO(AsmContext& c, const std::ostream& s) {
  if (s.good() || c.AsmPass == 0) return;
  NoteIOFailure(c);
  c.StatusText += "\r\n";
  c.out.Listing.ToListing = false;
  ListTextLine(c, IOErrorText(c));
  EchoToListing(c, IOErrorText(c));
  AsmFatalStop(c);
}

}  // namespace dorvik::as
