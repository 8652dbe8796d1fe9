#include "assembler/asmexpr.h"

#include <cstdint>
#include <limits>

#include "assembler/asmerrors.h"
#include "assembler/asmsymbols.h"
#include "assembler/objwriter.h"
#include "assembler/source.h"
#include "assembler/tokenizer.h"

namespace dorvik::as {

namespace {

constexpr uint8_t kMaxNesting = 16;
// Beyond this depth the rest of the line is dropped (no unbounded recursion).
constexpr uint8_t kHardNestingLimit = 48;

struct Operand {
  int32_t Value = 0;
  uint8_t Kind = kind::kNumber;
  uint8_t Segment = 0;
  bool External = false;  // relative to an external symbol (its Segment is the ID BLK)
};

bool IsOperator(uint8_t token) { return token >= tok::kHigh && token <= tok::kXor; }

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// Counts one nesting level; false when the line must be dropped.
bool EnterNesting(AsmContext& c, uint8_t& depth) {
  ++depth;
  if (depth == kMaxNesting + 1) ReportAsmError(c, asm_err::kExpressionTooComplex);
  if (depth > kHardNestingLimit) {
    SkipAsmLine(c);
    return false;
  }
  return true;
}

Operand Factor(AsmContext& c);
Operand SubExpression(AsmContext& c, uint8_t endToken);
Operand BinaryRest(AsmContext& c, Operand left, uint8_t op);
Operand BitSelect(AsmContext& c, Operand byte);

Operand HighLow(uint8_t op, Operand v, AsmContext& c) {
  if (op == tok::kLow) {
    v.Value &= 255;
    if (v.Segment != 0) c.line.Fixup = FixupKind::LowByte;
  } else {
    v.Value = static_cast<int32_t>((static_cast<uint32_t>(v.Value) & 0xFF00u) >> 8);
    if (v.Segment != 0) c.line.Fixup = FixupKind::HighByte;
  }
  v.Kind = kind::kNumber;
  return v;
}

bool Relocatable(const Operand& v) { return v.Segment != 0; }

void RelocationError(AsmContext& c) {
  if (c.line.LastAsmError != asm_err::kIllegalRelocatableExpression)
    ReportAsmError(c, asm_err::kIllegalRelocatableExpression);
}

Operand Apply(AsmContext& c, Operand left, Operand right, uint8_t op) {
  if (c.line.StringFlag) {
    AsmSyntaxError(c);
    return left;
  }
  Operand r;
  r.Segment = 0;
  const bool relational = op >= tok::kEq && op <= tok::kGe;
  // An external is a base of its own: it never cancels against a segment or
  // another external, whatever their numbers.
  if ((left.External || right.External) && left.Segment != 0 && right.Segment != 0) {
    RelocationError(c);
    return left;
  }
  if (left.Segment == right.Segment) {
    if (left.Segment != 0 && op != tok::kMinus && !relational) {
      RelocationError(c);
      return left;
    }
  } else if (left.Segment != 0 && right.Segment != 0) {
    RelocationError(c);
    return left;
  } else if (op == tok::kPlus || (op == tok::kMinus && left.Segment != 0)) {
    r.Segment = left.Segment != 0 ? left.Segment : right.Segment;
    r.External = left.External || right.External;
  } else {
    RelocationError(c);
    return left;
  }
  r.Kind = kind::kNumber;
  const int32_t a = left.Value;
  const int32_t b = right.Value;
  const uint32_t ua = static_cast<uint32_t>(a);
  const uint32_t ub = static_cast<uint32_t>(b);
  switch (op) {
    case tok::kShl: r.Value = static_cast<int32_t>(ua << (ub & 31)); break;
    case tok::kShr: r.Value = static_cast<int32_t>(ua >> (ub & 31)); break;
    case tok::kMul: r.Value = static_cast<int32_t>(ua * ub); break;
    case tok::kDiv:
    case tok::kMod:
      if (b == 0) {
        ReportAsmError(c, asm_err::kAttemptDivideZero);
        r.Value = -1;
      } else if (a == std::numeric_limits<int32_t>::min() && b == -1) {
        r.Value = op == tok::kDiv ? a : 0;
      } else {
        r.Value = op == tok::kDiv ? a / b : a % b;
      }
      break;
    case tok::kPlus:
    case tok::kMinus:
      r.Value = Wrap(op == tok::kPlus ? int64_t{a} + b : int64_t{a} - b);
      if ((left.Kind == kind::kNumber) != (right.Kind == kind::kNumber))
        r.Kind = left.Kind != kind::kNumber ? left.Kind : right.Kind;
      break;
    case tok::kEq: r.Value = a == b ? -1 : 0; break;
    case tok::kNe: r.Value = a != b ? -1 : 0; break;
    case tok::kLt: r.Value = a < b ? -1 : 0; break;
    case tok::kGt: r.Value = a > b ? -1 : 0; break;
    case tok::kLe: r.Value = a <= b ? -1 : 0; break;
    case tok::kGe: r.Value = a >= b ? -1 : 0; break;
    case tok::kNot:
      r.Value = ~b;
      r.Kind = right.Kind;
      break;
    case tok::kAnd: r.Value = a & b; break;
    case tok::kOr: r.Value = a | b; break;
    case tok::kXor: r.Value = a ^ b; break;
    default:
      AsmSyntaxError(c);
      return left;
  }
  c.expr.ResultKind = r.Kind;
  return r;
}

// NOT applied to an operand, after the operators that bind tighter than NOT.
Operand NotOperand(AsmContext& c, Operand v, bool reportRelocatable) {
  for (;;) {
    const uint8_t next = PeekAsmToken(c);
    if (!IsOperator(next) || AsmPrecedence(next) <= AsmPrecedence(tok::kNot)) break;
    GetAsmToken(c);
    v = BinaryRest(c, v, next);
    if (c.line.LastAsmError == asm_err::kSyntaxError) return v;
  }
  if (reportRelocatable && Relocatable(v)) {
    RelocationError(c);
    return v;
  }
  v.Value = ~v.Value;
  return v;
}

Operand StringConstant(AsmContext& c) {
  Operand v;
  c.line.InString = true;
  std::string text;
  for (;;) {
    const char ch = AsmStringChar(c);
    if (ch == 0) break;
    if (text.size() < 256) text += ch;
  }
  c.line.InString = false;
  if (c.line.LastAsmError == asm_err::kSyntaxError) return v;
  const bool inDB = c.line.LineKind == line::kDB;
  if (text.size() >= 2 && inDB) {
    for (char ch : text) {
      if (c.line.InstrLength < c.line.DataBytes.size()) {
        c.line.DataBytes[c.line.InstrLength] = static_cast<uint8_t>(ch);
        c.line.DataMarks[c.line.InstrLength] = 'S';
        ++c.line.InstrLength;
      }
      ++c.line.FixupOffset;
    }
    c.line.StringFlag = true;
    if (text.size() == 2) {
      v.Value = static_cast<uint8_t>(text[0]) * 256 + static_cast<uint8_t>(text[1]);
      return v;
    }
    v.Value = static_cast<uint8_t>(text.back());
    const char after = c.scan.ScanChar;
    if (after != kCR && after != ' ' && after != '\t' && after != ')' && after != ',') {
      AsmSyntaxError(c);
      v.Value = -1;
    }
    return v;
  }
  if (text.size() > 2) {
    ReportAsmError(c, asm_err::kStringLongerThan2);
    return v;
  }
  if (text.size() == 1) v.Value = static_cast<uint8_t>(text[0]);
  if (text.size() == 2)
    v.Value = static_cast<uint8_t>(text[0]) * 256 + static_cast<uint8_t>(text[1]);
  return v;
}

Operand Factor(AsmContext& c) {
  Operand v;
  SkipAsmBlanks(c);
  if (c.line.LastAsmError == asm_err::kSyntaxError) return v;
  if (c.scan.ScanChar == '\'') return StringConstant(c);
  if (c.scan.ScanChar == '(') {
    GetAsmChar(c);
    return SubExpression(c, tok::kRParen);
  }
  const uint8_t token = GetAsmToken(c);
  if (token == tok::kValue) {
    v.Value = c.scan.AsmValue;
    v.Kind = c.scan.AsmValueKind;
    v.Segment = c.scan.AsmValueSegment;
    v.External = c.scan.AsmValueExternal;
    return v;
  }
  if (!c.line.InInstruction) {
    if (token == tok::kIdentifier) {
      if ((c.scan.PredefinedFound || c.scan.IdentFound) && c.line.LastAsmError == 0) {
        SymbolOperandValue(c);
        if (c.scan.ScanToken != tok::kValue) {  // a register symbol
          AsmSyntaxError(c);
          return v;
        }
        v.Value = c.scan.AsmValue;
        v.Kind = c.scan.AsmValueKind;
        v.Segment = c.scan.AsmValueSegment;
        v.External = c.scan.AsmValueExternal;
        return v;
      }
      // Undefined (a forward reference, or error 114 already reported).
      c.line.UndefinedFlag = true;
      v.Kind = kind::kUndefined;
      return v;
    }
    if (token >= tok::kAR0 && token <= tok::kAR7) {
      if (c.CurrentBank == 0xFF) {
        ReportAsmError(c, asm_err::kForwardReferenceIllegal);
        return v;
      }
      v.Value = (token - tok::kAR0) + 8 * c.CurrentBank;
      return v;
    }
    AsmSyntaxError(c);
    return v;
  }
  if (token == tok::kIdentifier && c.line.LastAsmError == asm_err::kUndefinedSymbol) {
    v.Value = -1;
    v.Kind = kind::kUndefined;
    return v;
  }
  AsmSyntaxError(c);
  return v;
}

Operand SelectBits(AsmContext& c, Operand v) {
  SkipAsmBlanks(c);
  while (c.scan.ScanChar == '.' && c.line.LastAsmError != asm_err::kSyntaxError) {
    v = BitSelect(c, v);
    SkipAsmBlanks(c);
  }
  return v;
}

Operand SubExpression(AsmContext& c, uint8_t endToken) {
  Operand v;
  if (!EnterNesting(c, c.line.SubExprDepth)) return v;
  uint8_t next = PeekAsmToken(c);
  if (next == tok::kEol) {
    AsmSyntaxError(c);
    --c.line.SubExprDepth;
    return Operand{};
  }
  if (IsOperator(next)) {
    if (c.line.LineKind == line::kDB) c.line.LineKind = line::kEmpty;
    GetAsmToken(c);
    if (next != tok::kHigh && next != tok::kLow && next != tok::kPlus && next != tok::kMinus &&
        next != tok::kNot) {
      AsmSyntaxError(c);
      --c.line.SubExprDepth;
      return Operand{};
    }
    v = Factor(c);
    switch (next) {
      case tok::kNot: v = NotOperand(c, v, false); break;
      case tok::kMinus: v.Value = Wrap(-int64_t{v.Value}); break;
      case tok::kLow:
      case tok::kHigh: v = HighLow(next, v, c); break;
      default: break;
    }
  } else {
    v = Factor(c);
  }
  for (;;) {
    if (c.line.LastAsmError == asm_err::kSyntaxError) break;
    next = PeekAsmToken(c);
    if (!IsOperator(next)) break;
    if (c.line.LineKind == line::kDB) c.line.LineKind = line::kEmpty;
    if (c.line.StringFlag && static_cast<uint32_t>(v.Value) > 255 && c.line.InstrLength >= 2) {
      // A two-character string followed by an operator is a number after all.
      c.line.StringFlag = false;
      c.line.InstrLength -= 2;
      c.line.FixupOffset = static_cast<uint8_t>(c.line.FixupOffset - 2);
    }
    GetAsmToken(c);
    v = BinaryRest(c, v, next);
  }
  if (c.expr.ExprSegment == 255) c.expr.ExprSegment = v.Segment;
  v = SelectBits(c, v);
  if (c.line.LastAsmError == asm_err::kSyntaxError) {
    --c.line.SubExprDepth;
    return Operand{};
  }
  if (endToken != 0 && GetAsmToken(c) != endToken) {
    AsmSyntaxError(c);
    --c.line.SubExprDepth;
    return Operand{};
  }
  --c.line.SubExprDepth;
  return SelectBits(c, v);
}

Operand BinaryRest(AsmContext& c, Operand left, uint8_t op) {
  if (!EnterNesting(c, c.line.BinaryDepth)) return left;
  Operand right;
  const uint8_t next = PeekAsmToken(c);
  if (next == tok::kHigh || next == tok::kLow) {
    GetAsmToken(c);
    right = HighLow(next, Factor(c), c);
  } else if (next == tok::kNot) {
    GetAsmToken(c);
    right = NotOperand(c, Factor(c), true);
  } else {
    right = Factor(c);
  }
  for (;;) {
    if (c.line.LastAsmError == asm_err::kSyntaxError) break;
    const uint8_t following = PeekAsmToken(c);
    if (!IsOperator(following) || AsmPrecedence(following) <= AsmPrecedence(op)) break;
    GetAsmToken(c);
    right = BinaryRest(c, right, following);
  }
  Operand result = c.line.LastAsmError == asm_err::kSyntaxError ? left : Apply(c, left, right, op);
  --c.line.BinaryDepth;
  return result;
}

Operand BitSelect(AsmContext& c, Operand byte) {
  // The bit number is an expression of its own: keep this expression's flags.
  const AsmExprState saved = c.expr;
  const bool undefinedFlag = c.line.UndefinedFlag;
  GetAsmChar(c);  // the "."
  const int32_t bit = AsmExpression(c, kExprAbsolute);
  c.expr = saved;
  c.line.UndefinedFlag = undefinedFlag;
  Operand r;
  r.Value = 255;
  if (c.line.LastAsmError == asm_err::kSyntaxError) return r;
  bool failed = false;
  if (byte.Kind != kind::kData && byte.Kind != kind::kNumber) {
    ReportAsmError(c, asm_err::kBitByteNotBitAddressable);
    byte.Segment = 0;
    failed = true;
  }
  if (static_cast<uint32_t>(bit) > 7) {
    ReportAsmError(c, asm_err::kIllegalBitOffset);
    failed = true;
  }
  if (failed) return r;
  // The byte is cut to 8 bits; only a value above 255 is reported.
  if (byte.Value > 255) ReportAsmError(c, asm_err::kValueTruncatedToByte);
  const uint32_t b = static_cast<uint32_t>(byte.Value) & 255;
  r.Value = bit;
  if (byte.Segment != 0) {
    size_t pos = 0;
    if (FindSegmentSymbol(c, byte.Segment, pos)) {
      c.sym.SymbolCursor = pos;
      if (SymRelocType(c, pos) != kRelBitAddressable) {
        ReportAsmError(c, asm_err::kBitByteNotBitAddressable);
      } else if (b >= 16) {
        ReportAsmError(c, asm_err::kLocationNotBitAddressable);
      } else {
        r.Value = static_cast<int32_t>(b * 8 + static_cast<uint32_t>(bit));
        r.Kind = kind::kBit;
        r.Segment = byte.Segment;
        c.line.Fixup = FixupKind::BitOfByte;
      }
    }
    return r;
  }
  if (b >= 0x80) {
    if (b % 8 != 0) {
      ReportAsmError(c, asm_err::kLocationNotBitAddressable);
      return r;
    }
    r.Value = static_cast<int32_t>(b + static_cast<uint32_t>(bit));
    r.Kind = kind::kBit;
  } else if (b >= 0x20 && b <= 0x2F) {
    r.Value = static_cast<int32_t>((b - 0x20) * 8 + static_cast<uint32_t>(bit));
    r.Kind = kind::kBit;
  } else {
    ReportAsmError(c, asm_err::kLocationNotBitAddressable);
  }
  return r;
}

}  // namespace

int32_t AsmExpression(AsmContext& c, int mode) {
  c.expr = {};
  c.line.UndefinedFlag = false;
  c.line.NeedsFixup = false;
  c.scan.AsmValue = 0;
  c.scan.AsmValueKind = kind::kNumber;
  c.scan.AsmValueSegment = 0;
  if (c.line.LastAsmError == asm_err::kSyntaxError) return 0;
  Operand v = SubExpression(c, 0);
  if (c.expr.ExprSegment == 255) c.expr.ExprSegment = v.Segment;
  c.expr.UndefinedRef = c.line.UndefinedFlag;
  c.expr.ResultKind = v.Kind;
  if (mode == kExprAbsolute) {
    if (c.expr.UndefinedRef) ReportAsmError(c, asm_err::kForwardReferenceIllegal);
    if (c.expr.ExprSegment != 0)
      ReportAsmError(c, asm_err::kExpressionExpected, SegWord::Absolute);
    else if (static_cast<uint32_t>(v.Value) > 65535)
      ReportAsmError(c, asm_err::kArithmeticOverflow);
  } else if (mode == kExprKnown) {
    if (c.expr.UndefinedRef) ReportAsmError(c, asm_err::kForwardReferenceIllegal);
    if (c.expr.ExternalFlag) ReportAsmError(c, asm_err::kExpressionExpected, SegWord::SimpleRelocatable);
    if (c.expr.SegmentRef) ReportAsmError(c, asm_err::kReferenceIllegalContext, SegWord::Segment);
    if (c.expr.ExternalRef) ReportAsmError(c, asm_err::kReferenceIllegalContext, SegWord::External);
  }
  if (c.line.LastAsmError != 0) {
    v.Value = 0;
  }
  c.line.NeedsFixup = false;
  bool needed;
  if (c.expr.ExternalRef || (c.CurrentSegment.SegmentId != 0 && c.expr.UndefinedRef && c.line.GenericJump))
    needed = true;
  else if (c.expr.ExprSegment == 0)
    needed = false;
  else if (c.line.Fixup == FixupKind::Relative && c.expr.ExprSegment == c.CurrentSegment.SegmentId)
    needed = false;
  else
    needed = true;
  const bool emitsBytes = c.line.LineKind == line::kInstruction || c.line.LineKind == line::kDB ||
                          c.line.LineKind == line::kDW || c.line.LineKind == line::kEmpty;
  if (needed && c.line.LastAsmError != asm_err::kSyntaxError) {
    c.line.AnyFixup = true;
    c.line.NeedsFixup = true;
    if (c.line.GenericJump && c.line.Fixup == FixupKind::Relative) c.line.Fixup = FixupKind::Word;
    if ((c.line.Fixup == FixupKind::Byte || c.line.Fixup == FixupKind::Bit) &&
        v.Value > 255)  // a negative value is not above 255
      ReportAsmError(c, asm_err::kValueTruncatedToByte);
    if (c.AsmPass == 2 && c.out.Files.ObjectOpen && emitsBytes) {
      AsmFixupRequest r;
      r.Offset = c.line.FixupOffset;
      r.Kind = c.line.Fixup;
      r.External = c.expr.ExternalRef;
      if (c.expr.ExternalRef) {
        r.ExternalBlock = SymSegmentId(c, c.scan.ExternalSymbolPos);
        r.ExternalId = static_cast<uint8_t>(SymValue(c, c.scan.ExternalSymbolPos));
      }
      r.Segment = c.expr.ExprSegment;
      r.Value = v.Value;
      AddObjFixup(c, r);
    }
    if (emitsBytes) v.Value = 0;
  }
  c.scan.AsmValue = v.Value;
  c.scan.AsmValueKind = v.Kind;
  c.scan.AsmValueSegment = c.expr.ExprSegment;
  return v.Value;
}

}  // namespace dorvik::as
