#include "assembler/encoder.h"

#include <string_view>

#include "assembler/asmerrors.h"
#include "assembler/asmexpr.h"
#include "assembler/context.h"
#include "assembler/objwriter.h"
#include "assembler/source.h"
#include "assembler/tokenizer.h"
#include "machine/opcodes.h"

// Operand legend: dir = direct data address, bit = bit address, # = immediate,
// rel = relative jump target, addr11/addr16 = absolute jump targets,
// Rn = R0..R7, @Ri = @R0/@R1.

namespace dorvik::as {

namespace {

using Opd = OperandForm;

// Opcodes come from the shared instruction table: the first opcode whose
// mnemonic and operand forms match, found at compile time (for @Ri and Rn the
// @R0 and R0 opcode; the register number is added). -1 when there is none.
constexpr int FindOpcode(std::string_view name, Opd a = Opd::None, Opd b = Opd::None, Opd c = Opd::None) {
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& row = kOpcodeTable[static_cast<size_t>(op)];
    if (row.Name == name && row.Operands[0] == a && row.Operands[1] == b && row.Operands[2] == c) return op;
  }
  return -1;
}

// As FindOpcode for a form that must exist (a missing one does not compile).
consteval uint8_t Op(std::string_view name, Opd a = Opd::None, Opd b = Opd::None, Opd c = Opd::None) {
  const int op = FindOpcode(name, a, b, c);
  if (op < 0) throw "instruction form missing from the opcode table";
  return static_cast<uint8_t>(op);
}

// The forms of the last operand of ADD..XRL A,src, MOV A,src, XCH A,src,
// INC/DEC src and MOV dir,src: "#", direct address, @R0, R0, and A (MOV dir,A
// only). -1 where the instruction has no such form.
struct SourceForms {
  int Immediate, Direct, AtRi, Rn, Acc;
  bool DirectDestination;  // MOV dir,src: the destination is already in the second byte
};

// FIRST is the operand before src (A or Direct), None for INC/DEC.
consteval SourceForms SourceFormsOf(std::string_view name, Opd first) {
  auto form = [&](Opd last) {
    return first == Opd::None ? FindOpcode(name, last) : FindOpcode(name, first, last);
  };
  const bool direct = first == Opd::Direct;
  return {form(Opd::Immediate), form(Opd::Direct), form(Opd::AtRi), form(Opd::Rn), direct ? form(Opd::A) : -1, direct};
}

// INC and DEC: A, DPTR (INC only), otherwise a source operand.
struct IncDecForms {
  uint8_t Acc;
  int Dptr;
  SourceForms Source;
};

consteval IncDecForms IncDecFormsOf(std::string_view name) {
  return {Op(name, Opd::A), FindOpcode(name, Opd::Dptr), SourceFormsOf(name, Opd::None)};
}

// ANL, ORL, XRL: the A,src family, dir,# and dir,A, C,bit and C,/bit (-1 for XRL).
struct LogicalForms {
  SourceForms Accumulator;
  uint8_t DirectImmediate, DirectAcc;
  int CarryBit, CarryNotBit;
};

consteval LogicalForms LogicalFormsOf(std::string_view name) {
  return {SourceFormsOf(name, Opd::A), Op(name, Opd::Direct, Opd::Immediate), Op(name, Opd::Direct, Opd::A),
          FindOpcode(name, Opd::C, Opd::Bit), FindOpcode(name, Opd::C, Opd::NotBit)};
}

// CLR, CPL, SETB: A (-1 for SETB), C and a bit.
struct BitForms {
  int Acc;
  uint8_t Carry, Bit;
};

consteval BitForms BitFormsOf(std::string_view name) {
  return {FindOpcode(name, Opd::A), Op(name, Opd::C), Op(name, Opd::Bit)};
}

// Generic JMP and CALL: the in-block and the long form; JMP also has SJMP.
struct GenericForms {
  uint8_t InBlock, Long;
  bool Jump;
};

bool IsRegister(uint8_t t) { return t >= tok::kR0 && t <= tok::kR7; }
uint8_t RegisterNumber(uint8_t t) { return static_cast<uint8_t>(t - tok::kR0); }
bool SyntaxErrorOnLine(const AsmContext& c) {
  return c.line.LastAsmError == asm_err::kSyntaxError;
}
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
  c.line.InstrLength = length;
  c.line.InstrBytes = {op, b1, b2};
}

