#include "assembler/encoder.h"

#include "assembler/asmerrors.h"
#include "assembler/asmexpr.h"
#include "assembler/context.h"
#include "assembler/objwriter.h"
#include "assembler/source.h"
#include "assembler/tokenizer.h"

// Operand legend: dir = direct data address, bit = bit address, # = immediate,
// rel = relative jump target, addr11/addr16 = absolute jump targets,
// Rn = R0..R7, @Ri = @R0/@R1.

namespace dorvik::as {

namespace {

bool IsRegister(uint8_t t) { return t >= tok::kR0 && t <= tok::kR7; }
uint8_t RegisterNumber(uint8_t t) { return static_cast<uint8_t>(t - tok::kR0); }
bool SyntaxErrorOnLine(const AsmContext& c) { return c.LastAsmError == 100; }
uint32_t Location(const AsmContext& c) { return c.CurrentSegment.Value; }

void ExpectToken(AsmContext& c, uint8_t t) {
  if (GetAsmToken(c) != t) AsmSyntaxError(c);
}
void ExpectComma(AsmContext& c) { ExpectToken(c, tok::kComma); }
void ExpectEndOfLine(AsmContext& c) { ExpectToken(c, tok::kEol); }

// Consumes the peeked token when it is T.
bool Accept(AsmContext& c, uint8_t t) {
  if (PeekAsmToken(c) != t) return false;
  GetAsmToken(c);
  return true;
}

void SetBytes(AsmContext& c, uint32_t length, uint8_t op, uint8_t b1 = 0, uint8_t b2 = 0) {
  c.InstrLength = length;
  c.InstrBytes = {op, b1, b2};
}

// Operand readers

bool KindIs(uint8_t kind, std::initializer_list<uint8_t> accepted) {
  for (uint8_t k : accepted)
    if (k == kind) return true;
  return false;
}

// Truncation of an address to a byte: error 115, the low byte is kept.
uint8_t ByteOf(AsmContext& c, int32_t v) {
  if (v < 0 || v > 255) ReportAsmError(c, 115);
  return static_cast<uint8_t>(v & 0xFF);
}

uint8_t ImmediateOperand(AsmContext& c) {
  c.Fixup = FixupKind::Byte;
  return static_cast<uint8_t>(AsmExpression(c, kExprAny) & 0xFF);
}

uint8_t DataAddressOperand(AsmContext& c) {
  c.Fixup = FixupKind::Byte;
  const int32_t v = AsmExpression(c, kExprAny);
  if (c.AsmPass == 2 && c.LastAsmError == 0 &&
      !KindIs(c.AsmValueKind, {kind::kData, kind::kIData, kind::kNumber}))
    ReportAsmError(c, 123, SegWord::Data);
  return ByteOf(c, v);
}

uint8_t BitAddressOperand(AsmContext& c) {
  c.FixupOffset = 1;
  c.Fixup = FixupKind::Bit;
  const int32_t v = AsmExpression(c, kExprAny);
  if (c.AsmPass == 2 && c.LastAsmError == 0 && !KindIs(c.AsmValueKind, {kind::kBit, kind::kNumber}))
    ReportAsmError(c, 123, SegWord::Bit);
  return ByteOf(c, v);
}

int32_t CodeAddressOperand(AsmContext& c) {
  const int32_t v = AsmExpression(c, kExprAny);
  if (c.AsmPass == 2 && c.LastAsmError == 0 && !KindIs(c.AsmValueKind, {kind::kCode, kind::kNumber}))
    ReportAsmError(c, 123, SegWord::Code);
  return v;
}

uint8_t CheckDataValue(AsmContext& c, int32_t v) {
  if (c.AsmPass == 2 && !KindIs(c.AsmValueKind, {kind::kData, kind::kIData, kind::kNumber}))
    ReportAsmError(c, 123, SegWord::Data);
  return ByteOf(c, v);
}

uint8_t CheckBitValue(AsmContext& c, int32_t v) {
  if (c.AsmPass == 2 && !KindIs(c.AsmValueKind, {kind::kBit, kind::kNumber})) ReportAsmError(c, 123, SegWord::Bit);
  return ByteOf(c, v);
}

// @R0 or @R1 after the "@" was consumed: the register number, or a syntax error.
bool IndirectRegister(AsmContext& c, uint8_t& i) {
  const uint8_t t = GetAsmToken(c);
  if (t == tok::kR0 || t == tok::kR0 + 1) {
    i = RegisterNumber(t);
    return true;
  }
  AsmSyntaxError(c);
  return false;
}

// Jumps

// The displacement from the instruction's end to TARGET; error 120 and 0 when
// it does not fit in a signed byte.
uint8_t ComputeRelativeOffset(AsmContext& c, int32_t target) {
  const int64_t next = static_cast<int64_t>(Location(c)) + c.InstrLength;
  const int64_t t = target;
  if (t < next) {
    const int64_t d = next - t;
    if (d <= 128) return static_cast<uint8_t>((256 - d) & 0xFF);
  } else if (t - next <= 127) {
    return static_cast<uint8_t>(t - next);
  }
  ReportAsmError(c, 120, SegWord::Relative);
  return 0;
}

// The displacement field at POSITION of an instruction of LENGTH bytes.
void RelativeField(AsmContext& c, uint32_t length, uint8_t position) {
  c.Fixup = FixupKind::Relative;
  c.FixupOffset = position;
  c.InstrLength = length;
  const int32_t target = CodeAddressOperand(c);
  uint8_t disp = 0;
  if (c.AsmPass == 2 && !c.NeedsFixup && !SyntaxErrorOnLine(c)) disp = ComputeRelativeOffset(c, target);
  c.InstrBytes[position] = disp;
}

// SJMP, JZ, JNZ, JC, JNC.
void RelativeJumpOperand(AsmContext& c, uint8_t op) {
  c.InstrBytes = {op, 0, 0};
  RelativeField(c, 2, 1);
  ExpectEndOfLine(c);
}

// JB, JNB, JBC.
void BitRelativeJumpOperand(AsmContext& c, uint8_t op) {
  c.InstrBytes = {op, 0, 0};
  const uint8_t bit = BitAddressOperand(c);
  c.InstrBytes[1] = bit;
  ExpectComma(c);
  RelativeField(c, 3, 2);
  ExpectEndOfLine(c);
}

bool SameBlock(uint32_t a, int32_t b) { return (a & 0xF800u) == (static_cast<uint32_t>(b) & 0xF800u); }

// AJMP, ACALL.
void AbsoluteJumpOperand(AsmContext& c, uint8_t base) {
  c.Fixup = FixupKind::InBlock;
  c.FixupOffset = 0;
  const int32_t target = CodeAddressOperand(c);
  ExpectEndOfLine(c);
  SetBytes(c, 2, base);
  if (c.AsmPass != 2 || c.NeedsFixup) return;
  if (!SameBlock(Location(c) + 2, target)) ReportAsmError(c, 120, SegWord::InBolck);
  c.InstrBytes[0] = static_cast<uint8_t>(base | ((target & 0x0700) >> 3));
  c.InstrBytes[1] = static_cast<uint8_t>(target & 0xFF);
}

// LJMP, LCALL.
void LongJumpOperand(AsmContext& c, uint8_t op) {
  c.Fixup = FixupKind::Word;
  c.FixupOffset = 1;
  const int32_t target = CodeAddressOperand(c);
  SetBytes(c, 3, op, static_cast<uint8_t>((target >> 8) & 0xFF), static_cast<uint8_t>(target & 0xFF));
  ExpectEndOfLine(c);
}

// Generic JMP (base 00H) and CALL (base 10H): the shortest form that reaches a
// known target, the same in both passes; the long form otherwise.
void GenericJumpOperand(AsmContext& c, uint8_t base) {
  c.Fixup = FixupKind::Relative;
  c.GenericJump = true;
  c.FixupOffset = 1;
  c.UndefinedFlag = false;
  int32_t target = CodeAddressOperand(c);
  if (SyntaxErrorOnLine(c)) return;
  uint32_t length = 3;
  if (!c.NeedsFixup && !c.UndefinedFlag && !c.UndefinedRef) {
    const int64_t next = static_cast<int64_t>(Location(c)) + 2;
    const bool shortReach = target < next ? next - target <= 128 : target - next <= 127;
    if (base == 0x00 && shortReach) {
      c.InstrLength = 2;
      c.InstrBytes = {0x80, c.AsmPass == 2 ? ComputeRelativeOffset(c, target) : uint8_t{0}, 0};
      ExpectEndOfLine(c);
      return;
    }
    length = SameBlock(Location(c) + 2, target) ? 2 : 3;
    if (c.CurrentSegment.SegmentId != 0) {
      c.NeedsFixup = true;
      c.Fixup = FixupKind::Word;
      if (c.AsmPass == 2) {
        AsmFixupRequest request;
        request.Offset = 1;
        request.Kind = FixupKind::Word;
        request.Segment = c.AsmValueSegment;
        request.Value = target;
        AddObjFixup(c, request);
        c.AnyFixup = true;
      }
      target = 0;
      length = 3;
    }
  }
  if (length == 2)
    SetBytes(c, 2, static_cast<uint8_t>((base + 1) | ((target & 0x0700) >> 3)), static_cast<uint8_t>(target & 0xFF));
  else
    SetBytes(c, 3, static_cast<uint8_t>(base + 2), static_cast<uint8_t>((target >> 8) & 0xFF),
             static_cast<uint8_t>(target & 0xFF));
  ExpectEndOfLine(c);
}

// Operand families

// The source operand of ADD..XRL A,src, MOV A,src, XCH A,src, INC/DEC src
// and MOV dir,src (base 80H; the destination already in the second byte).
void EncodeSourceOperand(AsmContext& c, uint8_t base) {
  c.FixupOffset = 1;
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kHash) {
    if (base == 0xC0 || base == 0x00 || base == 0x10) {
      AsmSyntaxError(c);
      return;
    }
    GetAsmToken(c);
    uint8_t op = static_cast<uint8_t>(base + 4);
    if (base == 0xE0) op = 0x74;
    if (base == 0x80) {
      op = 0x75;
      c.FixupOffset = 2;
    }
    c.InstrBytes[0] = op;
    const uint8_t imm = ImmediateOperand(c);
    c.InstrBytes[base == 0x80 ? 2 : 1] = imm;
    c.InstrLength = 2;
  } else if (t == tok::kAt) {
    GetAsmToken(c);
    uint8_t i = 0;
    if (!IndirectRegister(c, i)) return;
    c.InstrBytes[0] = static_cast<uint8_t>(base + 6 + i);
    c.InstrLength = 1;
  } else if (IsRegister(t)) {
    GetAsmToken(c);
    c.InstrBytes[0] = static_cast<uint8_t>(base + 8 + RegisterNumber(t));
    c.InstrLength = 1;
  } else if (t == tok::kA && base == 0x80) {
    GetAsmToken(c);
    c.InstrBytes[0] = 0xF5;
    c.InstrLength = 1;
  } else {
    if (base == 0x80) {
      // MOV dir,dir: the destination moves to the third byte.
      c.InstrBytes[2] = c.InstrBytes[1];
      MoveObjFixup(c, 1, 2);
    }
    const uint8_t dir = DataAddressOperand(c);
    if (SyntaxErrorOnLine(c)) return;
    c.InstrBytes[0] = static_cast<uint8_t>(base + 5);
    c.InstrBytes[1] = dir;
    c.InstrLength = 2;
  }
  ExpectEndOfLine(c);
}

// ANL/ORL/XRL dir,A and dir,#.
void EncodeLogicalDirect(AsmContext& c, uint8_t base) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kHash) {
    GetAsmToken(c);
    c.FixupOffset = 2;
    c.InstrBytes[0] = static_cast<uint8_t>(base + 3);
    c.InstrBytes[2] = ImmediateOperand(c);
    c.InstrLength = 3;
  } else if (t == tok::kA) {
    GetAsmToken(c);
    c.InstrBytes[0] = static_cast<uint8_t>(base + 2);
    c.InstrLength = 2;
  } else {
    AsmSyntaxError(c);
    return;
  }
  ExpectEndOfLine(c);
}

