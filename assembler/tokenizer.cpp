#include "assembler/tokenizer.h"

#include <array>
#include <vector>

#include "assembler/asmerrors.h"
#include "assembler/asmsymbols.h"
#include "assembler/controls.h"
#include "assembler/source.h"

namespace dorvik::as {

const ReservedWordRow kReservedWords[kReservedWordCount] = {
    {"A", 128},
    {"AB", 129},
    {"AJMP", 238},
    {"ACALL", 236},
    {"ADD", 208},
    {"ADDC", 209},
    {"AND", 28},
    {"ANL", 216},
    {"AR0", 120},
    {"AR1", 121},
    {"AR2", 122},
    {"AR3", 123},
    {"AR4", 124},
    {"AR5", 125},
    {"AR6", 126},
    {"AR7", 127},
    {"AT", 87},
    {"BIT", 108},
    {"BITADDRESSABLE", 112},
    {"BSEG", 100},
    {"BYTE", 148},
    {"C", 130},
    {"CALL", 252},
    {"CJNE", 248},
    {"CLR", 219},
    {"CODE", 104},
    {"CPL", 220},
    {"CSEG", 96},
    {"DA", 215},
    {"DATA", 106},
    {"DB", 80},
    {"DBIT", 81},
    {"DEC", 212},
    {"DIV", 214},
    {"DJNZ", 249},
    {"DPTR", 131},
    {"DS", 82},
    {"DSEG", 98},
    {"DW", 83},
    {"ELSE", 146},
    {"END", 89},
    {"EQ", 21},
    {"EQU", 84},
    {"EXTRN", 91},
    {"GE", 26},
    {"GT", 24},
    {"HIGH", 12},
    {"IDATA", 107},
    {"IF", 144},
    {"INC", 211},
    {"INBLOCK", 113},
    {"INPAGE", 114},
    {"ISEG", 99},
    {"JB", 245},
    {"JBC", 247},
    {"JC", 243},
    {"JMP", 251},
    {"JNB", 246},
    {"JNC", 244},
    {"JNZ", 242},
    {"JZ", 241},
    {"LCALL", 237},
    {"LE", 25},
    {"LI", 69},
    {"LIST", 69},
    {"LJMP", 239},
    {"LOW", 13},
    {"LT", 23},
    {"MOD", 14},
    {"MOV", 222},
    {"MOVC", 223},
    {"MOVX", 224},
    {"MUL", 213},
    {"NAME", 88},
    {"NE", 22},
    {"NOP", 250},
    {"NOT", 27},
    {"NUMBER", 109},
    {"OR", 29},
    {"ORG", 86},
    {"ORL", 217},
    {"PAGE", 115},
    {"PC", 132},
    {"POP", 228},
    {"PUBLIC", 92},
    {"PUSH", 227},
    {"R0", 136},
    {"R1", 137},
    {"R2", 138},
    {"R3", 139},
    {"R4", 140},
    {"R5", 141},
    {"R6", 142},
    {"R7", 143},
    {"RET", 234},
    {"RETI", 235},
    {"RL", 229},
    {"RLC", 230},
    {"RR", 231},
    {"RRC", 232},
    {"RS", 71},
    {"RSEG", 93},
    {"SEGMENT", 90},
    {"SET", 85},
    {"SETB", 221},
    {"SHL", 15},
    {"SHR", 16},
    {"SJMP", 240},
    {"SUBB", 210},
    {"SYMBOLS", 52},
    {"SWAP", 233},
    {"THEN", 145},
    {"UNIT", 116},
    {"USING", 94},
    {"WORD", 149},
    {"XCH", 225},
    {"XCHD", 226},
    {"XDATA", 105},
    {"XOR", 30},
    {"XRL", 218},
    {"XSEG", 97},
};

const PredefinedSymbolRow kPredefinedSymbols[kPredefinedSymbolCount] = {
    {"P0", kPredefByte, 0x80, 1},
    {"SP", kPredefByte, 0x81, 1},
    {"DPL", kPredefByte, 0x82, 1},
    {"DPH", kPredefByte, 0x83, 1},
    {"PCON", kPredefByte, 0x87, 1},
    {"TCON", kPredefByte, 0x88, 1},
    {"TMOD", kPredefByte, 0x89, 1},
    {"TL0", kPredefByte, 0x8A, 1},
    {"TL1", kPredefByte, 0x8B, 1},
    {"TH0", kPredefByte, 0x8C, 1},
    {"TH1", kPredefByte, 0x8D, 1},
    {"P1", kPredefByte, 0x90, 1},
    {"EINT", kPredefByte, 0x9E, 1},
    {"EBUF", kPredefByte, 0x9F, 1},
    {"P2", kPredefByte, 0xA0, 1},
    {"IE", kPredefByte, 0xA8, 1},
    {"P3", kPredefByte, 0xB0, 1},
    {"IP", kPredefByte, 0xB8, 1},
    {"PSW", kPredefByte, 0xD0, 1},
    {"ACC", kPredefByte, 0xE0, 1},
    {"B", kPredefByte, 0xF0, 1},
    {"SCON", kPredefByte, 0x98, 2},
    {"SBUF", kPredefByte, 0x99, 2},
    {"T2CON", kPredefByte, 0xC8, 3},
    {"RCAP2L", kPredefByte, 0xCA, 3},
    {"RCAP2H", kPredefByte, 0xCB, 3},
    {"TL2", kPredefByte, 0xCC, 3},
    {"TH2", kPredefByte, 0xCD, 3},
    {"STS", kPredefByte, 0xC8, 4},
    {"SMD", kPredefByte, 0xC9, 4},
    {"RCB", kPredefByte, 0xCA, 4},
    {"RBL", kPredefByte, 0xCB, 4},
    {"RBS", kPredefByte, 0xCC, 4},
    {"RFL", kPredefByte, 0xCD, 4},
    {"STAD", kPredefByte, 0xCE, 4},
    {"DMACNT", kPredefByte, 0xCF, 4},
    {"NSNR", kPredefByte, 0xD8, 4},
    {"SIUST", kPredefByte, 0xD9, 4},
    {"TCB", kPredefByte, 0xDA, 4},
    {"TBL", kPredefByte, 0xDB, 4},
    {"TBS", kPredefByte, 0xDC, 4},
    {"FIFO1", kPredefByte, 0xDD, 4},
    {"FIFO2", kPredefByte, 0xDE, 4},
    {"FIFO3", kPredefByte, 0xDF, 4},
    {"IT0", kPredefBit, 0x88, 1},
    {"IE0", kPredefBit, 0x89, 1},
    {"IT1", kPredefBit, 0x8A, 1},
    {"IE1", kPredefBit, 0x8B, 1},
    {"TR0", kPredefBit, 0x8C, 1},
    {"TF0", kPredefBit, 0x8D, 1},
    {"TR1", kPredefBit, 0x8E, 1},
    {"TF1", kPredefBit, 0x8F, 1},
    {"EX0", kPredefBit, 0xA8, 1},
    {"ET0", kPredefBit, 0xA9, 1},
    {"EX1", kPredefBit, 0xAA, 1},
    {"ET1", kPredefBit, 0xAB, 1},
    {"ES", kPredefBit, 0xAC, 1},
    {"EA", kPredefBit, 0xAF, 1},
    {"INT0", kPredefBit, 0xB2, 1},
    {"INT1", kPredefBit, 0xB3, 1},
    {"T0", kPredefBit, 0xB4, 1},
    {"T1", kPredefBit, 0xB5, 1},
    {"WR", kPredefBit, 0xB6, 1},
    {"RD", kPredefBit, 0xB7, 1},
    {"PX0", kPredefBit, 0xB8, 1},
    {"PT0", kPredefBit, 0xB9, 1},
    {"PX1", kPredefBit, 0xBA, 1},
    {"PT1", kPredefBit, 0xBB, 1},
    {"PS", kPredefBit, 0xBC, 1},
    {"P", kPredefBit, 0xD0, 1},
    {"OV", kPredefBit, 0xD2, 1},
    {"RS0", kPredefBit, 0xD3, 1},
    {"RS1", kPredefBit, 0xD4, 1},
    {"F0", kPredefBit, 0xD5, 1},
    {"AC", kPredefBit, 0xD6, 1},
    {"CY", kPredefBit, 0xD7, 1},
    {"RI", kPredefBit, 0x98, 2},
    {"TI", kPredefBit, 0x99, 2},
    {"RB8", kPredefBit, 0x9A, 2},
    {"TB8", kPredefBit, 0x9B, 2},
    {"REN", kPredefBit, 0x9C, 2},
    {"SM2", kPredefBit, 0x9D, 2},
    {"SM1", kPredefBit, 0x9E, 2},
    {"SM0", kPredefBit, 0x9F, 2},
    {"RXD", kPredefBit, 0xB0, 2},
    {"TXD", kPredefBit, 0xB1, 2},
    {"T2", kPredefBit, 0x90, 3},
    {"T2EX", kPredefBit, 0x91, 3},
    {"ET2", kPredefBit, 0xAD, 3},
    {"PT2", kPredefBit, 0xBD, 3},
    {"CPRL2", kPredefBit, 0xC8, 3},
    {"CT2", kPredefBit, 0xC9, 3},
    {"TR2", kPredefBit, 0xCA, 3},
    {"EXEN2", kPredefBit, 0xCB, 3},
    {"TCLK", kPredefBit, 0xCC, 3},
    {"RCLK", kPredefBit, 0xCD, 3},
    {"EXF2", kPredefBit, 0xCE, 3},
    {"TF2", kPredefBit, 0xCF, 3},
    {"RTS", kPredefBit, 0x96, 4},
    {"CTS", kPredefBit, 0x97, 4},
    {"IO", kPredefBit, 0xB0, 4},
    {"DATA", kPredefBit, 0xB1, 4},
    {"SCLK", kPredefBit, 0xB5, 4},
    {"RBP", kPredefBit, 0xC8, 4},
    {"AM", kPredefBit, 0xC9, 4},
    {"OPB", kPredefBit, 0xCA, 4},
    {"BOV", kPredefBit, 0xCB, 4},
    {"SI", kPredefBit, 0xCC, 4},
    {"RTS", kPredefBit, 0xCD, 4},
    {"RBE", kPredefBit, 0xCE, 4},
    {"TBF", kPredefBit, 0xCF, 4},
    {"SER", kPredefBit, 0xD8, 4},
    {"NR0", kPredefBit, 0xD9, 4},
    {"NR1", kPredefBit, 0xDA, 4},
    {"NR2", kPredefBit, 0xDB, 4},
    {"SES", kPredefBit, 0xDC, 4},
    {"NS0", kPredefBit, 0xDD, 4},
    {"NS1", kPredefBit, 0xDE, 4},
    {"NS2", kPredefBit, 0xDF, 4},
};

namespace {

struct SpecialCharRow {
  char Char;
  uint8_t Token;
};
constexpr SpecialCharRow kSpecialChars[] = {
    {',', 1}, {'\r', 11}, {';', 5}, {'*', 17}, {'/', 18}, {'=', 21}, {'-', 20}, {'+', 19},
    {'&', 28}, {'!', 27}, {'|', 29}, {'^', 30}, {'\'', 4}, {'(', 9}, {')', 10}, {'@', 3}, {'$', 8},
    {'.', 6}, {':', 7}, {'#', 2}, {'<', 23}, {'>', 24},
};
static_assert(std::size(kSpecialChars) == 22);

constexpr size_t kMaxIdentifier = 32;
constexpr size_t kReservedKeyLength = 14;

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Row numbers of a table grouped by first letter and length, for a quick
// search; rows keep their table order within a group.
constexpr size_t kMaxNameLength = 14;
template <size_t N>
struct NameIndex {
  std::array<std::vector<uint8_t>, 26 * (kMaxNameLength + 1)> Groups;
  template <typename Row>
  explicit NameIndex(const Row (&rows)[N]) {
    for (size_t i = 0; i < N; ++i) {
      const std::string_view name = rows[i].Name;
      Groups[Group(name)].push_back(static_cast<uint8_t>(i));
    }
  }
  static size_t Group(std::string_view name) {
    return static_cast<size_t>(name[0] - 'A') * (kMaxNameLength + 1) + name.size();
  }
  // Rows whose name equals name (upper case, 1..14 characters).
  const std::vector<uint8_t>* Find(std::string_view name) const {
    if (name.empty() || name.size() > kMaxNameLength || name[0] < 'A' || name[0] > 'Z')
      return nullptr;
    return &Groups[Group(name)];
  }
};

// Characters after which "$" is the location counter.
bool EndsLocationCounter(char ch) {
  switch (ch) {
    case '\t': case '\r': case ' ': case '*': case '+': case ',': case '-': case '/': case ';':
    case '<': case '=': case '>':
      return true;
    default:
      return false;
  }
}

void SetValue(AsmContext& c, int32_t value, uint8_t kind, uint8_t segment) {
  c.scan.AsmValue = value;
  c.scan.AsmValueKind = kind;
  c.scan.AsmValueSegment = segment;
  c.scan.ScanToken = tok::kValue;
}

void RecordCrossReference(AsmContext& c) {
  if (!Control(c, ControlId::Xref).On || !c.scan.Reporting) return;
  if (!c.PrimaryClosed && !c.line.DefiningPosition) return;
  AsmXrefEntry e;
  e.Line = c.LinesRead;
  e.Ordinal = static_cast<uint16_t>(c.sym.SymbolIndex);
  e.Defining =
      c.line.DefiningPosition && !c.line.NameListPosition && SymFlags(c, c.sym.SymbolCursor) == 0 ? 1 : 0;
  c.sym.Xref.push_back(e);
}

// Step 8: register aliases and identifiers inside instructions become values.
uint8_t FinishToken(AsmContext& c, uint8_t token) {
  c.scan.ScanToken = token;
  if (!c.line.InInstruction) return token;
  if (token >= tok::kAR0 && token <= tok::kAR7) {
    if (c.CurrentBank == 0xFF) {
      ReportAsmError(c, asm_err::kForwardReferenceIllegal);
      return c.scan.ScanToken;
    }
    SetValue(c, (token - tok::kAR0) + 8 * c.CurrentBank, kind::kNumber, 0);
    return c.scan.ScanToken;
  }
  if (token == tok::kIdentifier && (c.scan.PredefinedFound || c.scan.IdentFound)) SymbolOperandValue(c);
  return c.scan.ScanToken;
}

uint8_t IdentifierToken(AsmContext& c) {
  c.scan.NewSymbolFlag = false;
  c.scan.IdentFound = false;
  c.scan.PredefinedFound = false;
  const std::string& word = c.scan.AsmIdentifier;
  if (LookupPredefinedSymbol(c, word)) return FinishToken(c, tok::kIdentifier);
  if (c.AsmPass == 2) {
    if (FindAsmSymbol(c, word)) {
      c.scan.IdentFound = true;
      RecordCrossReference(c);
      return FinishToken(c, tok::kIdentifier);
    }
    if (!c.line.InInstruction && c.line.DefiningPosition && c.scan.Reporting) {
      ReportAsmError(c, asm_err::kInternalSymbolTableGeneration);
      return c.scan.ScanToken = tok::kIdentifier;
    }
    if (c.line.LabelOnLine) {
      AsmSyntaxError(c);
      return c.scan.ScanToken;
    }
    c.scan.AsmValue = 0;
    c.scan.AsmValueKind = kind::kUndefined;
    c.line.UndefinedFlag = true;
    ReportAsmError(c, asm_err::kUndefinedSymbol);
    return c.scan.ScanToken = tok::kIdentifier;
  }
  const bool found = FindAsmSymbol(c, word);
  if (c.line.DefiningPosition) {
    if (!found) {
      if (!c.scan.Reporting) return c.scan.ScanToken = tok::kIdentifier;
      InsertAsmSymbol(c, word);
      c.scan.NewSymbolFlag = true;
    } else if (SymScope(c, c.sym.SymbolCursor) == kScopePublic &&
               SymKind(c, c.sym.SymbolCursor) == kind::kUndefined) {
      c.scan.NewSymbolFlag = true;
    }
    c.scan.IdentFound = true;
    return FinishToken(c, tok::kIdentifier);
  }
  if (!found) {
    // A forward reference: no value yet, no message in this pass.
    c.scan.AsmValue = 0;
    c.scan.AsmValueKind = kind::kUndefined;
    c.scan.AsmValueSegment = 0;
    c.line.UndefinedFlag = true;
    if (c.line.InInstruction) return c.scan.ScanToken = tok::kValue;
    return c.scan.ScanToken = tok::kIdentifier;
  }
  c.scan.IdentFound = true;
  return FinishToken(c, tok::kIdentifier);
}

}  // namespace

bool IsAsmWordChar(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || IsDigit(ch) || ch == '?' ||
         ch == '\\' || ch == '_';
}

uint8_t FindReservedWord(std::string_view upperWord) {
  if (upperWord.empty() || upperWord.size() > kReservedKeyLength) return 0;
  static const NameIndex<kReservedWordCount> index(kReservedWords);
  if (const auto* rows = index.Find(upperWord))
    for (uint8_t i : *rows)
      if (kReservedWords[i].Name == upperWord) return kReservedWords[i].Token;
  return 0;
}

uint8_t SpecialCharToken(char ch) {
  for (const auto& row : kSpecialChars)
    if (row.Char == ch) return row.Token;
  return 0;
}

bool ModeKnowsRow(uint16_t cpuMode, uint8_t modeSet) {
  const bool mode52 = cpuMode == 52 || cpuMode == 252 || cpuMode == 452 || cpuMode == 552 ||
                      cpuMode == 652;
  switch (modeSet) {
    case 1: return true;
    case 2: return cpuMode == 51 || mode52;
    case 3: return mode52;
    case 4: return cpuMode == 44;
    default: return false;
  }
}

bool LookupPredefinedSymbol(AsmContext& c, std::string_view upperWord) {
  c.scan.PredefinedFound = false;
  if (!Control(c, ControlId::Mode).On || upperWord.size() > 6) return false;
  // Whole names only; where a name stands twice the later row wins.
  static const NameIndex<kPredefinedSymbolCount> index(kPredefinedSymbols);
  const auto* rows = index.Find(upperWord);
  if (rows == nullptr) return false;
  int row = -1;
  for (uint8_t i : *rows)
    if (kPredefinedSymbols[i].Name == upperWord &&
        ModeKnowsRow(c.CpuMode, kPredefinedSymbols[i].ModeSet))
      row = i;
  if (row < 0) return false;
  c.scan.PredefinedRow = row;
  c.scan.PredefinedFound = true;
  return true;
}

void ReadAsmWord(AsmContext& c) {
  c.scan.AsmIdentifier.clear();
  while (IsAsmWordChar(c.scan.ScanChar)) {
    char ch = c.scan.ScanChar;
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (c.scan.AsmIdentifier.size() < kMaxIdentifier + 1) c.scan.AsmIdentifier += ch;
    GetAsmChar(c);
  }
}

uint8_t GetAsmToken(AsmContext& c) {
  c.scan.AsmValueExternal = false;
  if (c.line.LastAsmError == asm_err::kSyntaxError) return c.scan.ScanToken = tok::kEol;
  SkipAsmBlanks(c);
  const char first = c.scan.ScanChar;
  if (IsDigit(first)) {
    ReadAsmWord(c);
    const bool longWord = c.scan.AsmIdentifier.size() > kMaxIdentifier;
    if (longWord) c.scan.AsmIdentifier.resize(kMaxIdentifier);
    const int32_t v = AsmNumberValue(c, c.scan.AsmIdentifier);
    if (c.line.LastAsmError == asm_err::kSyntaxError) return c.scan.ScanToken = tok::kEol;
    SetValue(c, v, kind::kNumber, 0);
    return c.scan.ScanToken;
  }
  if (IsAsmWordChar(first)) {
    ReadAsmWord(c);
    const bool longWord = c.scan.AsmIdentifier.size() > kReservedKeyLength;
    if (c.scan.AsmIdentifier.size() > kMaxIdentifier) c.scan.AsmIdentifier.resize(kMaxIdentifier);
    const uint8_t reserved = longWord ? 0 : FindReservedWord(c.scan.AsmIdentifier);
    if (reserved != 0) {
      c.scan.PredefinedFound = false;
      c.scan.IdentFound = false;
      return FinishToken(c, reserved);
    }
    return IdentifierToken(c);
  }
  uint8_t token = SpecialCharToken(first);
  while (token == 0 && first != 0) {
    // Not a usable character: report it and every following one alike.
    ReportAsmError(c, asm_err::kIllegalCharacter);
    GetAsmChar(c);
    SkipAsmBlanks(c);
    if (IsAsmWordChar(c.scan.ScanChar) || SpecialCharToken(c.scan.ScanChar) != 0) return GetAsmToken(c);
  }
  if (first == 0) return c.scan.ScanToken = tok::kEol;
  if (token == tok::kControl && c.scan.SourceIndex > 2) {
    const char next = GetAsmChar(c);
    if (EndsLocationCounter(next)) {
      SetValue(c, static_cast<int32_t>(c.CurrentSegment.Value), c.CurrentSegment.Kind & 15,
               c.CurrentSegment.SegmentId);
      return c.scan.ScanToken;
    }
    AsmSyntaxError(c);
    return c.scan.ScanToken;
  }
  c.scan.ScanToken = token;
  if (token != tok::kEol) {
    const char next = GetAsmChar(c);
    if (token == tok::kLt && next == '>') {
      token = tok::kNe;
      GetAsmChar(c);
    } else if (token == tok::kLt && next == '=') {
      token = tok::kLe;
      GetAsmChar(c);
    } else if (token == tok::kGt && next == '=') {
      token = tok::kGe;
      GetAsmChar(c);
    }
  }
  return c.scan.ScanToken = token;
}

uint8_t PeekAsmToken(AsmContext& c) {
  if (c.line.LastAsmError == asm_err::kSyntaxError) return c.scan.ScanToken = tok::kEol;
  const char savedChar = c.scan.ScanChar;
  const uint32_t savedIndex = c.scan.SourceIndex;
  const size_t savedListLength = c.scan.ListLine.size();
  const uint32_t savedColumn = c.scan.Column;
  const bool savedFull = c.scan.ListLineFull;
  const bool savedReporting = c.scan.Reporting;
  c.scan.Reporting = false;
  const uint8_t token = GetAsmToken(c);
  c.scan.ScanChar = savedChar;
  c.scan.SourceIndex = savedIndex;
  c.scan.ListLine.resize(savedListLength);
  c.scan.Column = savedColumn;
  c.scan.ListLineFull = savedFull;
  c.scan.Reporting = savedReporting;
  return c.scan.ScanToken = token;
}

void SymbolOperandValue(AsmContext& c) {
  if (c.scan.PredefinedFound) {
    const auto& row = kPredefinedSymbols[c.scan.PredefinedRow];
    SetValue(c, row.Address, row.IsBit ? kind::kBit : kind::kData, 0);
    return;
  }
  const size_t pos = c.sym.SymbolCursor;
  const uint8_t k = SymKind(c, pos);
  if ((k & 15) == kind::kRegister && k < kind::kSegment) {
    const uint32_t v = SymValue(c, pos);
    c.scan.ScanToken = v == 10 ? tok::kA : static_cast<uint8_t>(tok::kR0 + (v & 7));
    return;
  }
  SetValue(c, static_cast<int32_t>(SymValue(c, pos)), k & 15, SymSegmentId(c, pos));
  if (k >= kind::kSegment) c.expr.SegmentRef = true;
  if (SymScope(c, pos) == kScopeExternal && k != kind::kUndefined) {
    c.scan.ExternalSymbolPos = pos;
    c.scan.AsmValueExternal = true;
    c.expr.ExternalRef = true;
    c.expr.ExternalFlag = true;
    c.line.LineExternalRef = true;
    c.scan.AsmValue = 0;
  }
  if (k == kind::kUndefined || (c.AsmPass == 2 && SymFlags(c, pos) == 0)) c.line.UndefinedFlag = true;
}

char AsmStringChar(AsmContext& c) {
  const char ch = GetAsmChar(c);
  if (ch == kCR) {
    ReportAsmError(c, asm_err::kStringTerminatedEndLine);
    return 0;
  }
  if (ch == '\'') {
    c.line.InString = false;
    if (GetAsmChar(c) == '\'') {
      c.line.InString = true;
      return '\'';
    }
    return 0;
  }
  return ch;
}

}  // namespace dorvik::as