// Operand readers

bool KindIs(uint8_t kind, std::initializer_list<uint8_t> accepted) {
  for (uint8_t k : accepted)
    if (k == kind) return true;
  return false;
}

// Truncation of an address to a byte: error 115 above 255 (a negative value
// is taken as its low byte without a message), the low byte is kept.
uint8_t ByteOf(AsmContext& c, int32_t v) {
  if (v > 255) ReportAsmError(c, asm_err::kValueTruncatedToByte);
  return static_cast<uint8_t>(v & 0xFF);
}

uint8_t ImmediateOperand(AsmContext& c) {
  c.line.Fixup = FixupKind::Byte;
  return static_cast<uint8_t>(AsmExpression(c, kExprAny) & 0xFF);
}

uint8_t DataAddressOperand(AsmContext& c) {
  c.line.Fixup = FixupKind::Byte;
  const int32_t v = AsmExpression(c, kExprAny);
  if (c.AsmPass == 2 && c.line.LastAsmError == 0 &&
      !KindIs(c.scan.AsmValueKind, {kind::kData, kind::kIData, kind::kNumber}))
    ReportAsmError(c, asm_err::kSegmentAddressExpected, SegWord::Data);
  return ByteOf(c, v);
}

uint8_t BitAddressOperand(AsmContext& c) {
  c.line.FixupOffset = 1;
  c.line.Fixup = FixupKind::Bit;
  const int32_t v = AsmExpression(c, kExprAny);
  if (c.AsmPass == 2 && c.line.LastAsmError == 0 && !KindIs(c.scan.AsmValueKind, {kind::kBit, kind::kNumber}))
    ReportAsmError(c, asm_err::kSegmentAddressExpected, SegWord::Bit);
  return ByteOf(c, v);
}

int32_t CodeAddressOperand(AsmContext& c) {
  const int32_t v = AsmExpression(c, kExprAny);
  if (c.AsmPass == 2 && c.line.LastAsmError == 0 &&
      !KindIs(c.scan.AsmValueKind, {kind::kCode, kind::kNumber}))
    ReportAsmError(c, asm_err::kSegmentAddressExpected, SegWord::Code);
  return v;
}

uint8_t CheckDataValue(AsmContext& c, int32_t v) {
  if (c.AsmPass == 2 && !KindIs(c.scan.AsmValueKind, {kind::kData, kind::kIData, kind::kNumber}))
    ReportAsmError(c, asm_err::kSegmentAddressExpected, SegWord::Data);
  return ByteOf(c, v);
}

uint8_t CheckBitValue(AsmContext& c, int32_t v) {
  if (c.AsmPass == 2 && !KindIs(c.scan.AsmValueKind, {kind::kBit, kind::kNumber}))
    ReportAsmError(c, asm_err::kSegmentAddressExpected, SegWord::Bit);
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
  const int64_t next = static_cast<int64_t>(Location(c)) + c.line.InstrLength;
  const int64_t t = target;
  if (t < next) {
    const int64_t d = next - t;
    if (d <= 128) return static_cast<uint8_t>((256 - d) & 0xFF);
  } else if (t - next <= 127) {
    return static_cast<uint8_t>(t - next);
  }
  ReportAsmError(c, asm_err::kDestinationOutOfRange, SegWord::Relative);
  return 0;
}

// The displacement field at POSITION of an instruction of LENGTH bytes.
void RelativeField(AsmContext& c, uint32_t length, uint8_t position) {
  c.line.Fixup = FixupKind::Relative;
  c.line.FixupOffset = position;
  c.line.InstrLength = length;
  const int32_t target = CodeAddressOperand(c);
  uint8_t disp = 0;
  if (c.AsmPass == 2 && !c.line.NeedsFixup && !SyntaxErrorOnLine(c)) disp = ComputeRelativeOffset(c, target);
  c.line.InstrBytes[position] = disp;
}

// SJMP, JZ, JNZ, JC, JNC.
void RelativeJumpOperand(AsmContext& c, uint8_t op) {
  c.line.InstrBytes = {op, 0, 0};
  RelativeField(c, 2, 1);
  ExpectEndOfLine(c);
}

// JB, JNB, JBC.
void BitRelativeJumpOperand(AsmContext& c, uint8_t op) {
  c.line.InstrBytes = {op, 0, 0};
  const uint8_t bit = BitAddressOperand(c);
  c.line.InstrBytes[1] = bit;
  ExpectComma(c);
  RelativeField(c, 3, 2);
  ExpectEndOfLine(c);
}