// ADD, ADDC, SUBB, and the A,src forms of ANL, ORL, XRL, XCH.
void AccumulatorSource(AsmContext& c, uint8_t base) {
  ExpectToken(c, tok::kA);
  ExpectComma(c);
  if (!SyntaxErrorOnLine(c)) EncodeSourceOperand(c, base);
}

// ANL, ORL (with C forms) and XRL.
void Logical(AsmContext& c, uint8_t base, uint8_t bitOp, uint8_t notBitOp) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kA) {
    GetAsmToken(c);
    ExpectComma(c);
    if (!SyntaxErrorOnLine(c)) EncodeSourceOperand(c, base);
    return;
  }
  if (t == tok::kC && bitOp != 0) {
    GetAsmToken(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    SkipAsmBlanks(c);
    uint8_t op = bitOp;
    if (c.ScanChar == '/') {
      GetAsmChar(c);
      op = notBitOp;
    }
    c.InstrBytes[0] = op;
    c.InstrBytes[1] = BitAddressOperand(c);
    c.InstrLength = 2;
    ExpectEndOfLine(c);
    return;
  }
  c.FixupOffset = 1;
  c.InstrBytes[1] = DataAddressOperand(c);
  ExpectComma(c);
  if (!SyntaxErrorOnLine(c)) EncodeLogicalDirect(c, base);
}

