#pragma once
// The command language's vocabulary: the keyword table (searched in stored
// order, abbreviations allowed), the punctuation pairs and the token numbers
// that the rest of the system uses.

#include <array>
#include <cstdint>
#include <string_view>

namespace dorvik {

// One row of the keyword table: a name of at most 10 characters and its token.
struct KeywordRow {
  std::string_view Name;
  uint8_t Token;
};

// One punctuation pair: a character and the token it gives.
struct PunctuationPair {
  char Char;
  uint8_t Token;
};

// Longest keyword name as stored; longer words never match a row.
inline constexpr size_t kKeywordNameLength = 10;

// The rows in table order. The order is part of the table: the first row that
// accepts a word wins. "_AT_" comes first; DPTR stands before DOUBLEWORD,
// FOREVER before FLOAT, MUL before MTYP and QUELM between DEFINE and DIR.
inline constexpr std::array<KeywordRow, 224> KeywordTable = {{
    {"_AT_", 168},
    {"A", 137},
    {"AB", 88},
    {"ACALL", 208},
    {"ADD", 209},
    {"ADDC", 210},
    {"ADDRESS", 144},
    {"ADR", 177},
    {"AJMP", 211},
    {"ALL", 118},
    {"AND", 17},
    {"ANL", 212},
    {"APPEND", 103},
    {"ARM", 117},
    {"ASCII", 77},
    {"ASM", 33},
    {"BASE", 57},
    {"BINARY", 104},
    {"BIT", 68},
    {"BOOLEAN", 132},
    {"BR", 34},
    {"BR0", 35},
    {"BR1", 36},
    {"BREAK", 34},
    {"BSEG", 196},
    {"BYTE", 147},
    {"C", 136},
    {"CALLSTACK", 76},
    {"CAUSE", 37},
    {"CBYTE", 64},
    {"CFG_FILE", 178},
    {"CH", 146},
    {"CHAR", 146},
    {"CHECKSUM", 74},
    {"CHIP", 96},
    {"CJNE", 213},
    {"CLR", 214},
    {"CODE", 128},
    {"CONTROLS", 179},
    {"CPL", 215},
    {"CPU", 49},
    {"CSEG", 192},
    {"CWORD", 72},
    {"D", 38},
    {"DA", 216},
    {"DASM", 38},
    {"DATA", 136},
    {"DB", 138},
    {"DBIT", 139},
    {"DBYTE", 67},
    {"DEC", 228},
    {"DECIMAL", 106},
    {"DEFINE", 50},
    {"QUELM", 101},
    {"DIR", 59},
    {"DISABLE", 61},
    {"DIV", 229},
    {"DJNZ", 230},
    {"DPTR", 89},
    {"DOUBLEWORD", 151},
    {"DS", 141},
    {"DSEG", 194},
    {"DW", 140},
    {"DWORD", 75},
    {"E", 39},
    {"EBYTE", 71},
    {"EDIT", 179},
    {"EEPROM", 135},
    {"ENABLE", 60},
    {"END", 142},
    {"EQ", 26},
    {"EQU", 143},
    {"EVALUATE", 55},
    {"EXIT", 39},
    {"EXPRESSION", 181},
    {"EXTERN", 159},
    {"EXTRN", 154},
    {"F", 112},
    {"FALSE", 109},
    {"FOREVER", 97},
    {"FLOAT", 152},
    {"FROM", 112},
    {"G", 40},
    {"GE", 24},
    {"GO", 40},
    {"GR", 41},
    {"GT", 22},
    {"H", 164},
    {"HALT", 164},
    {"HELP", 176},
    {"HEX", 107},
    {"HISTORY_BU", 182},
    {"I", 166},
    {"IDATA", 131},
    {"INC", 217},
    {"INCLUDE", 166},
    {"INTEGER", 148},
    {"ISEG", 195},
    {"JB", 218},
    {"JBC", 219},
    {"JC", 220},
    {"JMP", 221},
    {"JNB", 222},
    {"JNC", 223},
    {"JNZ", 224},
    {"JZ", 225},
    {"KILLWND", 163},
    {"L", 165},
    {"LABELS", 120},
    {"LCALL", 226},
    {"LE", 25},
    {"LENGTH", 113},
    {"LINES", 54},
    {"LIST", 165},
    {"LJMP", 227},
    {"LOAD", 42},
    {"LONGINT", 150},
    {"LSTEP", 123},
    {"LT", 23},
    {"MACRO_FILE", 183},
    {"MODULES", 52},
    {"MOV", 231},
    {"MOVC", 232},
    {"MOVX", 233},
    {"MSPEC", 184},
    {"MUL", 234},
    {"MTYP", 185},
    {"NAME", 157},
    {"NE", 27},
    {"NOCODE", 98},
    {"NOLINES", 100},
    {"NOP", 235},
    {"NOSYMBOLS", 99},
    {"NOT", 18},
    {"NUMBER", 133},
    {"OCTAL", 105},
    {"OFF", 111},
    {"ON", 110},
    {"OR", 19},
    {"ORG", 114},
    {"ORL", 236},
    {"PBYTE", 70},
    {"PC", 90},
    {"POINTER", 155},
    {"POP", 237},
    {"PORT", 134},
    {"PPC", 91},
    {"PREDEFINED", 122},
    {"PROCEDURES", 53},
    {"PSTEP", 124},
    {"PUBLIC", 119},
    {"PUSH", 238},
    {"PWORD", 78},
    {"R", 43},
    {"R0", 80},
    {"R1", 81},
    {"R2", 82},
    {"R3", 83},
    {"R4", 84},
    {"R5", 85},
    {"R6", 86},
    {"R7", 87},
    {"RB", 66},
    {"RBS", 48},
    {"RBYTE", 66},
    {"RCAP2", 95},
    {"RDATA", 130},
    {"REGISTERS", 43},
    {"REMOVE", 56},
    {"RESET", 44},
    {"RET", 239},
    {"RETI", 240},
    {"RL", 241},
    {"RLC", 242},
    {"RR", 243},
    {"RRC", 244},
    {"RSEG", 197},
    {"S", 47},
    {"SAVE", 45},
    {"SBIT", 187},
    {"SEGMENT", 192},
    {"SEND", 190},
    {"SET", 63},
    {"SETB", 245},
    {"SFR", 186},
    {"SFR16", 191},
    {"SHORTINT", 153},
    {"SJMP", 246},
    {"ST", 47},
    {"STACK", 46},
    {"STEP", 47},
    {"SUBB", 247},
    {"SWAP", 248},
    {"SY", 51},
    {"SYM", 51},
    {"SYMB", 51},
    {"SYMBO", 51},
    {"SYMBOL", 51},
    {"SYMBOLIC_R", 188},
    {"SYMBOLS", 51},
    {"T", 115},
    {"TERMINAL", 62},
    {"TILL", 115},
    {"TM0", 92},
    {"TM1", 93},
    {"TM2", 94},
    {"TO", 116},
    {"TRACE", 102},
    {"TRUE", 108},
    {"UNSIGNED", 158},
    {"USING", 161},
    {"VOID", 189},
    {"VOLATILE", 160},
    {"WAIT", 167},
    {"WINDOW", 162},
    {"WORD", 149},
    {"XBYTE", 65},
    {"XCH", 249},
    {"XCHD", 250},
    {"XDATA", 129},
    {"XOR", 20},
    {"XRL", 251},
    {"XSEG", 193},
    {"XWORD", 73},
}};

// Searched in this order, the first match wins (the second "=" only gives the
// text of token 26).
inline constexpr std::array<PunctuationPair, 29> PunctuationTokens = {{
    {',', 1},
    {'*', 5},
    {'/', 6},
    {'=', 2},
    {'=', 26},
    {'-', 4},
    {'+', 3},
    {'\'', 8},
    {'[', 29},
    {']', 30},
    {'(', 15},
    {')', 16},
    {'<', 23},
    {'>', 22},
    {'"', 27},
    {'{', 25},
    {'}', 24},
    {'|', 19},
    {'^', 20},
    {'&', 17},
    {'@', 10},
    {'$', 14},
    {'\r', 13},
    {'.', 11},
    {':', 12},
    {'#', 7},
    {'!', 18},
    {'?', 176},
    {';', 28},
}};

// Token of the first punctuation pair whose character is c; 0 when none.
constexpr uint8_t PunctToken(char c) {
  for (const PunctuationPair& p : PunctuationTokens)
    if (p.Char == c) return p.Token;
  return 0;
}

// Token numbers by name.
namespace tok {

// Punctuation, operators and the token kinds the scanner produces.
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kComma = 1;
inline constexpr uint8_t kEqual = 2;
inline constexpr uint8_t kPlus = 3;
inline constexpr uint8_t kMinus = 4;
inline constexpr uint8_t kStar = 5;
inline constexpr uint8_t kSlash = 6;
inline constexpr uint8_t kHash = 7;
inline constexpr uint8_t kQuote = 8;
inline constexpr uint8_t kAtSign = 10;
inline constexpr uint8_t kDot = 11;
inline constexpr uint8_t kColon = 12;
inline constexpr uint8_t kEndOfLine = 13;
inline constexpr uint8_t kDollar = 14;
inline constexpr uint8_t kLParen = 15;
inline constexpr uint8_t kRParen = 16;
inline constexpr uint8_t kAmpersand = 17;
inline constexpr uint8_t kBang = 18;
inline constexpr uint8_t kBar = 19;
inline constexpr uint8_t kCaret = 20;
inline constexpr uint8_t kGreater = 22;
inline constexpr uint8_t kLess = 23;
inline constexpr uint8_t kRBrace = 24;
inline constexpr uint8_t kLBrace = 25;
inline constexpr uint8_t kDoubleQuote = 27;
inline constexpr uint8_t kSemicolon = 28;
inline constexpr uint8_t kLBracket = 29;
inline constexpr uint8_t kRBracket = 30;
inline constexpr uint8_t kQuestion = 176;
// A resolved symbol of the loaded program.
inline constexpr uint8_t kSymbol = 58;
// A number; its value is in ExprValue.
inline constexpr uint8_t kNumberValue = 133;
// Base tokens of the typed memory references (plus the space in the low 3 bits).
inline constexpr uint8_t kByteTypeBase = 64;
inline constexpr uint8_t kWordTypeBase = 72;
// Base of the memory space keywords (plus the space in the low 3 bits).
inline constexpr uint8_t kSpaceBase = 128;

// Keywords, one constant per row name (synonyms share their token).
inline constexpr uint8_t kAT = 168;
inline constexpr uint8_t kA = 137;
inline constexpr uint8_t kAB = 88;
inline constexpr uint8_t kACALL = 208;
inline constexpr uint8_t kADD = 209;
inline constexpr uint8_t kADDC = 210;
inline constexpr uint8_t kADDRESS = 144;
inline constexpr uint8_t kADR = 177;
inline constexpr uint8_t kAJMP = 211;
inline constexpr uint8_t kALL = 118;
inline constexpr uint8_t kAND = 17;
inline constexpr uint8_t kANL = 212;
inline constexpr uint8_t kAPPEND = 103;
inline constexpr uint8_t kARM = 117;
inline constexpr uint8_t kASCII = 77;
inline constexpr uint8_t kASM = 33;
inline constexpr uint8_t kBASE = 57;
inline constexpr uint8_t kBINARY = 104;
inline constexpr uint8_t kBIT = 68;
inline constexpr uint8_t kBOOLEAN = 132;
inline constexpr uint8_t kBR = 34;
inline constexpr uint8_t kBR0 = 35;
inline constexpr uint8_t kBR1 = 36;
inline constexpr uint8_t kBREAK = 34;
inline constexpr uint8_t kBSEG = 196;
inline constexpr uint8_t kBYTE = 147;
inline constexpr uint8_t kC = 136;
inline constexpr uint8_t kCALLSTACK = 76;
inline constexpr uint8_t kCAUSE = 37;
inline constexpr uint8_t kCBYTE = 64;
inline constexpr uint8_t kCFG_FILE = 178;
inline constexpr uint8_t kCH = 146;
inline constexpr uint8_t kCHAR = 146;
inline constexpr uint8_t kCHECKSUM = 74;
inline constexpr uint8_t kCHIP = 96;
inline constexpr uint8_t kCJNE = 213;
inline constexpr uint8_t kCLR = 214;
inline constexpr uint8_t kCODE = 128;
inline constexpr uint8_t kCONTROLS = 179;
inline constexpr uint8_t kCPL = 215;
inline constexpr uint8_t kCPU = 49;
inline constexpr uint8_t kCSEG = 192;
inline constexpr uint8_t kCWORD = 72;
inline constexpr uint8_t kD = 38;
inline constexpr uint8_t kDA = 216;
inline constexpr uint8_t kDASM = 38;
inline constexpr uint8_t kDATA = 136;
inline constexpr uint8_t kDB = 138;
inline constexpr uint8_t kDBIT = 139;
inline constexpr uint8_t kDBYTE = 67;
inline constexpr uint8_t kDEC = 228;
inline constexpr uint8_t kDECIMAL = 106;
inline constexpr uint8_t kDEFINE = 50;
inline constexpr uint8_t kQUELM = 101;
inline constexpr uint8_t kDIR = 59;
inline constexpr uint8_t kDISABLE = 61;
inline constexpr uint8_t kDIV = 229;
inline constexpr uint8_t kDJNZ = 230;
inline constexpr uint8_t kDPTR = 89;
inline constexpr uint8_t kDOUBLEWORD = 151;
inline constexpr uint8_t kDS = 141;
inline constexpr uint8_t kDSEG = 194;
inline constexpr uint8_t kDW = 140;
inline constexpr uint8_t kDWORD = 75;
inline constexpr uint8_t kE = 39;
inline constexpr uint8_t kEBYTE = 71;
inline constexpr uint8_t kEDIT = 179;
inline constexpr uint8_t kEEPROM = 135;
inline constexpr uint8_t kENABLE = 60;
inline constexpr uint8_t kEND = 142;
inline constexpr uint8_t kEQ = 26;
inline constexpr uint8_t kEQU = 143;
inline constexpr uint8_t kEVALUATE = 55;
inline constexpr uint8_t kEXIT = 39;
inline constexpr uint8_t kEXPRESSION = 181;
inline constexpr uint8_t kEXTERN = 159;
inline constexpr uint8_t kEXTRN = 154;
inline constexpr uint8_t kF = 112;
inline constexpr uint8_t kFALSE = 109;
inline constexpr uint8_t kFOREVER = 97;
inline constexpr uint8_t kFLOAT = 152;
inline constexpr uint8_t kFROM = 112;
inline constexpr uint8_t kG = 40;
inline constexpr uint8_t kGE = 24;
inline constexpr uint8_t kGO = 40;
inline constexpr uint8_t kGR = 41;
inline constexpr uint8_t kGT = 22;
inline constexpr uint8_t kH = 164;
inline constexpr uint8_t kHALT = 164;
inline constexpr uint8_t kHELP = 176;
inline constexpr uint8_t kHEX = 107;
inline constexpr uint8_t kHISTORY_BU = 182;
inline constexpr uint8_t kI = 166;
inline constexpr uint8_t kIDATA = 131;
inline constexpr uint8_t kINC = 217;
inline constexpr uint8_t kINCLUDE = 166;
inline constexpr uint8_t kINTEGER = 148;
inline constexpr uint8_t kISEG = 195;
inline constexpr uint8_t kJB = 218;
inline constexpr uint8_t kJBC = 219;
inline constexpr uint8_t kJC = 220;
inline constexpr uint8_t kJMP = 221;
inline constexpr uint8_t kJNB = 222;
inline constexpr uint8_t kJNC = 223;
inline constexpr uint8_t kJNZ = 224;
inline constexpr uint8_t kJZ = 225;
inline constexpr uint8_t kKILLWND = 163;
inline constexpr uint8_t kL = 165;
inline constexpr uint8_t kLABELS = 120;
inline constexpr uint8_t kLCALL = 226;
inline constexpr uint8_t kLE = 25;
inline constexpr uint8_t kLENGTH = 113;
inline constexpr uint8_t kLINES = 54;
inline constexpr uint8_t kLIST = 165;
inline constexpr uint8_t kLJMP = 227;
inline constexpr uint8_t kLOAD = 42;
inline constexpr uint8_t kLONGINT = 150;
inline constexpr uint8_t kLSTEP = 123;
inline constexpr uint8_t kLT = 23;
inline constexpr uint8_t kMACRO_FILE = 183;
inline constexpr uint8_t kMODULES = 52;
inline constexpr uint8_t kMOV = 231;
inline constexpr uint8_t kMOVC = 232;
inline constexpr uint8_t kMOVX = 233;
inline constexpr uint8_t kMSPEC = 184;
inline constexpr uint8_t kMUL = 234;
inline constexpr uint8_t kMTYP = 185;
inline constexpr uint8_t kNAME = 157;
inline constexpr uint8_t kNE = 27;
inline constexpr uint8_t kNOCODE = 98;
inline constexpr uint8_t kNOLINES = 100;
inline constexpr uint8_t kNOP = 235;
inline constexpr uint8_t kNOSYMBOLS = 99;
inline constexpr uint8_t kNOT = 18;
inline constexpr uint8_t kNUMBER = 133;
inline constexpr uint8_t kOCTAL = 105;
inline constexpr uint8_t kOFF = 111;
inline constexpr uint8_t kON = 110;
inline constexpr uint8_t kOR = 19;
inline constexpr uint8_t kORG = 114;
inline constexpr uint8_t kORL = 236;
inline constexpr uint8_t kPBYTE = 70;
inline constexpr uint8_t kPC = 90;
inline constexpr uint8_t kPOINTER = 155;
inline constexpr uint8_t kPOP = 237;
inline constexpr uint8_t kPORT = 134;
inline constexpr uint8_t kPPC = 91;
inline constexpr uint8_t kPREDEFINED = 122;
inline constexpr uint8_t kPROCEDURES = 53;
inline constexpr uint8_t kPSTEP = 124;
inline constexpr uint8_t kPUBLIC = 119;
inline constexpr uint8_t kPUSH = 238;
inline constexpr uint8_t kPWORD = 78;
inline constexpr uint8_t kR = 43;
inline constexpr uint8_t kR0 = 80;
inline constexpr uint8_t kR1 = 81;
inline constexpr uint8_t kR2 = 82;
inline constexpr uint8_t kR3 = 83;
inline constexpr uint8_t kR4 = 84;
inline constexpr uint8_t kR5 = 85;
inline constexpr uint8_t kR6 = 86;
inline constexpr uint8_t kR7 = 87;
inline constexpr uint8_t kRB = 66;
inline constexpr uint8_t kRBS = 48;
inline constexpr uint8_t kRBYTE = 66;
inline constexpr uint8_t kRCAP2 = 95;
inline constexpr uint8_t kRDATA = 130;
inline constexpr uint8_t kREGISTERS = 43;
inline constexpr uint8_t kREMOVE = 56;
inline constexpr uint8_t kRESET = 44;
inline constexpr uint8_t kRET = 239;
inline constexpr uint8_t kRETI = 240;
inline constexpr uint8_t kRL = 241;
inline constexpr uint8_t kRLC = 242;
inline constexpr uint8_t kRR = 243;
inline constexpr uint8_t kRRC = 244;
inline constexpr uint8_t kRSEG = 197;
inline constexpr uint8_t kS = 47;
inline constexpr uint8_t kSAVE = 45;
inline constexpr uint8_t kSBIT = 187;
inline constexpr uint8_t kSEGMENT = 192;
inline constexpr uint8_t kSEND = 190;
inline constexpr uint8_t kSET = 63;
inline constexpr uint8_t kSETB = 245;
inline constexpr uint8_t kSFR = 186;
inline constexpr uint8_t kSFR16 = 191;
inline constexpr uint8_t kSHORTINT = 153;
inline constexpr uint8_t kSJMP = 246;
inline constexpr uint8_t kST = 47;
inline constexpr uint8_t kSTACK = 46;
inline constexpr uint8_t kSTEP = 47;
inline constexpr uint8_t kSUBB = 247;
inline constexpr uint8_t kSWAP = 248;
inline constexpr uint8_t kSY = 51;
inline constexpr uint8_t kSYM = 51;
inline constexpr uint8_t kSYMB = 51;
inline constexpr uint8_t kSYMBO = 51;
inline constexpr uint8_t kSYMBOL = 51;
inline constexpr uint8_t kSYMBOLIC_R = 188;
inline constexpr uint8_t kSYMBOLS = 51;
inline constexpr uint8_t kT = 115;
inline constexpr uint8_t kTERMINAL = 62;
inline constexpr uint8_t kTILL = 115;
inline constexpr uint8_t kTM0 = 92;
inline constexpr uint8_t kTM1 = 93;
inline constexpr uint8_t kTM2 = 94;
inline constexpr uint8_t kTO = 116;
inline constexpr uint8_t kTRACE = 102;
inline constexpr uint8_t kTRUE = 108;
inline constexpr uint8_t kUNSIGNED = 158;
inline constexpr uint8_t kUSING = 161;
inline constexpr uint8_t kVOID = 189;
inline constexpr uint8_t kVOLATILE = 160;
inline constexpr uint8_t kWAIT = 167;
inline constexpr uint8_t kWINDOW = 162;
inline constexpr uint8_t kWORD = 149;
inline constexpr uint8_t kXBYTE = 65;
inline constexpr uint8_t kXCH = 249;
inline constexpr uint8_t kXCHD = 250;
inline constexpr uint8_t kXDATA = 129;
inline constexpr uint8_t kXOR = 20;
inline constexpr uint8_t kXRL = 251;
inline constexpr uint8_t kXSEG = 193;
inline constexpr uint8_t kXWORD = 73;

}  // namespace tok

// Keyword search
enum class KeywordMatch { None, Exact, Abbreviation };
// Word against one stored row name: exact, a proper beginning of it, or none.
// The word is compared as it stands (callers upper-case it).
KeywordMatch MatchKeywordName(std::string_view word, std::string_view name);
// Index of the first row that accepts the word (exactly or as an
// abbreviation), or -1 when no row does.
int FirstAcceptingRow(std::string_view word);
// True when the row after `row` also accepts the word (the abbreviation is
// then ambiguous).
bool NextRowAccepts(std::string_view word, int row);

// Display texts
// Name of the LAST row with this token (so 47 gives STEP, 34 BREAK); the
// first row's name when no row has it.
std::string_view LastKeywordName(uint8_t token);
// Character of the first punctuation pair with this token, 0 when none.
char PunctuationChar(uint8_t token);

}  // namespace dorvik