bool SameBlock(uint32_t a, int32_t b) { return (a & 0xF800u) == (static_cast<uint32_t>(b) & 0xF800u); }

// AJMP, ACALL.
void AbsoluteJumpOperand(AsmContext& c, uint8_t base) {
  c.line.Fixup = FixupKind::InBlock;
  c.line.FixupOffset = 0;
  const int32_t target = CodeAddressOperand(c);
  ExpectEndOfLine(c);
  SetBytes(c, 2, base);
  if (c.AsmPass != 2 || c.line.NeedsFixup) return;
  if (!SameBlock(Location(c) + 2, target))
    ReportAsmError(c, asm_err::kDestinationOutOfRange, SegWord::InBolck);
  c.line.InstrBytes[0] = static_cast<uint8_t>(base | ((target & 0x0700) >> 3));
  c.line.InstrBytes[1] = static_cast<uint8_t>(target & 0xFF);
}

// LJMP, LCALL.
void LongJumpOperand(AsmContext& c, uint8_t op) {
  c.line.Fixup = FixupKind::Word;
  c.line.FixupOffset = 1;
  const int32_t target = CodeAddressOperand(c);
  SetBytes(c, 3, op, static_cast<uint8_t>((target >> 8) & 0xFF), static_cast<uint8_t>(target & 0xFF));
  ExpectEndOfLine(c);
}

// Generic JMP and CALL: the shortest form that reaches a known target, the
// same in both passes; the long form otherwise.
void GenericJumpOperand(AsmContext& c, const GenericForms& f) {
  c.line.Fixup = FixupKind::Relative;
  c.line.GenericJump = true;
  c.line.FixupOffset = 1;
  c.line.UndefinedFlag = false;
  int32_t target = CodeAddressOperand(c);
  if (SyntaxErrorOnLine(c)) return;
  uint32_t length = 3;
  if (!c.line.NeedsFixup && !c.line.UndefinedFlag && !c.expr.UndefinedRef) {
    const int64_t next = static_cast<int64_t>(Location(c)) + 2;
    const bool shortReach = target < next ? next - target <= 128 : target - next <= 127;
    // A displacement is right only when the target moves with the jump: both
    // absolute, or both in the same relocatable segment (an absolute target
    // seen from a relocatable segment needs the long form).
    const bool sameSegment = c.scan.AsmValueSegment == c.CurrentSegment.SegmentId;
    if (f.Jump && shortReach && sameSegment) {
      c.line.InstrLength = 2;
      c.line.InstrBytes = {Op("SJMP", Opd::Relative),
                           c.AsmPass == 2 ? ComputeRelativeOffset(c, target) : uint8_t{0}, 0};
      ExpectEndOfLine(c);
      return;
    }
    length = SameBlock(Location(c) + 2, target) ? 2 : 3;
    if (c.CurrentSegment.SegmentId != 0) {
      c.line.NeedsFixup = true;
      c.line.Fixup = FixupKind::Word;
      if (c.AsmPass == 2) {
        AsmFixupRequest request;
        request.Offset = 1;
        request.Kind = FixupKind::Word;
        request.Segment = c.scan.AsmValueSegment;
        request.Value = target;
        AddObjFixup(c, request);
        c.line.AnyFixup = true;
      }
      target = 0;
      length = 3;
    }
  }
  if (length == 2)
    SetBytes(c, 2, static_cast<uint8_t>(f.InBlock | ((target & 0x0700) >> 3)), static_cast<uint8_t>(target & 0xFF));
  else
    SetBytes(c, 3, f.Long, static_cast<uint8_t>((target >> 8) & 0xFF),
             static_cast<uint8_t>(target & 0xFF));
  ExpectEndOfLine(c);
}

// Operand families