// CLR, CPL, SETB: A (when allowed), C or a bit.
void BitOperation(AsmContext& c, uint8_t accOp, uint8_t carryOp, uint8_t bitOp) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kA && accOp != 0) {
    GetAsmToken(c);
    SetBytes(c, 1, accOp);
  } else if (t == tok::kC) {
    GetAsmToken(c);
    SetBytes(c, 1, carryOp);
  } else {
    c.InstrBytes[0] = bitOp;
    c.InstrBytes[1] = BitAddressOperand(c);
    c.InstrLength = 2;
  }
  ExpectEndOfLine(c);
}

// An instruction whose only operand is the token T.
void Fixed(AsmContext& c, uint8_t t, uint8_t op) {
  ExpectToken(c, t);
  SetBytes(c, 1, op);
  ExpectEndOfLine(c);
}

void NoOperand(AsmContext& c, uint8_t op) {
  SetBytes(c, 1, op);
  ExpectEndOfLine(c);
}

void Mov(AsmContext& c) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kAt) {
    GetAsmToken(c);
    uint8_t i = 0;
    if (!IndirectRegister(c, i)) return;
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    c.FixupOffset = 1;
    if (Accept(c, tok::kHash)) {
      c.InstrBytes[0] = static_cast<uint8_t>(0x76 + i);
      c.InstrBytes[1] = ImmediateOperand(c);
      c.InstrLength = 2;
    } else if (Accept(c, tok::kA)) {
      SetBytes(c, 1, static_cast<uint8_t>(0xF6 + i));
    } else {
      c.InstrBytes[0] = static_cast<uint8_t>(0xA6 + i);
      c.InstrBytes[1] = DataAddressOperand(c);
      c.InstrLength = 2;
    }
    ExpectEndOfLine(c);
  } else if (t == tok::kA) {
    GetAsmToken(c);
    ExpectComma(c);
    if (!SyntaxErrorOnLine(c)) EncodeSourceOperand(c, 0xE0);
  } else if (t == tok::kC) {
    GetAsmToken(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    c.InstrBytes[0] = 0xA2;
    c.InstrBytes[1] = BitAddressOperand(c);
    c.InstrLength = 2;
    ExpectEndOfLine(c);
  } else if (t == tok::kDPTR) {
    GetAsmToken(c);
    ExpectComma(c);
    ExpectToken(c, tok::kHash);
    if (SyntaxErrorOnLine(c)) return;
    c.Fixup = FixupKind::Word;
    c.FixupOffset = 1;
    const int32_t v = AsmExpression(c, kExprAny);
    SetBytes(c, 3, 0x90, static_cast<uint8_t>((v >> 8) & 0xFF), static_cast<uint8_t>(v & 0xFF));
    ExpectEndOfLine(c);
  } else if (IsRegister(t)) {
    GetAsmToken(c);
    const uint8_t n = RegisterNumber(t);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    c.FixupOffset = 1;
    if (Accept(c, tok::kHash)) {
      c.InstrBytes[0] = static_cast<uint8_t>(0x78 + n);
      c.InstrBytes[1] = ImmediateOperand(c);
      c.InstrLength = 2;
    } else if (Accept(c, tok::kA)) {
      SetBytes(c, 1, static_cast<uint8_t>(0xF8 + n));
    } else {
      c.InstrBytes[0] = static_cast<uint8_t>(0xA8 + n);
      c.InstrBytes[1] = DataAddressOperand(c);
      c.InstrLength = 2;
    }
    ExpectEndOfLine(c);
  } else {
    c.FixupOffset = 1;
    c.Fixup = FixupKind::Byte;
    const int32_t dest = AsmExpression(c, kExprAny);
    const uint8_t destKind = c.AsmValueKind;
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    if (Accept(c, tok::kC)) {
      c.AsmValueKind = destKind;
      SetBytes(c, 2, 0x92, CheckBitValue(c, dest));
      ExpectEndOfLine(c);
      return;
    }
    c.AsmValueKind = destKind;
    c.InstrBytes[1] = CheckDataValue(c, dest);
    EncodeSourceOperand(c, 0x80);
    if (c.InstrLength > 0) c.InstrLength += 1;
  }
}

