#include "access/lineparser.h"
#include "base/session.h"

#include <array>
#include <cassert>
#include <cmath>

#include "lang/evaluator.h"
#include "lang/keywords.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "machine/opcodes.h"

namespace dorvik {
namespace {

bool Failed() {
  return Messages().ErrorFlag;
}

// Reports one syntax error: none when an error was reported before in this parse.
void Syntax() {
  if (!Failed()) SyntaxError();
}

bool IsMnemonic(uint8_t token) {
  return token >= tok::kACALL && token <= tok::kXRL;
}
bool IsRn(uint8_t token) {
  return token >= tok::kR0 && token <= tok::kR0 + 7;
}
bool IsRi(uint8_t token) {
  return token == tok::kR0 || token == tok::kR0 + 1;
}

// ExprValue rounded into 16 bits; values beyond the range wrap, non-numbers give 0.
uint16_t ToWord(long double value) {
  if (!std::isfinite(value)) return 0;
  long double r = std::fmod(std::round(value), 65536.0L);
  if (r < 0) r += 65536.0L;
  return static_cast<uint16_t>(r);
}

// The character after ScanChar, not consumed.
char PeekChar() {
  const ScannerState& s = Scanner();
  return s.ScanPos >= 1 && s.ScanPos <= s.ScanLine.size() ? s.ScanLine[s.ScanPos - 1] : '\0';
}

char PeekChar2() {
  const ScannerState& s = Scanner();
  return s.ScanPos < s.ScanLine.size() ? s.ScanLine[s.ScanPos] : '\0';
}

uint8_t Give(uint8_t token) {
  Scanner().ScanToken = token;
  return token;
}

// Operand `number` (1..3) := token, with the value of a number and its kind.
void SetOperand(int number, uint8_t token, uint8_t kind = kKindNumber) {
  assert(number >= 1 && number <= 3);
  ParsedInstruction& p = Parsed();
  const size_t i = static_cast<size_t>(number - 1);
  p.ParsedOperand[i] = token;
  p.ParsedValue[i] = token == tok::kNumberValue ? ToWord(Scanner().ExprValue) : 0;
  p.ParsedHasOp[i] = true;
  p.ParsedKind[i] = kind;
}

// The prefix of operand `number` (1 or 2).
void SetPrefix(int number, char prefix) {
  assert(number == 1 || number == 2);
  Parsed().ParsedPrefix[static_cast<size_t>(number - 1)] = prefix;
}

// A disassembler operand: register names, "#", "@" and plain hexadecimal numbers without suffix.
uint8_t ScanDisassemblyOperand() {
  ScannerState& s = Scanner();
  SkipBlanks();
  s.ExprValue = 0;
  const char c = UpperChar(s.ScanChar);
  if (c == '\r' || c == '\0') return Give(tok::kEndOfLine);
  if (c == 'A') {
    const char next = UpperChar(PeekChar());
    if (IsSeparator(next)) {
      NextChar();
      return Give(tok::kA);
    }
    const uint8_t m = Parsed().ParsedMnemonic;
    if (next == 'B' && (m == tok::kMUL || m == tok::kDIV) && IsSeparator(PeekChar2())) {
      NextChar();
      NextChar();
      return Give(tok::kAB);
    }
  } else if (c == 'C' && IsSeparator(PeekChar())) {
    NextChar();
    return Give(tok::kC);
  } else if (c == '#') {
    NextChar();
    return Give(tok::kHash);
  } else if (c == '@' || c == 'R') {
    return GetToken();
  } else if (c == 'D' && UpperChar(PeekChar()) == 'P') {
    NextChar();
    if (UpperChar(NextChar()) != 'T' || UpperChar(NextChar()) != 'R' || !IsSeparator(NextChar())) {
      Syntax();
      return Give(tok::kNone);
    }
    return Give(tok::kDPTR);
  }
  bool digits = false;
  while (IsHexDigit(s.ScanChar)) {
    s.ExprValue = s.ExprValue * 16 + HexDigitValue(s.ScanChar);
    digits = true;
    NextChar();
  }
  if (!digits || !IsSeparator(s.ScanChar)) {
    Syntax();
    return Give(tok::kNone);
  }
  s.ValueSpace = kValueSpaceNumber;
  return Give(tok::kNumberValue);
}

// Operand checks; each reports once and leaves ErrorFlag set.
bool CheckCodeAddressKind() {
  const uint8_t space = Scanner().ValueSpace & 0x0F;
  if (space == 0 || space == 5 || space == 10) return true;
  if (!Failed()) ReportError(err::kCodeSegmentAddressExpected);
  return false;
}

bool CheckDataAddress(uint8_t space) {
  if (space == 2 || space == 3 || space == 5) return true;
  if (!Failed()) ReportError(err::kOnChipDataSegmentAddress);
  return false;
}

bool CheckBitAddress(uint8_t space) {
  if (space == 4 || space == 5) return true;
  if (!Failed()) ReportError(err::kBitSegmentAddressExpected);
  return false;
}

bool CheckRegisterRn(uint8_t token) {
  if (IsRn(token)) return true;
  Syntax();
  return false;
}

bool CheckRegisterRi(uint8_t token) {
  if (IsRi(token)) return true;
  Syntax();
  return false;
}

bool Comma() {
  return !Failed() && ExpectComma();
}

// A jump or call target from the token already scanned: operand `index`, kind code.
void JumpTargetFrom(uint8_t token, int index) {
  if (token != tok::kNumberValue) {
    Syntax();
    Scanner().ExprValue = 0;
    return;
  }
  if (CheckCodeAddressKind()) SetOperand(index, tok::kNumberValue, kKindCode);
}

void ScanJumpTarget(int index) {
  if (Failed()) return;
  JumpTargetFrom(ScanOperand(), index);
}

// "#" and a number: operand `index` with the immediate prefix and the value's own space as kind.
void ImmediateAfterHash(int index) {
  if (ScanOperand() != tok::kNumberValue) {
    Syntax();
    return;
  }
  SetOperand(index, tok::kNumberValue, Scanner().ValueSpace);
  SetPrefix(index, '#');
}

void ScanImmediate(int index) {
  if (Failed()) return;
  if (ScanOperand() != tok::kHash) {
    Syntax();
    return;
  }
  ImmediateAfterHash(index);
}

// The register after an "@" already read: Ri (or DPTR where allowed) as operand `index` with the
// prefix "@"; false after a syntax error.
bool IndirectOperand(int index, bool dptrAllowed = false) {
  const uint8_t reg = ScanOperand();
  if (!(dptrAllowed && reg == tok::kDPTR) && !CheckRegisterRi(reg)) return false;
  SetOperand(index, reg);
  SetPrefix(index, '@');
  return true;
}

// "@"Ri, "#" immediate, a data address or Rn, from its first token.
void SourceOperandFrom(uint8_t token, int index) {
  if (Failed()) return;
  if (token == tok::kAtSign) {
    IndirectOperand(index);
  } else if (token == tok::kHash) {
    ImmediateAfterHash(index);
  } else if (token == tok::kNumberValue) {
    const uint8_t space = Scanner().ValueSpace;
    if (CheckDataAddress(space)) SetOperand(index, token, space == kValueSpaceNumber ? kKindData : space);
  } else if (CheckRegisterRn(token)) {
    SetOperand(index, token);
  }
}

void ScanSourceOperand(int index) {
  if (Failed()) return;
  SourceOperandFrom(ScanOperand(), index);
}

// "@A+" and PC or DPTR after the "@" already read; the register token, or 0 after a syntax error.
uint8_t IndexedByA() {
  if (GetToken() != tok::kA || GetToken() != tok::kPlus) {
    Syntax();
    return 0;
  }
  const uint8_t base = GetToken();
  if (base != tok::kPC && base != tok::kDPTR) {
    Syntax();
    return 0;
  }
  return base;
}

void SetFixedText(const char* text) {
  Parsed().ParsedFixedForm = true;
  Parsed().ParsedFixedText = text;
}

// The operand shapes that the opcode table gives a mnemonic, where all its rows
// share one: read from the table as the encoder reads it, so that a mnemonic
// parses as the instruction set writes it. Other: several shapes, parsed by
// the mnemonic's own rule.
enum class OperandShape : uint8_t {
  Other, NoOperands, JumpTarget, AccumulatorOnly, AccumulatorAndSource, BitAndTarget, DataAddressOnly, ABOnly
};

constexpr OperandShape ShapeOfRow(const OpcodeInfo& row) {
  using Opd = OperandForm;
  const auto [a, b, c] = row.Operands;
  if (c != Opd::None) return OperandShape::Other;
  if (a == Opd::None) return OperandShape::NoOperands;
  if (b == Opd::None) {
    if (a == Opd::Addr11 || a == Opd::Addr16 || a == Opd::Relative) return OperandShape::JumpTarget;
    if (a == Opd::A) return OperandShape::AccumulatorOnly;
    if (a == Opd::Direct) return OperandShape::DataAddressOnly;
    if (a == Opd::AB) return OperandShape::ABOnly;
    return OperandShape::Other;
  }
  if (a == Opd::A && (b == Opd::Rn || b == Opd::Direct || b == Opd::AtRi || b == Opd::Immediate))
    return OperandShape::AccumulatorAndSource;
  if (a == Opd::Bit && b == Opd::Relative) return OperandShape::BitAndTarget;
  return OperandShape::Other;
}

// By mnemonic token: the one shape of all its rows, Other when they differ or it has none.
constexpr std::array<OperandShape, 256> kShapeOfMnemonic = [] {
  std::array<OperandShape, 256> shapes{};
  std::array<bool, 256> seen{};
  for (const OpcodeInfo& row : kOpcodeTable) {
    const OperandShape shape = ShapeOfRow(row);
    if (!seen[row.Mnemonic]) {
      seen[row.Mnemonic] = true;
      shapes[row.Mnemonic] = shape;
    } else if (shapes[row.Mnemonic] != shape) {
      shapes[row.Mnemonic] = OperandShape::Other;
    }
  }
  return shapes;
}();

// Mnemonics whose first operand is always read as an expression: a code, bit or data address.
bool TakesExpressionOperand(uint8_t token) {
  const OperandShape shape = kShapeOfMnemonic[token];
  return shape == OperandShape::JumpTarget || shape == OperandShape::BitAndTarget ||
         shape == OperandShape::DataAddressOnly;
}

void ParseOtherOperands(uint8_t m, uint8_t t);

// The operands of an instruction mnemonic, from its first operand token.
void ParseOperands(uint8_t m, uint8_t t) {
  switch (kShapeOfMnemonic[m]) {
    case OperandShape::NoOperands:
      if (t != tok::kEndOfLine) Syntax();
      break;
    case OperandShape::JumpTarget:
      JumpTargetFrom(t, 1);
      break;
    case OperandShape::AccumulatorOnly:
      if (t != tok::kA) return Syntax();
      SetOperand(1, t);
      break;
    case OperandShape::AccumulatorAndSource:
      if (t != tok::kA) return Syntax();
      SetOperand(1, t);
      if (Comma()) ScanSourceOperand(2);
      break;
    case OperandShape::BitAndTarget:
      if (t != tok::kNumberValue) return Syntax();
      if (!CheckBitAddress(Scanner().ValueSpace)) return;
      SetOperand(1, t, kKindBit);
      if (Comma()) ScanJumpTarget(2);
      break;
    case OperandShape::DataAddressOnly:
      if (t != tok::kNumberValue) return Syntax();
      if (CheckDataAddress(Scanner().ValueSpace)) SetOperand(1, t, kKindData);
      break;
    case OperandShape::ABOnly:
      if (t != tok::kAB) return Syntax();
      SetOperand(1, t);
      break;
    case OperandShape::Other:
      ParseOtherOperands(m, t);
      break;
  }
}

// The mnemonics whose rows have several shapes: each by its own rule.
void ParseOtherOperands(uint8_t m, uint8_t t) {
  switch (m) {
    case tok::kANL:
    case tok::kORL:
    case tok::kXRL:
      if (t == tok::kA) {
        SetOperand(1, t);
        if (Comma()) ScanSourceOperand(2);
      } else if (t == tok::kC) {
        SetOperand(1, t);
        if (!Comma()) return;
        SkipBlanks();
        if (Scanner().ScanChar == '/') {
          NextChar();
          Parsed().ParsedPrefix[1] = '/';
        }
        if (ScanOperand() != tok::kNumberValue) return Syntax();
        if (CheckBitAddress(Scanner().ValueSpace)) SetOperand(2, tok::kNumberValue, kKindBit);
      } else if (t == tok::kNumberValue) {
        if (!CheckDataAddress(Scanner().ValueSpace)) return;
        SetOperand(1, t, kKindData);
        if (!Comma()) return;
        const uint8_t u = ScanOperand();
        if (u == tok::kHash)
          ImmediateAfterHash(2);
        else if (u == tok::kA)
          SetOperand(2, u);
        else
          Syntax();
      } else {
        Syntax();
      }
      break;

    case tok::kCJNE:
      if (t == tok::kA) {
        SetOperand(1, t);
        if (!Comma()) return;
        const uint8_t u = ScanOperand();
        if (u == tok::kHash) {
          ImmediateAfterHash(2);
        } else if (u == tok::kNumberValue) {
          if (CheckDataAddress(Scanner().ValueSpace)) SetOperand(2, u, kKindData);
        } else {
          return Syntax();
        }
      } else {
        if (t == tok::kAtSign) {
          if (!IndirectOperand(1)) return;
        } else {
          if (!CheckRegisterRn(t)) return;
          SetOperand(1, t);
        }
        if (!Comma()) return;
        ScanImmediate(2);
      }
      if (Comma()) ScanJumpTarget(3);
      break;

    case tok::kCLR:
    case tok::kCPL:
    case tok::kSETB:
      if (t == tok::kA || t == tok::kC)
        SetOperand(1, t);
      else if (t != tok::kNumberValue)
        Syntax();
      else if (CheckBitAddress(Scanner().ValueSpace))
        SetOperand(1, t, kKindBit);
      break;

    case tok::kINC:
    case tok::kDEC:
      if (t == tok::kA || IsRn(t) || t == tok::kDPTR) {
        SetOperand(1, t);
      } else if (t == tok::kAtSign) {
        IndirectOperand(1);
      } else if (t == tok::kNumberValue) {
        if (CheckDataAddress(Scanner().ValueSpace)) SetOperand(1, t, kKindData);
      } else {
        Syntax();
      }
      break;

    case tok::kJMP:
      if (t != tok::kAtSign || IndexedByA() != tok::kDPTR) return Syntax();
      SetFixedText("JMP     @A+DPTR");
      break;

    case tok::kDJNZ:
      if (t == tok::kNumberValue) {
        if (!CheckDataAddress(Scanner().ValueSpace)) return;
        SetOperand(1, t, kKindData);
      } else {
        if (!CheckRegisterRn(t)) return;
        SetOperand(1, t);
      }
      if (Comma()) ScanJumpTarget(2);
      break;

    case tok::kMOVC: {
      Parsed().ParsedFixedForm = true;
      if (t != tok::kA || !Comma()) return Syntax();
      if (ScanOperand() != tok::kAtSign) return Syntax();
      const uint8_t base = IndexedByA();
      if (base == tok::kPC)
        SetFixedText("MOVC    A,@A+PC");
      else if (base == tok::kDPTR)
        SetFixedText("MOVC    A,@A+DPTR");
      break;
    }

    case tok::kMOVX:
      if (t == tok::kA) {
        SetOperand(1, t);
        if (!Comma()) return;
        if (ScanOperand() != tok::kAtSign) return Syntax();
        IndirectOperand(2, true);
      } else if (t == tok::kAtSign) {
        if (!IndirectOperand(1, true) || !Comma()) return;
        if (ScanOperand() != tok::kA) return Syntax();
        SetOperand(2, tok::kA);
      } else {
        Syntax();
      }
      break;

    case tok::kMOV:
      if (t == tok::kDPTR) {
        SetOperand(1, t);
        if (Comma()) ScanImmediate(2);
      } else if (t == tok::kC) {
        SetOperand(1, t);
        if (!Comma()) return;
        if (ScanOperand() != tok::kNumberValue) return Syntax();
        if (CheckBitAddress(Scanner().ValueSpace)) SetOperand(2, tok::kNumberValue, kKindBit);
      } else if (t == tok::kA) {
        SetOperand(1, t);
        if (Comma()) ScanSourceOperand(2);
      } else if (t == tok::kAtSign) {
        if (!IndirectOperand(1) || !Comma()) return;
        const uint8_t u = ScanOperand();
        if (u == tok::kA)
          SetOperand(2, u);
        else if (u == tok::kHash)
          ImmediateAfterHash(2);
        else if (u != tok::kNumberValue)
          Syntax();
        else if (CheckDataAddress(Scanner().ValueSpace))
          SetOperand(2, u, kKindData);
      } else if (t == tok::kNumberValue) {
        const uint8_t space = Scanner().ValueSpace;
        SetOperand(1, t, kKindNumber);
        if (!Comma()) return;
        const uint8_t u = ScanOperand();
        if (u == tok::kC) {
          if (!CheckBitAddress(space)) return;
          Parsed().ParsedKind[0] = kKindBit;
          SetOperand(2, u);
        } else {
          if (!CheckDataAddress(space)) return;
          Parsed().ParsedKind[0] = kKindData;
          if (u == tok::kA)
            SetOperand(2, u);
          else
            SourceOperandFrom(u, 2);
        }
      } else if (IsRn(t)) {
        SetOperand(1, t);
        if (!Comma()) return;
        const uint8_t u = ScanOperand();
        if (u == tok::kA)
          SetOperand(2, u);
        else
          SourceOperandFrom(u, 2);
      } else {
        Syntax();
      }
      break;

    default:
      Syntax();
      break;
  }
}

}  // namespace

ParsedInstruction& Parsed() {
  return CurrentSession().Get<ParsedInstruction>();
}

uint8_t PeekSecondToken() {
  // Quietly: the whole message state, its suspension too, comes back afterwards.
  SavedStates<ScannerState, MessageState> saved;
  SuspendMessages();
  GetToken();
  return Failed() ? tok::kNone : GetToken();
}

uint8_t ScanOperand() {
  ScannerState& s = Scanner();
  if (s.Disassembling) return ScanDisassemblyOperand();
  const uint8_t before = s.ScanToken;
  // An operand mark is read as it stands, also when a signed number follows it ("#-1").
  SkipBlanks();
  if (s.ScanChar == '#' || s.ScanChar == '@') return GetToken();
  if (before == tok::kHash || TakesExpressionOperand(before) || IsOperatorToken(PeekSecondToken())) {
    Expression(0);
    return Give(Failed() ? tok::kNone : tok::kNumberValue);
  }
  // A symbol is valued by the evaluator, which gives its address (a bit address in bit context) and
  // its space while the line assembler parses.
  {
    SavedStates<ScannerState> beforeWord;
    const uint8_t token = GetToken();
    if (token != tok::kSymbol && token != tok::kDot) {
      beforeWord.Keep();
      return token;
    }
  }
  Expression(0);
  return Give(Failed() ? tok::kNone : tok::kNumberValue);
}

void ParseInstruction() {
  ScannerState& s = Scanner();
  Parsed() = ParsedInstruction{};
  const uint8_t m = s.ScanToken;
  Parsed().ParsedMnemonic = m;

  if (Run().AsmLineMode) {
    if (m == tok::kEndOfLine) return;
    if (IsMnemonic(m) && s.ScanIdent != LastKeywordName(m)) {
      ReportError(err::kInvalidMnemonic);
      return;
    }
  }
  if (!IsMnemonic(m)) {
    if (m != tok::kDB) {
      ReportError(err::kAssemblyImpossible);
      return;
    }
    if (ScanOperand() != tok::kNumberValue) return Syntax();
    SetOperand(1, tok::kNumberValue, kKindNumber);
  } else {
    const uint8_t first = ScanOperand();
    if (Failed()) return;
    ParseOperands(m, first);
  }
  if (!Failed() && s.ScanToken != tok::kEndOfLine) CheckEndOfLine();
}

}  // namespace dorvik