// The source operand of ADD..XRL A,src, MOV A,src, XCH A,src, INC/DEC src
// and MOV dir,src (base 80H; the destination already in the second byte).
void EncodeSourceOperand(AsmContext& c, const SourceForms& f) {
  c.line.FixupOffset = 1;
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kHash) {
    if (f.Immediate < 0) {
      AsmSyntaxError(c);
      return;
    }
    GetAsmToken(c);
    if (f.DirectDestination) c.line.FixupOffset = 2;
    c.line.InstrBytes[0] = static_cast<uint8_t>(f.Immediate);
    const uint8_t imm = ImmediateOperand(c);
    c.line.InstrBytes[f.DirectDestination ? 2 : 1] = imm;
    c.line.InstrLength = 2;
  } else if (t == tok::kAt) {
    GetAsmToken(c);
    uint8_t i = 0;
    if (!IndirectRegister(c, i)) return;
    c.line.InstrBytes[0] = static_cast<uint8_t>(f.AtRi + i);
    c.line.InstrLength = 1;
  } else if (IsRegister(t)) {
    GetAsmToken(c);
    c.line.InstrBytes[0] = static_cast<uint8_t>(f.Rn + RegisterNumber(t));
    c.line.InstrLength = 1;
  } else if (t == tok::kA && f.Acc >= 0) {
    GetAsmToken(c);
    c.line.InstrBytes[0] = static_cast<uint8_t>(f.Acc);
    c.line.InstrLength = 1;
  } else {
    if (f.DirectDestination) {
      // MOV dir,dir: the destination moves to the third byte.
      c.line.InstrBytes[2] = c.line.InstrBytes[1];
      MoveObjFixup(c, 1, 2);
    }
    const uint8_t dir = DataAddressOperand(c);
    if (SyntaxErrorOnLine(c)) return;
    c.line.InstrBytes[0] = static_cast<uint8_t>(f.Direct);
    c.line.InstrBytes[1] = dir;
    c.line.InstrLength = 2;
  }
  ExpectEndOfLine(c);
}

// ANL/ORL/XRL dir,A and dir,#.
void EncodeLogicalDirect(AsmContext& c, const LogicalForms& f) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kHash) {
    GetAsmToken(c);
    c.line.FixupOffset = 2;
    c.line.InstrBytes[0] = f.DirectImmediate;
    c.line.InstrBytes[2] = ImmediateOperand(c);
    c.line.InstrLength = 3;
  } else if (t == tok::kA) {
    GetAsmToken(c);
    c.line.InstrBytes[0] = f.DirectAcc;
    c.line.InstrLength = 2;
  } else {
    AsmSyntaxError(c);
    return;
  }
  ExpectEndOfLine(c);
}

// ADD, ADDC, SUBB, and the A,src forms of ANL, ORL, XRL, XCH.
void AccumulatorSource(AsmContext& c, const SourceForms& f) {
  ExpectToken(c, tok::kA);
  ExpectComma(c);
  if (!SyntaxErrorOnLine(c)) EncodeSourceOperand(c, f);
}

// ANL, ORL (with C forms) and XRL.
void Logical(AsmContext& c, const LogicalForms& f) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kA) {
    GetAsmToken(c);
    ExpectComma(c);
    if (!SyntaxErrorOnLine(c)) EncodeSourceOperand(c, f.Accumulator);
    return;
  }
  if (t == tok::kC && f.CarryBit >= 0) {
    GetAsmToken(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    SkipAsmBlanks(c);
    int op = f.CarryBit;
    if (c.scan.ScanChar == '/') {
      GetAsmChar(c);
      op = f.CarryNotBit;
    }
    c.line.InstrBytes[0] = static_cast<uint8_t>(op);
    c.line.InstrBytes[1] = BitAddressOperand(c);
    c.line.InstrLength = 2;
    ExpectEndOfLine(c);
    return;
  }
  c.line.FixupOffset = 1;
  c.line.InstrBytes[1] = DataAddressOperand(c);
  ExpectComma(c);
  if (!SyntaxErrorOnLine(c)) EncodeLogicalDirect(c, f);
}