void Movc(AsmContext& c) {
  ExpectToken(c, tok::kA);
  ExpectComma(c);
  ExpectToken(c, tok::kAt);
  ExpectToken(c, tok::kA);
  ExpectToken(c, tok::kPlus);
  const uint8_t t = GetAsmToken(c);
  if (t == tok::kDPTR)
    SetBytes(c, 1, 0x93);
  else if (t == tok::kPC)
    SetBytes(c, 1, 0x83);
  else
    AsmSyntaxError(c);
  ExpectEndOfLine(c);
}

void Movx(AsmContext& c) {
  if (Accept(c, tok::kA)) {
    ExpectComma(c);
    ExpectToken(c, tok::kAt);
    if (SyntaxErrorOnLine(c)) return;
    const uint8_t t = GetAsmToken(c);
    if (t == tok::kDPTR)
      SetBytes(c, 1, 0xE0);
    else if (t == tok::kR0 || t == tok::kR0 + 1)
      SetBytes(c, 1, static_cast<uint8_t>(0xE2 + RegisterNumber(t)));
    else
      AsmSyntaxError(c);
  } else {
    ExpectToken(c, tok::kAt);
    if (SyntaxErrorOnLine(c)) return;
    const uint8_t t = GetAsmToken(c);
    uint8_t op = 0;
    if (t == tok::kDPTR)
      op = 0xF0;
    else if (t == tok::kR0 || t == tok::kR0 + 1)
      op = static_cast<uint8_t>(0xF2 + RegisterNumber(t));
    else {
      AsmSyntaxError(c);
      return;
    }
    ExpectComma(c);
    ExpectToken(c, tok::kA);
    if (!SyntaxErrorOnLine(c)) SetBytes(c, 1, op);
  }
  ExpectEndOfLine(c);
}

