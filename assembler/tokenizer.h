#pragma once
// The assembler's tokenizer: token codes, reserved words, special characters,
// predefined special-function-register and bit names, and the turning of
// identifiers into operand values.

#include <cstdint>
#include <string_view>

#include "assembler/context.h"

namespace dorvik::as {

// Token codes
namespace tok {
inline constexpr uint8_t kNone = 0, kComma = 1, kHash = 2, kAt = 3, kQuote = 4, kSemicolon = 5,
                         kDot = 6, kColon = 7, kControl = 8, kLParen = 9, kRParen = 10, kEol = 11,
                         kHigh = 12, kLow = 13, kMod = 14, kShl = 15, kShr = 16, kMul = 17,
                         kDiv = 18, kPlus = 19, kMinus = 20, kEq = 21, kNe = 22, kLt = 23, kGt = 24,
                         kLe = 25, kGe = 26, kNot = 27, kAnd = 28, kOr = 29, kXor = 30,
                         kIdentifier = 31;
inline constexpr uint8_t kSymbols = 52, kRs = 71;
inline constexpr uint8_t kDB = 80, kDBIT = 81, kDS = 82, kDW = 83, kEQU = 84, kSET = 85, kORG = 86,
                         kAT = 87, kNAME = 88, kEND = 89, kSEGMENT = 90, kEXTRN = 91, kPUBLIC = 92,
                         kRSEG = 93, kUSING = 94;
inline constexpr uint8_t kCSEG = 96, kXSEG = 97, kDSEG = 98, kISEG = 99, kBSEG = 100;
inline constexpr uint8_t kCODE = 104, kXDATA = 105, kDATA = 106, kIDATA = 107, kBIT = 108,
                         kNUMBER = 109;
inline constexpr uint8_t kBITADDRESSABLE = 112, kINBLOCK = 113, kINPAGE = 114, kPAGE = 115,
                         kUNIT = 116;
inline constexpr uint8_t kAR0 = 120, kAR7 = 127;
inline constexpr uint8_t kA = 128, kAB = 129, kC = 130, kDPTR = 131, kPC = 132;
inline constexpr uint8_t kR0 = 136, kR7 = 143;
inline constexpr uint8_t kIF = 144, kTHEN = 145, kELSE = 146, kBYTE = 148, kWORD = 149;
inline constexpr uint8_t kValue = 150;
inline constexpr uint8_t kFirstMnemonic = 208, kLastMnemonic = 252;
inline constexpr uint8_t kADD = 208, kADDC = 209, kSUBB = 210, kINC = 211, kDEC = 212, kMUL = 213,
                         kDIV = 214, kDA = 215, kANL = 216, kORL = 217, kXRL = 218, kCLR = 219,
                         kCPL = 220, kSETB = 221, kMOV = 222, kMOVC = 223, kMOVX = 224,
                         kXCH = 225, kXCHD = 226, kPUSH = 227, kPOP = 228, kRL = 229, kRLC = 230,
                         kRR = 231, kRRC = 232, kSWAP = 233, kRET = 234, kRETI = 235,
                         kACALL = 236, kLCALL = 237, kAJMP = 238, kLJMP = 239, kSJMP = 240,
                         kJZ = 241, kJNZ = 242, kJC = 243, kJNC = 244, kJB = 245, kJNB = 246,
                         kJBC = 247, kCJNE = 248, kDJNZ = 249, kNOP = 250, kJMP = 251,
                         kCALL = 252;
}  // namespace tok

// Tables
struct ReservedWordRow {
  std::string_view Name;
  uint8_t Token;
};
inline constexpr size_t kReservedWordCount = 121;
extern const ReservedWordRow kReservedWords[kReservedWordCount];

inline constexpr uint8_t kPredefByte = 0;
inline constexpr uint8_t kPredefBit = 1;
struct PredefinedSymbolRow {
  std::string_view Name;
  uint8_t IsBit;     // kPredefByte or kPredefBit
  uint8_t Address;
  uint8_t ModeSet;   // 1 every mode, 2 modes 51/52, 3 mode 52, 4 mode 44
};
inline constexpr size_t kPredefinedSymbolCount = 119;
extern const PredefinedSymbolRow kPredefinedSymbols[kPredefinedSymbolCount];

// Lookups
// Token of a reserved word (words of 15 or more characters are never reserved); 0 when none.
uint8_t FindReservedWord(std::string_view upperWord);
// Token of a special character; 0 when the character is not in the table.
uint8_t SpecialCharToken(char ch);
// True when a word character ("?", letters, digits, "\", "_").
bool IsAsmWordChar(char ch);
// Predefined name of the processor mode in force (whole-name match); sets
// c.scan.PredefinedFound and c.scan.PredefinedRow.
bool LookupPredefinedSymbol(AsmContext& c, std::string_view upperWord);
bool ModeKnowsRow(uint16_t cpuMode, uint8_t modeSet);

// Tokens
// Collects the word at ScanChar into AsmIdentifier (upper case, at most 32 characters).
void ReadAsmWord(AsmContext& c);
uint8_t GetAsmToken(AsmContext& c);
// The next token without consuming it (no errors reported while peeking).
uint8_t PeekAsmToken(AsmContext& c);
// Turns the current identifier (predefined or at the cursor) into a value or register token.
void SymbolOperandValue(AsmContext& c);
// A character of a string constant: 0 at its end (or at CR, error 117).
char AsmStringChar(AsmContext& c);

}  // namespace dorvik::as