// CLR, CPL, SETB: A (when allowed), C or a bit.
void BitOperation(AsmContext& c, const BitForms& f) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kA && f.Acc >= 0) {
    GetAsmToken(c);
    SetBytes(c, 1, static_cast<uint8_t>(f.Acc));
  } else if (t == tok::kC) {
    GetAsmToken(c);
    SetBytes(c, 1, f.Carry);
  } else {
    c.line.InstrBytes[0] = f.Bit;
    c.line.InstrBytes[1] = BitAddressOperand(c);
    c.line.InstrLength = 2;
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
    c.line.FixupOffset = 1;
    if (Accept(c, tok::kHash)) {
      c.line.InstrBytes[0] = static_cast<uint8_t>(Op("MOV", Opd::AtRi, Opd::Immediate) + i);
      c.line.InstrBytes[1] = ImmediateOperand(c);
      c.line.InstrLength = 2;
    } else if (Accept(c, tok::kA)) {
      SetBytes(c, 1, static_cast<uint8_t>(Op("MOV", Opd::AtRi, Opd::A) + i));
    } else {
      c.line.InstrBytes[0] = static_cast<uint8_t>(Op("MOV", Opd::AtRi, Opd::Direct) + i);
      c.line.InstrBytes[1] = DataAddressOperand(c);
      c.line.InstrLength = 2;
    }
    ExpectEndOfLine(c);
  } else if (t == tok::kA) {
    GetAsmToken(c);
    ExpectComma(c);
    if (!SyntaxErrorOnLine(c)) EncodeSourceOperand(c, SourceFormsOf("MOV", Opd::A));
  } else if (t == tok::kC) {
    GetAsmToken(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    c.line.InstrBytes[0] = Op("MOV", Opd::C, Opd::Bit);
    c.line.InstrBytes[1] = BitAddressOperand(c);
    c.line.InstrLength = 2;
    ExpectEndOfLine(c);
  } else if (t == tok::kDPTR) {
    GetAsmToken(c);
    ExpectComma(c);
    ExpectToken(c, tok::kHash);
    if (SyntaxErrorOnLine(c)) return;
    c.line.Fixup = FixupKind::Word;
    c.line.FixupOffset = 1;
    const int32_t v = AsmExpression(c, kExprAny);
    SetBytes(c, 3, Op("MOV", Opd::Dptr, Opd::Immediate16), static_cast<uint8_t>((v >> 8) & 0xFF),
             static_cast<uint8_t>(v & 0xFF));
    ExpectEndOfLine(c);
  } else if (IsRegister(t)) {
    GetAsmToken(c);
    const uint8_t n = RegisterNumber(t);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    c.line.FixupOffset = 1;
    if (Accept(c, tok::kHash)) {
      c.line.InstrBytes[0] = static_cast<uint8_t>(Op("MOV", Opd::Rn, Opd::Immediate) + n);
      c.line.InstrBytes[1] = ImmediateOperand(c);
      c.line.InstrLength = 2;
    } else if (Accept(c, tok::kA)) {
      SetBytes(c, 1, static_cast<uint8_t>(Op("MOV", Opd::Rn, Opd::A) + n));
    } else {
      c.line.InstrBytes[0] = static_cast<uint8_t>(Op("MOV", Opd::Rn, Opd::Direct) + n);
      c.line.InstrBytes[1] = DataAddressOperand(c);
      c.line.InstrLength = 2;
    }
    ExpectEndOfLine(c);
  } else {
    c.line.FixupOffset = 1;
    c.line.Fixup = FixupKind::Byte;
    const int32_t dest = AsmExpression(c, kExprAny);
    const uint8_t destKind = c.scan.AsmValueKind;
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    if (Accept(c, tok::kC)) {
      c.scan.AsmValueKind = destKind;
      SetBytes(c, 2, Op("MOV", Opd::Bit, Opd::C), CheckBitValue(c, dest));
      ExpectEndOfLine(c);
      return;
    }
    c.scan.AsmValueKind = destKind;
    c.line.InstrBytes[1] = CheckDataValue(c, dest);
    EncodeSourceOperand(c, SourceFormsOf("MOV", Opd::Direct));
    if (c.line.InstrLength > 0) c.line.InstrLength += 1;
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
    SetBytes(c, 1, Op("MOVC", Opd::A, Opd::AtADptr));
  else if (t == tok::kPC)
    SetBytes(c, 1, Op("MOVC", Opd::A, Opd::AtAPc));
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
      SetBytes(c, 1, Op("MOVX", Opd::A, Opd::AtDptr));
    else if (t == tok::kR0 || t == tok::kR0 + 1)
      SetBytes(c, 1, static_cast<uint8_t>(Op("MOVX", Opd::A, Opd::AtRi) + RegisterNumber(t)));
    else
      AsmSyntaxError(c);
  } else {
    ExpectToken(c, tok::kAt);
    if (SyntaxErrorOnLine(c)) return;
    const uint8_t t = GetAsmToken(c);
    uint8_t op = 0;
    if (t == tok::kDPTR)
      op = Op("MOVX", Opd::AtDptr, Opd::A);
    else if (t == tok::kR0 || t == tok::kR0 + 1)
      op = static_cast<uint8_t>(Op("MOVX", Opd::AtRi, Opd::A) + RegisterNumber(t));
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
  c.line.FixupOffset = 1;
  if (t == tok::kAt) {
    GetAsmToken(c);
    uint8_t i = 0;
    if (!IndirectRegister(c, i)) return;
    ExpectComma(c);
    ExpectToken(c, tok::kHash);
    if (SyntaxErrorOnLine(c)) return;
    c.line.InstrBytes[0] = static_cast<uint8_t>(Op("CJNE", Opd::AtRi, Opd::Immediate, Opd::Relative) + i);
    c.line.InstrBytes[1] = ImmediateOperand(c);
  } else if (t == tok::kA) {
    GetAsmToken(c);
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    if (Accept(c, tok::kHash)) {
      c.line.InstrBytes[0] = Op("CJNE", Opd::A, Opd::Immediate, Opd::Relative);
      c.line.InstrBytes[1] = ImmediateOperand(c);
    } else {
      c.line.InstrBytes[0] = Op("CJNE", Opd::A, Opd::Direct, Opd::Relative);
      c.line.InstrBytes[1] = DataAddressOperand(c);
    }
  } else if (IsRegister(t)) {
    GetAsmToken(c);
    ExpectComma(c);
    ExpectToken(c, tok::kHash);
    if (SyntaxErrorOnLine(c)) return;
    c.line.InstrBytes[0] =
        static_cast<uint8_t>(Op("CJNE", Opd::Rn, Opd::Immediate, Opd::Relative) + RegisterNumber(t));
    c.line.InstrBytes[1] = ImmediateOperand(c);
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
    c.line.InstrBytes = {static_cast<uint8_t>(Op("DJNZ", Opd::Rn, Opd::Relative) + RegisterNumber(t)), 0, 0};
    ExpectComma(c);
    if (SyntaxErrorOnLine(c)) return;
    RelativeField(c, 2, 1);
  } else {
    c.line.FixupOffset = 1;
    c.line.InstrBytes[0] = Op("DJNZ", Opd::Direct, Opd::Relative);
    c.line.InstrBytes[1] = DataAddressOperand(c);
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
    if (!SyntaxErrorOnLine(c)) SetBytes(c, 1, Op("JMP", Opd::AtADptr));
    ExpectEndOfLine(c);
    return;
  }
  GenericJumpOperand(c, {Op("AJMP", Opd::Addr11), Op("LJMP", Opd::Addr16), true});
}

void IncDec(AsmContext& c, const IncDecForms& f) {
  const uint8_t t = PeekAsmToken(c);
  if (t == tok::kA) {
    GetAsmToken(c);
    SetBytes(c, 1, f.Acc);
    ExpectEndOfLine(c);
  } else if (t == tok::kDPTR && f.Dptr >= 0) {
    GetAsmToken(c);
    SetBytes(c, 1, static_cast<uint8_t>(f.Dptr));
    ExpectEndOfLine(c);
  } else {
    EncodeSourceOperand(c, f.Source);
  }
}

void StackOperation(AsmContext& c, uint8_t op) {
  c.line.FixupOffset = 1;
  c.line.InstrBytes[0] = op;
  c.line.InstrBytes[1] = DataAddressOperand(c);
  c.line.InstrLength = 2;
  ExpectEndOfLine(c);
}

void Xchd(AsmContext& c) {
  ExpectToken(c, tok::kA);
  ExpectComma(c);
  ExpectToken(c, tok::kAt);
  if (SyntaxErrorOnLine(c)) return;
  uint8_t i = 0;
  if (!IndirectRegister(c, i)) return;
  SetBytes(c, 1, static_cast<uint8_t>(Op("XCHD", Opd::A, Opd::AtRi) + i));
  ExpectEndOfLine(c);
}

}  // namespace