void Cjne(AsmContext& c) {
  const uint8_t t = PeekAsmToken(c);
  c.FixupOffset = 1;
  if (t == tok::kAt) {
    GetAsmToken(c);
    uint8_t i = 0;
    if (!IndirectRegister(c, i)) return;
    ExpectComma(c);
    ExpectToken(c, tok::kHash);
    if (SyntaxErrorOnLine(c)) return;
    c.InstrBytes[0] = static_cast<uint8_t>(0xB6 + i);
    c.InstrBytes[1] = ImmediateOperand(c);
  } else if (t == tok::kA) {
    GetAsmToken(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    if (Accept(c, tok::kHash)) {
      c.InstrBytes[0] = 0xB4;
      c.InstrBytes[1] = ImmediateOperand(c);
    } else {
      c.InstrBytes[0] = 0xB5;
      c.InstrBytes[1] = DataAddressOperand(c);
    }
  } else if (IsRegister(t)) {
    GetAsmToken(c);
    ExpectComma(c);
    ExpectToken(c, tok::kHash);
    if (SyntaxErrorOnLine(c)) return;
    c.InstrBytes[0] = static_cast<uint8_t>(0xB8 + RegisterNumber(t));
    c.InstrBytes[1] = ImmediateOperand(c);
  } else {
    AsmSyntaxError(c);
    return;
  }
  ExpectComma(c);
  if (SyntaxErrorOnLine(c)) return;
  RelativeField(c, 3, 2);
  ExpectEndOfLine(c);
}

void Djnz(AsmContext& c) {
  const uint8_t t = PeekAsmToken(c);
  if (IsRegister(t)) {
    GetAsmToken(c);
    c.InstrBytes = {static_cast<uint8_t>(0xD8 + RegisterNumber(t)), 0, 0};
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    RelativeField(c, 2, 1);
  } else {
    c.FixupOffset = 1;
    c.InstrBytes[0] = 0xD5;
    c.InstrBytes[1] = DataAddressOperand(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    RelativeField(c, 3, 2);
  }
  ExpectEndOfLine(c);
}

void Jmp(AsmContext& c) {
  if (Accept(c, tok::kAt)) {
    ExpectToken(c, tok::kA);
    ExpectToken(c, tok::kPlus);
    ExpectToken(c, tok::kDPTR);
    if (!SyntaxErrorOnLine(c)) SetBytes(c, 1, 0x73);
    ExpectEndOfLine(c);
    return;
  }
  GenericJumpOperand(c, 0x00);
}

void Incdec(AsmContext& c, bool inc) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kA) {
    GetAsmToken(c);
    SetBytes(c, 1, inc ? 0x04 : 0x14);
    ExpectEndOfLine(c);
  } else if (t == tok::kDPTR && inc) {
    GetAsmToken(c);
    SetBytes(c, 1, 0xA3);
    ExpectEndOfLine(c);
  } else {
    EncodeSourceOperand(c, inc ? 0x00 : 0x10);
  }
}

