#include "lang/evaluator.h"
#include "base/session.h"

#include <bit>
#include <cmath>

#include "lang/collections.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner_symbols.h"
#include "lang/target_access.h"

namespace dorvik {
namespace {

// Largest whole number the bit operators take (0FFFFFFFFH, also TRUE).
constexpr long double kMaxBitOperand = 4294967295.0L;
constexpr long double kMaxAddress = 65535.0L;
constexpr int32_t kLastAddress = 0xFFFF;
constexpr uint8_t kNotPrecedence = 3;

bool Failed() { return Messages().ErrorFlag; }

// An operator of the expression being evaluated: the scanner's operators,
// and "=" as the comparison where the caller fixed the end (see Expression).
bool IsExpressionOperator(uint8_t token) {
  return IsOperatorToken(token) || (token == tok::kEqual && Evaluator().EqualCompares);
}

// ExprDepth and OperatorDepth back to 0 (error 133 calls it).
void ResetDepths() {
  Evaluator().ExprDepth = 0;
  Evaluator().OperatorDepth = 0;
  Scanner().BitContextDepth = 0;
}

// Registers the depth reset with the message service once, before the first
// evaluation can report error 133.
void EnsureResetHook() {
  static const bool registered = [] {
    SetExpressionResetHook(&ResetDepths);
    return true;
  }();
  (void)registered;
}

// The value of a bit operand; False (error 124) when it is not a whole
// number from 0 to 0FFFFFFFFH.
bool BitOperand(long double v, uint64_t& out) {
  if (!(v >= 0 && v <= kMaxBitOperand) || v != std::floor(v)) {
    ReportError(err::kIntegerTypeOperandsInRange);
    return false;
  }
  out = static_cast<uint64_t>(v);
  return true;
}

// Rounded to a 64-bit integer and complemented bit by bit.
long double Complement(long double v) {
  if (!(std::fabs(v) < 9.2e18L)) {
    ReportError(err::kArithmeticOverflowInNumericExpression);
    return 0;
  }
  return static_cast<long double>(~std::llround(v));
}

bool IsRegisterToken(uint8_t t) {
  return (t >= tok::kR0 && t <= tok::kRCAP2) || t == tok::kRBS || t == tok::kBR0 ||
         t == tok::kBR1;
}

bool IsSpacePrefix(uint8_t t) {
  return t == tok::kBIT || t == tok::kCODE || t == tok::kXDATA || t == tok::kRDATA ||
         t == tok::kIDATA || t == tok::kEEPROM;
}

bool IsTypeKeyword(uint8_t t) {
  return t == tok::kBOOLEAN || t == tok::kBIT || (t >= tok::kADDRESS && t <= tok::kPOINTER);
}

bool IsTypedToken(uint8_t t) { return t >= tok::kByteTypeBase && t <= tok::kByteTypeBase + 15; }

// Space of an address value; a procedure (class 10) is a code address.
uint8_t AddressSpace(uint8_t space) { return space == 10 ? kValueSpaceCode : space; }

bool BadAddressSpace(uint8_t space) { return space > kValueSpaceNumber && space != 10; }

}  // namespace

// Value list

EvaluatorState& Evaluator() { return CurrentSession().Get<EvaluatorState>(); }


// Evaluation

uint8_t OperatorPrecedence(uint8_t token) {
  switch (token) {
    case tok::kOR: case tok::kXOR: return 1;
    case tok::kAND: return 2;
    case tok::kNOT: return kNotPrecedence;
    case tok::kGT: case tok::kLT: case tok::kGE: case tok::kLE: case tok::kEQ: case tok::kNE:
    case tok::kEqual: return 4;
    case tok::kPlus: case tok::kMinus: return 5;
    case tok::kStar: case tok::kSlash: return 6;
    case tok::kNone: return 0;
    default:
      ReportError(err::kDorvikInternalError);
      return 0;
  }
}

long double Expression(uint8_t endToken) {
  EnsureResetHook();
  EvaluatorState& e = Evaluator();
  ScannerState& s = Scanner();
  if (e.ExprDepth >= kMaxExprDepth) {
    ReportError(err::kExpressionTooComplex);
    s.ExprValue = 0;
    return 0;
  }
  if (e.ExprDepth == 0) s.BitContext.fill(false);
  s.BitContextDepth = ++e.ExprDepth;
  // "=" ends an expression whose caller reads on (an assignment may follow);
  // it compares where the caller fixed the end: ")" or the end of the line.
  const bool outerEqualCompares = e.EqualCompares;
  e.EqualCompares = endToken != tok::kNone && endToken != tok::kEqual;

  long double value = 0;
  const uint8_t first = PeekToken();
  if (!Failed() && IsExpressionOperator(first)) {
    GetToken();
    if (first == tok::kMinus) {
      value = -Primary(false);
    } else if (first == tok::kPlus) {
      value = Primary(false);
    } else if (first == tok::kNOT) {
      value = Primary(false);
      while (!Failed() && IsExpressionOperator(PeekToken()) &&
             OperatorPrecedence(PeekToken()) > kNotPrecedence) {
        const uint8_t op = GetToken();
        value = ApplyOperator(s.ValueSpace, op, value);
        s.ValueSpace = e.ResultSpace;
      }
      if (!Failed()) value = Complement(value);
    } else {
      SyntaxError();
    }
  } else if (!Failed()) {
    value = Primary(true);
  }
  uint8_t space = s.ValueSpace;
  while (!Failed() && IsExpressionOperator(PeekToken())) {
    const uint8_t op = GetToken();
    value = ApplyOperator(space, op, value);
    space = e.ResultSpace;
  }
  if (endToken != tok::kNone && !Failed() && GetToken() != endToken && !Failed()) SyntaxError();
  e.EqualCompares = outerEqualCompares;

  // Error 133 may have reset the depth already: never below 0.
  if (e.ExprDepth > 0) --e.ExprDepth;
  s.BitContextDepth = e.ExprDepth;
  if (Failed()) value = 0;
  s.ExprValue = value;
  s.ValueSpace = space;
  return value;
}

long double ApplyOperator(uint8_t leftSpace, uint8_t op, long double left) {
  EnsureResetHook();
  EvaluatorState& e = Evaluator();
  ScannerState& s = Scanner();
  if (e.OperatorDepth >= kMaxExprDepth) {
    ReportError(err::kExpressionTooComplex);
    return 0;
  }
  ++e.OperatorDepth;
  const uint8_t precedence = OperatorPrecedence(op);

  long double right = 0;
  if (PeekToken() == tok::kNOT) {
    GetToken();
    right = Primary(false);
    while (!Failed() && IsExpressionOperator(PeekToken())) {
      const uint8_t next = PeekToken();
      const uint8_t p = OperatorPrecedence(next);
      if (p < precedence || p <= kNotPrecedence) break;
      GetToken();
      right = ApplyOperator(s.ValueSpace, next, right);
      s.ValueSpace = e.ResultSpace;
    }
    if (!Failed()) right = Complement(right);
  } else {
    right = Primary(false);
  }
  uint8_t rightSpace = s.ValueSpace;

  // Every following operator that binds tighter than Op is applied to the
  // right operand first, so that grouping follows the precedence table.
  while (!Failed() && IsExpressionOperator(PeekToken()) &&
         OperatorPrecedence(PeekToken()) > precedence) {
    const uint8_t next = GetToken();
    right = ApplyOperator(rightSpace, next, right);
    rightSpace = e.ResultSpace;
  }

  long double result = 0;
  if (!Failed()) result = ComputeOperator(leftSpace, rightSpace, op, right, left);
  if (e.OperatorDepth > 0) --e.OperatorDepth;
  return result;
}

long double ComputeOperator(uint8_t leftSpace, uint8_t rightSpace, uint8_t op, long double right,
                            long double left) {
  EvaluatorState& e = Evaluator();
  if ((op == tok::kPlus || op == tok::kMinus) &&
      (leftSpace == kValueSpaceNumber || rightSpace == kValueSpaceNumber))
    e.ResultSpace = static_cast<uint8_t>(leftSpace + rightSpace - kValueSpaceNumber);
  else
    e.ResultSpace = kValueSpaceNumber;

  auto truth = [](bool b) { return b ? kTrueValue : 0.0L; };
  uint64_t a = 0;
  uint64_t b = 0;
  switch (op) {
    case tok::kStar: return left * right;
    case tok::kPlus: return left + right;
    case tok::kMinus: return left - right;
    case tok::kSlash:
      if (right == 0) {
        ReportError(err::kDivideByZero);
        return kDivideByZeroValue;
      }
      return left / right;
    case tok::kGT: return truth(left > right);
    case tok::kLT: return truth(left < right);
    case tok::kGE: return truth(left >= right);
    case tok::kLE: return truth(left <= right);
    case tok::kEQ:
    case tok::kEqual: return truth(left == right);
    case tok::kNE: return truth(left != right);
    case tok::kAND:
      if (!BitOperand(left, a) || !BitOperand(right, b)) return 0;
      return static_cast<long double>(a & b);
    case tok::kOR:
      if (!BitOperand(left, a) || !BitOperand(right, b)) return 0;
      return static_cast<long double>(a | b);
    case tok::kXOR:
      if (!BitOperand(left, a) || !BitOperand(right, b)) return 0;
      return static_cast<long double>(a ^ b);
    case tok::kNOT:
      if (!BitOperand(right, b)) return 0;
      return static_cast<long double>(~static_cast<int64_t>(b));
    default:
      ReportError(err::kDorvikInternalError);
      return 0;
  }
}

// Primaries

namespace {

// A character constant of one or two characters after its opening quote.
long double CharacterConstant() {
  ScannerState& s = Scanner();
  const char first = ReadQuotedChar();
  if (Failed()) return 0;
  if (first == '\0') {
    SyntaxError();
    return 0;
  }
  long double value = static_cast<unsigned char>(first);
  const char second = ReadQuotedChar();
  if (Failed()) return 0;
  if (second != '\0') {
    value = value * 256 + static_cast<unsigned char>(second);
    if (ReadQuotedChar() != '\0' || Failed()) {
      if (!Failed()) SyntaxError();
      return 0;
    }
  }
  SkipBlanks();
  s.ValueSpace = kValueSpaceCharacter;
  return value;
}

// A numeric reply of the target: one hexadecimal word.
long double ReplyNumber() {
  ScannerState& s = Scanner();
  SkipBlanks();
  long double value = 0;
  bool any = false;
  while (IsIdentChar(s.ScanChar)) {
    if (!IsHexDigit(s.ScanChar)) {
      SyntaxError();
      return 0;
    }
    value = value * 16 + HexDigitValue(s.ScanChar);
    any = true;
    s.ScanChar = NextChar();
  }
  if (!any) {
    SyntaxError();
    return 0;
  }
  s.ScanToken = tok::kNumberValue;
  s.ExprValue = value;
  return value;
}

// A bit address from a byte address and the bit suffix.
// Below 128 only 20H-2FH hold bits (error 117 for another byte).
uint32_t BitAddress(uint32_t byteAddress) {
  const uint8_t bit = Scanner().BitNumber;
  if (byteAddress >= 128) return byteAddress + bit;
  if (byteAddress < 0x20 || byteAddress > 0x2F) {
    ReportError(err::kLocationNotBitAddressable);
    return 0;
  }
  return (byteAddress - 32) * 8 + bit;
}

// A symbol token (58, or the qualified forms 11 and 12): its address where
// addresses are wanted, else the contents of its location.
long double SymbolPrimary(uint8_t token) {
  ScannerState& s = Scanner();
  EvaluatorState& e = Evaluator();
  const SymbolReference ref = CurrentSymbolReference(token);
  if (!ref.Symbol && !ref.CpuEntry) {
    SyntaxError();
    return 0;
  }
  const uint32_t address = ref.Symbol ? ref.Symbol->Value : ref.CpuEntry->Value;
  const uint8_t symClass = ref.Symbol ? ref.Symbol->SymClass : ref.CpuEntry->Kind;
  // A processor's number entry (#define, EQU) is its value, not a location.
  if (!ref.Symbol && (ref.CpuEntry->Kind & 7) == kCpuSpaceNumber && !InBitContext()) {
    s.ValueSpace = kValueSpaceNumber;
    return address;
  }
  const bool wantAddress = Run().AsmLineMode || s.Disassembling || token != tok::kSymbol;
  if (wantAddress) {
    if (InBitContext()) {
      s.ValueSpace = kValueSpaceBit;
      const uint32_t bitAddress = BitAddress(address);
      return Failed() ? 0 : bitAddress;
    }
    const uint8_t space = symClass & 15;
    s.ValueSpace = space == 10 ? kValueSpaceCode : space;
    return address;
  }
  long double value = 0;
  if (InBitContext()) {
    const uint32_t bitAddress = BitAddress(address);
    if (Failed()) return 0;
    value = CurrentTargetAccess().ReadByte(kValueSpaceBit, bitAddress);
  } else if (ref.Symbol) {
    CurrentTargetAccess().ReadSymbolValue(*ref.Symbol);
    const tValueList& list = ValueList();
    if (!list.Items.empty()) value = ItemValue(list.Items.back());
  } else {
    value = CurrentTargetAccess().ReadByte(ref.CpuEntry->Kind & 7, address);
  }
  e.ValueType = tok::kSymbol;
  e.ValueSymClass = symClass;
  e.RangeStart = static_cast<int32_t>(address);
  return value;
}

// A memory space keyword before an address: the space travels in bits 16-18.
long double SpacePrefix(uint8_t token) {
  const long double address = Expression(tok::kNone);
  if (Failed()) return 0;
  if (!(address >= 0 && address <= kMaxAddress)) {
    ReportError(err::kArithmeticOverflowInNumericExpression);
    return 0;
  }
  Scanner().ValueSpace = kValueSpaceNumber;
  return address + (token & 7) * 65536.0L;
}

// A type keyword with its optional space: the typed memory token; whether
// a space was written.
uint8_t ReadTypedToken(uint8_t typeToken, bool& spaceWritten) {
  spaceWritten = true;
  if (IsTypedToken(typeToken)) return typeToken;
  uint8_t base;
  switch (typeToken) {
    case tok::kWORD: case tok::kINTEGER: case tok::kADDRESS:
      base = tok::kWordTypeBase;
      break;
    case tok::kLONGINT: case tok::kDOUBLEWORD: case tok::kFLOAT: case tok::kSHORTINT:
    case tok::kCHAR: case tok::kBYTE: case tok::kBOOLEAN:
      base = tok::kByteTypeBase;
      break;
    case tok::kPOINTER:
      base = 0;
      break;
    case tok::kBIT:
      SetBitContext(true);
      return tok::kByteTypeBase + kValueSpaceBit;
    default:
      SyntaxError();
      return 0;
  }
  uint8_t spaceToken = 0;
  spaceWritten = ReadMemorySpace(spaceToken);
  if (base == 0) return spaceToken;
  return static_cast<uint8_t>(base | (spaceToken & 7));
}

// A typed memory reference: the first value read; the whole range goes to
// the value list.
long double TypedPrimary(uint8_t token, bool allowRange) {
  ScannerState& s = Scanner();
  EvaluatorState& e = Evaluator();
  bool spaceWritten = true;
  const uint8_t memory = ReadTypedToken(token, spaceWritten);
  if (Failed()) return 0;
  e.RangeLength = 1;
  uint8_t itemType;
  if (memory == tok::kByteTypeBase + kValueSpaceBit && (IsTypedToken(token) || token == tok::kBIT))
    itemType = tok::kBIT;
  else if (IsTypedToken(token))
    itemType = token < tok::kWordTypeBase ? tok::kBYTE : tok::kWORD;
  else
    itemType = token == tok::kADDRESS ? tok::kWORD : token;

  uint8_t addressSpace;
  if (allowRange) {
    ReadRange(itemType);
    if (Failed()) return 0;
    addressSpace = e.RangeSpace;
  } else {
    const long double address = Expression(tok::kNone);
    if (Failed()) return 0;
    if (BadAddressSpace(s.ValueSpace)) {
      ReportError(err::kExpressionTooComplex);
      return 0;
    }
    addressSpace = AddressSpace(s.ValueSpace);
    if (!(address >= 0 && address < 8 * 65536.0L)) {
      ReportError(err::kPartitionBoundsError);
      return 0;
    }
    // The address within its space (a space prefix travels above bit 15).
    e.RangeStart = e.RangeEnd = static_cast<int32_t>(address) & kLastAddress;
  }
  uint8_t space = memory & 7;
  if (!spaceWritten) {
    if ((addressSpace == kValueSpaceData && e.RangeStart < 128) ||
        addressSpace == kValueSpaceNumber)
      space = kValueSpaceIData;
    else
      space = addressSpace;
  }
  ValueList().ElemType = itemType;
  CurrentTargetAccess().ReadTypedRange(space, itemType);
  if (Failed()) return 0;
  e.ValueType = itemType;
  e.ValueSymClass = space;
  s.ValueSpace = kValueSpaceNumber;
  const tValueList& list = ValueList();
  return list.Items.empty() ? 0 : ItemValue(list.Items.front());
}

}  // namespace

long double Primary(bool allowRange) {
  EnsureResetHook();
  ScannerState& s = Scanner();
  EvaluatorState& e = Evaluator();
  s.ValueSpace = kValueSpaceNumber;
  s.ExprValue = 0;
  e.ValueType = tok::kNumberValue;
  if (Scanner().ParsingReply) return ReplyNumber();

  uint8_t token = GetToken();
  if (Failed()) return 0;
  switch (token) {
    case tok::kNumberValue:
      return s.ExprValue;
    case tok::kLParen:
      return Expression(tok::kRParen);
    case tok::kQuote:
      return CharacterConstant();
    case tok::kTRUE:
      return kTrueValue;
    case tok::kFALSE:
      return 0;
    case tok::kBASE:
      return Formatting().DisplayRadix;
    case tok::kHash:
      // A line reference; in the line assembler "#" is the immediate mark.
      if (const tSymbolItem* line = CurrentSymbolReference(tok::kHash).Symbol;
          line && !Run().AsmLineMode && (line->SymClass & 15) == kClassLine) {
        s.ValueSpace = kValueSpaceCode;
        return line->Value;
      }
      SyntaxError();
      return 0;
    case tok::kSymbol:
    case tok::kDot:
    case tok::kColon:
      return SymbolPrimary(token);
    default:
      break;
  }
  // "$" arrives as PC in the code space with the main window's PC.
  if (token == tok::kPC && s.ValueSpace == kValueSpaceCode) return s.ExprValue;
  if (IsRegisterToken(token)) {
    const long double value = CurrentTargetAccess().RegisterValue(token);
    e.ValueType = token;
    return value;
  }
  if (IsSpacePrefix(token)) return SpacePrefix(token);
  if (token == tok::kDWORD || token == tok::kDW) {
    const uint8_t next = PeekToken();
    if (next == tok::kCODE || next == tok::kXDATA || next == tok::kRDATA ||
        next == tok::kIDATA || next == tok::kEEPROM)
      return TypedPrimary(tok::kDOUBLEWORD, allowRange);
  }
  if (IsTypedToken(token) || IsTypeKeyword(token)) return TypedPrimary(token, allowRange);
  // Any other keyword may still name a symbol (A, C, ...).
  if (token > tok::kRBracket && token != tok::kQuestion) {
    if (TrySymbolWord() == tok::kSymbol) {
      s.ScanToken = tok::kSymbol;
      return SymbolPrimary(tok::kSymbol);
    }
  }
  if (!Failed()) SyntaxError();
  return 0;
}

// Typed memory references

uint8_t TypedReference(uint8_t typeToken) {
  bool spaceWritten = false;
  return ReadTypedToken(typeToken, spaceWritten);
}

bool ReadMemorySpace(uint8_t& spaceToken) {
  ScannerState& s = Scanner();
  spaceToken = tok::kIDATA;
  SkipBlanks();
  const char c = UpperChar(s.ScanChar);
  if (c != 'C' && c != 'E' && c != 'I' && c != 'P' && c != 'R' && c != 'X') return false;
  const uint8_t next = PeekToken();
  if (next == tok::kCODE || next == tok::kXDATA || next == tok::kRDATA || next == tok::kIDATA ||
      next == tok::kPORT || next == tok::kEEPROM) {
    spaceToken = GetToken();
    return true;
  }
  return false;
}

void ReadRange(uint8_t elemType) {
  ScannerState& s = Scanner();
  EvaluatorState& e = Evaluator();
  e.RangeGiven = false;
  e.RangeKeyword = tok::kLENGTH;
  const long double start = Expression(tok::kNone);
  if (Failed()) return;
  if (BadAddressSpace(s.ValueSpace)) {
    ReportError(err::kExpressionTooComplex);
    return;
  }
  if (!(start >= 0 && start <= kLastAddress)) {
    ReportError(err::kPartitionBoundsError);
    return;
  }
  e.RangeSpace = AddressSpace(s.ValueSpace);
  e.RangeStart = e.RangeEnd = static_cast<int32_t>(start);
  const int size = ElementSize(elemType);

  const uint8_t next = PeekToken();
  if (next == tok::kLENGTH || next == tok::kTO) {
    GetToken();
    e.RangeKeyword = next;
    e.RangeGiven = true;
    const uint8_t spaceBefore = e.RangeSpace;
    // A symbol in the end expression sets RangeStart to its address: the range keeps its start.
    const int32_t rangeStart = e.RangeStart;
    const long double operand = Expression(tok::kNone);
    e.RangeStart = rangeStart;
    if (Failed()) return;
    if (BadAddressSpace(s.ValueSpace)) {
      ReportError(err::kExpressionTooComplex);
      return;
    }
    const long double end = next == tok::kLENGTH ? start + operand * size - 1 : operand;
    if (!(end >= start && end <= kLastAddress)) {
      ReportError(err::kPartitionBoundsError);
      return;
    }
    e.RangeEnd = static_cast<int32_t>(end);
    e.RangeSpace = spaceBefore;
    s.ValueSpace = spaceBefore;
  }
  // Whole elements only: the end moves up.
  const int32_t bytes = e.RangeEnd - e.RangeStart + 1;
  if (bytes % size != 0) e.RangeEnd += size - bytes % size;
  if (e.RangeEnd > kLastAddress) {
    ReportError(err::kPartitionBoundsError);
    return;
  }
  e.RangeLength = (e.RangeEnd - e.RangeStart + 1) / size;
  if (e.SingleValueOnly && e.RangeLength > 1) ReportError(err::kExpressionTooComplex);
}

}  // namespace dorvik