void EncodeInstruction(AsmContext& c, uint8_t mnemonic) {
  if (mnemonic < kFirstMnemonicToken || mnemonic > kLastMnemonicToken) return;
  c.line.InInstruction = true;
  c.line.Fixup = FixupKind::Byte;
  c.line.GenericJump = false;
  c.line.NeedsFixup = false;
  c.line.InstrLength = 0;
  c.line.InstrBytes = {0, 0, 0};
  switch (mnemonic) {
    case tok::kADD: AccumulatorSource(c, SourceFormsOf("ADD", Opd::A)); break;
    case tok::kADDC: AccumulatorSource(c, SourceFormsOf("ADDC", Opd::A)); break;
    case tok::kSUBB: AccumulatorSource(c, SourceFormsOf("SUBB", Opd::A)); break;
    case tok::kINC: IncDec(c, IncDecFormsOf("INC")); break;
    case tok::kDEC: IncDec(c, IncDecFormsOf("DEC")); break;
    case tok::kMUL: Fixed(c, tok::kAB, Op("MUL", Opd::AB)); break;
    case tok::kDIV: Fixed(c, tok::kAB, Op("DIV", Opd::AB)); break;
    case tok::kDA: Fixed(c, tok::kA, Op("DA", Opd::A)); break;
    case tok::kANL: Logical(c, LogicalFormsOf("ANL")); break;
    case tok::kORL: Logical(c, LogicalFormsOf("ORL")); break;
    case tok::kXRL: Logical(c, LogicalFormsOf("XRL")); break;
    case tok::kCLR: BitOperation(c, BitFormsOf("CLR")); break;
    case tok::kCPL: BitOperation(c, BitFormsOf("CPL")); break;
    case tok::kSETB: BitOperation(c, BitFormsOf("SETB")); break;
    case tok::kMOV: Mov(c); break;
    case tok::kMOVC: Movc(c); break;
    case tok::kMOVX: Movx(c); break;
    case tok::kXCH: AccumulatorSource(c, SourceFormsOf("XCH", Opd::A)); break;
    case tok::kXCHD: Xchd(c); break;
    case tok::kPUSH: StackOperation(c, Op("PUSH", Opd::Direct)); break;
    case tok::kPOP: StackOperation(c, Op("POP", Opd::Direct)); break;
    case tok::kRL: Fixed(c, tok::kA, Op("RL", Opd::A)); break;
    case tok::kRLC: Fixed(c, tok::kA, Op("RLC", Opd::A)); break;
    case tok::kRR: Fixed(c, tok::kA, Op("RR", Opd::A)); break;
    case tok::kRRC: Fixed(c, tok::kA, Op("RRC", Opd::A)); break;
    case tok::kSWAP: Fixed(c, tok::kA, Op("SWAP", Opd::A)); break;
    case tok::kRET: NoOperand(c, Op("RET")); break;
    case tok::kRETI: NoOperand(c, Op("RETI")); break;
    case tok::kNOP: NoOperand(c, Op("NOP")); break;
    case tok::kACALL: AbsoluteJumpOperand(c, Op("ACALL", Opd::Addr11)); break;
    case tok::kAJMP: AbsoluteJumpOperand(c, Op("AJMP", Opd::Addr11)); break;
    case tok::kLCALL: LongJumpOperand(c, Op("LCALL", Opd::Addr16)); break;
    case tok::kLJMP: LongJumpOperand(c, Op("LJMP", Opd::Addr16)); break;
    case tok::kSJMP: RelativeJumpOperand(c, Op("SJMP", Opd::Relative)); break;
    case tok::kJZ: RelativeJumpOperand(c, Op("JZ", Opd::Relative)); break;
    case tok::kJNZ: RelativeJumpOperand(c, Op("JNZ", Opd::Relative)); break;
    case tok::kJC: RelativeJumpOperand(c, Op("JC", Opd::Relative)); break;
    case tok::kJNC: RelativeJumpOperand(c, Op("JNC", Opd::Relative)); break;
    case tok::kJB: BitRelativeJumpOperand(c, Op("JB", Opd::Bit, Opd::Relative)); break;
    case tok::kJNB: BitRelativeJumpOperand(c, Op("JNB", Opd::Bit, Opd::Relative)); break;
    case tok::kJBC: BitRelativeJumpOperand(c, Op("JBC", Opd::Bit, Opd::Relative)); break;
    case tok::kCJNE: Cjne(c); break;
    case tok::kDJNZ: Djnz(c); break;
    case tok::kJMP: Jmp(c); break;
    case tok::kCALL: GenericJumpOperand(c, {Op("ACALL", Opd::Addr11), Op("LCALL", Opd::Addr16), false}); break;
    default: AsmSyntaxError(c); break;
  }
}

}  // namespace dorvik::as