void StackOperation(AsmContext& c, uint8_t op) {
  c.FixupOffset = 1;
  c.InstrBytes[0] = op;
  c.InstrBytes[1] = DataAddressOperand(c);
  c.InstrLength = 2;
  ExpectEndOfLine(c);
}

void Xchd(AsmContext& c) {
  ExpectToken(c, tok::kA);
  ExpectComma(c);
  ExpectToken(c, tok::kAt);
  if (SyntaxErrorOnLine(c)) return;
  uint8_t i = 0;
  if (!IndirectRegister(c, i)) return;
  SetBytes(c, 1, static_cast<uint8_t>(0xD6 + i));
  ExpectEndOfLine(c);
}

}  // namespace

void EncodeInstruction(AsmContext& c, uint8_t mnemonic) {
  if (mnemonic < kFirstMnemonicToken || mnemonic > kLastMnemonicToken) return;
  c.InInstruction = true;
  c.Fixup = FixupKind::Byte;
  c.GenericJump = false;
  c.NeedsFixup = false;
  c.InstrLength = 0;
  c.InstrBytes = {0, 0, 0};
  switch (mnemonic) {
    case tok::kADD: AccumulatorSource(c, 0x20); break;
    case tok::kADDC: AccumulatorSource(c, 0x30); break;
    case tok::kSUBB: AccumulatorSource(c, 0x90); break;
    case tok::kINC: Incdec(c, true); break;
    case tok::kDEC: Incdec(c, false); break;
    case tok::kMUL: Fixed(c, tok::kAB, 0xA4); break;
    case tok::kDIV: Fixed(c, tok::kAB, 0x84); break;
    case tok::kDA: Fixed(c, tok::kA, 0xD4); break;
    case tok::kANL: Logical(c, 0x50, 0x82, 0xB0); break;
    case tok::kORL: Logical(c, 0x40, 0x72, 0xA0); break;
    case tok::kXRL: Logical(c, 0x60, 0, 0); break;
    case tok::kCLR: BitOperation(c, 0xE4, 0xC3, 0xC2); break;
    case tok::kCPL: BitOperation(c, 0xF4, 0xB3, 0xB2); break;
    case tok::kSETB: BitOperation(c, 0, 0xD3, 0xD2); break;
    case tok::kMOV: Mov(c); break;
    case tok::kMOVC: Movc(c); break;
    case tok::kMOVX: Movx(c); break;
    case tok::kXCH: AccumulatorSource(c, 0xC0); break;
    case tok::kXCHD: Xchd(c); break;
    case tok::kPUSH: StackOperation(c, 0xC0); break;
    case tok::kPOP: StackOperation(c, 0xD0); break;
    case tok::kRL: Fixed(c, tok::kA, 0x23); break;
    case tok::kRLC: Fixed(c, tok::kA, 0x33); break;
    case tok::kRR: Fixed(c, tok::kA, 0x03); break;
    case tok::kRRC: Fixed(c, tok::kA, 0x13); break;
    case tok::kSWAP: Fixed(c, tok::kA, 0xC4); break;
    case tok::kRET: NoOperand(c, 0x22); break;
    case tok::kRETI: NoOperand(c, 0x32); break;
    case tok::kNOP: NoOperand(c, 0x00); break;
    case tok::kACALL: AbsoluteJumpOperand(c, 0x11); break;
    case tok::kAJMP: AbsoluteJumpOperand(c, 0x01); break;
    case tok::kLCALL: LongJumpOperand(c, 0x12); break;
    case tok::kLJMP: LongJumpOperand(c, 0x02); break;
    case tok::kSJMP: RelativeJumpOperand(c, 0x80); break;
    case tok::kJZ: RelativeJumpOperand(c, 0x60); break;
    case tok::kJNZ: RelativeJumpOperand(c, 0x70); break;
    case tok::kJC: RelativeJumpOperand(c, 0x40); break;
    case tok::kJNC: RelativeJumpOperand(c, 0x50); break;
    case tok::kJB: BitRelativeJumpOperand(c, 0x20); break;
    case tok::kJNB: BitRelativeJumpOperand(c, 0x30); break;
    case tok::kJBC: BitRelativeJumpOperand(c, 0x10); break;
    case tok::kCJNE: Cjne(c); break;
    case tok::kDJNZ: Djnz(c); break;
    case tok::kJMP: Jmp(c); break;
    case tok::kCALL: GenericJumpOperand(c, 0x10); break;
    default: AsmSyntaxError(c); break;
  }
}

}  // namespace dorvik::as
