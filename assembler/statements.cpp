#include "assembler/statements.h"

#include <algorithm>

#include "assembler/asmerrors.h"
#include "assembler/asmexpr.h"
#include "assembler/asmhex.h"
#include "assembler/asmsymbols.h"
#include "assembler/controls.h"
#include "assembler/encoder.h"
#include "assembler/listing.h"
#include "assembler/objwriter.h"
#include "assembler/source.h"
#include "assembler/tokenizer.h"

namespace dorvik::as {

namespace {

constexpr uint8_t kMaxCount = 255;
constexpr uint32_t kInBlockLimit = 0x7FF;  // last offset of an INBLOCK segment

uint8_t SegmentType(const AsmContext& c) { return c.CurrentSegment.Kind & 7; }
bool InRelocatable(const AsmContext& c) { return c.CurrentSegment.SegmentId != 0; }
uint32_t Counter(const AsmContext& c) { return c.CurrentSegment.Value; }

SegWord TypeWord(uint8_t type) {
  switch (type) {
    case kind::kCode: return SegWord::Code;
    case kind::kXData: return SegWord::XData;
    case kind::kData: return SegWord::Data;
    case kind::kIData: return SegWord::IData;
    default: return SegWord::BitType;
  }
}

uint8_t TypeOfKeyword(uint8_t token) {
  switch (token) {
    case tok::kCODE: return kind::kCode;
    case tok::kXDATA: return kind::kXData;
    case tok::kDATA: return kind::kData;
    case tok::kIDATA: return kind::kIData;
    case tok::kBIT: return kind::kBit;
    default: return 255;
  }
}

bool ExpectEnd(AsmContext& c) {
  if (GetAsmToken(c) == tok::kEol) return true;
  AsmSyntaxError(c);
  return false;
}

void Drain(AsmContext& c) {
  if (c.scan.ScanChar != kCR) SkipAsmLine(c);
}

// Remembers the highest location of the relocatable segment being left.
void SaveRelocatableSize(AsmContext& c) {
  if (!InRelocatable(c)) return;
  size_t pos = 0;
  if (!FindSegmentSymbol(c, c.CurrentSegment.SegmentId, pos)) {
    ReportAsmError(c, asm_err::kInternalSymbolTableGeneration);
    return;
  }
  SetSymValue(c, pos, std::max(SymValue(c, pos), Counter(c)));
}

void AddSegmentEntry(AsmContext& c, uint8_t type, uint32_t start) {
  if (c.SegmentTable.size() >= kMaxSegmentEntries) {
    ReportAsmError(c, asm_err::kTooMany, SegWord::Segment);
    c.CurrentSegmentEntry = SIZE_MAX;
    return;
  }
  c.SegmentTable.push_back({type, static_cast<uint16_t>(start), 0});
  c.CurrentSegmentEntry = c.SegmentTable.size() - 1;
}

void MakeAbsolute(AsmContext& c, uint8_t type, uint32_t counter) {
  c.CurrentSegment = AsmSymbolRec{};
  c.CurrentSegment.Kind = type;
  c.CurrentSegment.Value = counter;
  c.CurrentSegment.SegmentId = 0;
  c.CurrentSegment.Scope = kScopeLocal;
  c.CurrentSegment.RelocType = 0;
  c.CounterSlot = CounterSlotOf(type);
}

// Symbol definitions

struct Definition {
  size_t Pos = 0;
  bool Predefined = false;
};

// The operand of a definition: a register (Type 5 only) or an expression.
struct DefinitionOperand {
  bool Ok = false;
  int32_t Value = 0;
  uint8_t Kind = kind::kNumber;
  uint8_t Segment = 0;
};

// Reads the operand of the definition of d's symbol and leaves the cursor on it.
DefinitionOperand ReadDefinitionOperand(AsmContext& c, const Definition& d, uint8_t type) {
  DefinitionOperand op;
  const uint8_t next = PeekAsmToken(c);
  if ((next >= tok::kR0 && next <= tok::kR7) || next == tok::kA) {
    GetAsmToken(c);
    if (type != kind::kNumber) {
      AsmSyntaxError(c);
    } else {
      op.Value = next == tok::kA ? 10 : next - tok::kR0;
      op.Kind = kind::kRegister;
      op.Ok = ExpectEnd(c) && c.line.LastAsmError == 0;
    }
  } else {
    op.Value = AsmExpression(c, kExprKnown);
    op.Kind = c.scan.AsmValueKind;
    op.Segment = c.scan.AsmValueSegment;
    op.Ok = ExpectEnd(c) && c.line.LastAsmError == 0;
  }
  c.sym.SymbolCursor = d.Pos;
  c.line.DefinedValue = op.Value;
  c.line.DefinedKind = op.Kind;
  return op;
}

void DefineSymbol(AsmContext& c, const Definition& d, uint8_t type) {
  c.line.LineKind = line::kDefinition;
  const DefinitionOperand op = ReadDefinitionOperand(c, d, type);
  const int32_t value = op.Value;
  const uint8_t valueKind = op.Kind;
  const uint8_t segment = op.Segment;
  if (!op.Ok) {
    SetSymKind(c, d.Pos, kind::kUndefined);
    return;
  }
  if (c.AsmPass == 1) {
    SetSymKind(c, d.Pos, valueKind == kind::kRegister ? kind::kRegister
                         : type == kind::kNumber       ? valueKind
                                                       : type);
    SetSymSegmentId(c, d.Pos, segment);
    SetSymValue(c, d.Pos, static_cast<uint32_t>(value));
    return;
  }
  SetSymFlags(c, d.Pos, 1);
  if (type < kind::kNumber && valueKind != kind::kNumber && valueKind != type) {
    ReportAsmError(c, asm_err::kSegmentAddressExpected, TypeWord(type));
    return;
  }
  const uint8_t k = SymKind(c, d.Pos);
  if ((k & kind::kSetFlag) != 0 && k < kind::kSegment) {
    SetSymKind(c, d.Pos, valueKind == kind::kRegister ? kind::kRegister : valueKind);
    SetSymSegmentId(c, d.Pos, segment);
    SetSymValue(c, d.Pos, static_cast<uint32_t>(value));
  } else if (SymValue(c, d.Pos) != static_cast<uint32_t>(value)) {
    ReportAsmError(c, asm_err::kPhaseError);
  }
}

void DefineSymbolOnce(AsmContext& c, const Definition& d, uint8_t type) {
  if (c.AsmPass == 2 && SymFlags(c, d.Pos) != 0) {
    c.sym.SymbolCursor = d.Pos;
    ReportAsmError(c, asm_err::kSymbolAlreadyDefined);
    Drain(c);
    return;
  }
  DefineSymbol(c, d, type);
}

void CheckSymbolDefinition(AsmContext& c, const Definition& d, uint8_t type) {
  if (d.Predefined) {  // error 137 made it a re-met line without a value
    Drain(c);
    return;
  }
  c.line.LineKind = line::kDefinition;
  c.sym.SymbolCursor = d.Pos;
  if (SymFlags(c, d.Pos) != 0) {
    ReportAsmError(c, asm_err::kSymbolAlreadyDefined);
    Drain(c);
    return;
  }
  SetSymFlags(c, d.Pos, 1);
  const DefinitionOperand op = ReadDefinitionOperand(c, d, type);
  const int32_t value = op.Value;
  const uint8_t valueKind = op.Kind;
  if (!op.Ok) return;
  if (SymValue(c, d.Pos) != static_cast<uint32_t>(value)) ReportAsmError(c, asm_err::kPhaseError);
  const uint8_t stored = SymKind(c, d.Pos) & 15;
  if (valueKind == kind::kRegister) {
    if (stored != kind::kRegister) ReportAsmError(c, asm_err::kInternalSymbolTableGeneration);
  } else if (type == kind::kNumber) {
    if (stored != valueKind && stored != kind::kUndefined)
      ReportAsmError(c, asm_err::kInternalSymbolTableGeneration);
  } else if (valueKind != kind::kNumber && valueKind != type) {
    ReportAsmError(c, asm_err::kSegmentAddressExpected, TypeWord(type));
  }
}

void ParseRelocationType(AsmContext& c, size_t pos, uint8_t type) {
  const uint8_t t = GetAsmToken(c);
  uint8_t reloc = 0;
  bool fits = true;
  switch (t) {
    case tok::kBITADDRESSABLE: reloc = kRelBitAddressable; fits = type == kind::kData; break;
    case tok::kINBLOCK: reloc = kRelInBlock; fits = type == kind::kCode; break;
    case tok::kINPAGE:
      reloc = kRelInPage;
      fits = type == kind::kCode || type == kind::kXData;
      break;
    case tok::kPAGE:
      reloc = kRelPage;
      fits = type == kind::kCode || type == kind::kXData;
      break;
    case tok::kUNIT: reloc = kRelUnit; break;
    default: AsmSyntaxError(c); return;
  }
  if (!fits) {
    ReportAsmError(c, asm_err::kIllegalRelocationTypeSegment);
    return;
  }
  SetSymRelocType(c, pos, reloc);
  ExpectEnd(c);
}

void SegmentDefinition(AsmContext& c, const Definition& d) {
  const uint8_t type = TypeOfKeyword(GetAsmToken(c));
  if (type == 255) {
    AsmSyntaxError(c);
    return;
  }
  c.line.LineKind = line::kDirective;
  if (c.AsmPass == 1) {
    SetSymKind(c, d.Pos, static_cast<uint8_t>(kind::kSegment + type));
    if (c.RelocSegmentCounter < kMaxCount) ++c.RelocSegmentCounter;
    SetSymSegmentId(c, d.Pos, c.RelocSegmentCounter);
    SetSymRelocType(c, d.Pos, kRelUnit);
    if (PeekAsmToken(c) != tok::kEol) ParseRelocationType(c, d.Pos, type);
    return;
  }
  if (PeekAsmToken(c) != tok::kEol) ParseRelocationType(c, d.Pos, type);
  if (c.line.LastAsmError == asm_err::kSyntaxError || d.Predefined) return;
  c.sym.SymbolCursor = d.Pos;
  if (SymFlags(c, d.Pos) != 0) {
    ReportAsmError(c, asm_err::kSymbolAlreadyDefined);
    return;
  }
  SetSymValue(c, d.Pos, 0);
  SetSymFlags(c, d.Pos, 1);
  if (c.RelocSegmentCounter >= kMaxCount)
    ReportAsmError(c, asm_err::kTooMany, SegWord::RelocatableSegments);
  else
    ++c.RelocSegmentCounter;
}

void Dispatch(AsmContext& c, uint8_t token, bool afterLabel);

void Label(AsmContext& c, const Definition& d) {
  SetSymKind(c, d.Pos, SegmentType(c));
  SetSymValue(c, d.Pos, Counter(c));
  SetSymSegmentId(c, d.Pos, c.CurrentSegment.SegmentId);
  c.line.DefinedValue = static_cast<int32_t>(Counter(c));
  c.line.DefinedKind = SegmentType(c);
}

void RestAfterLabel(AsmContext& c) {
  c.line.LabelOnLine = true;
  const uint8_t next = GetAsmToken(c);
  if (next == tok::kEol) return;
  switch (next) {
    case tok::kORG: case tok::kRSEG: case tok::kCSEG: case tok::kXSEG: case tok::kDSEG:
    case tok::kISEG: case tok::kBSEG:
      AsmSyntaxError(c);
      return;
    default:
      Dispatch(c, next, true);
  }
}

void IdentifierFirst(AsmContext& c) {
  c.PrimaryClosed = true;
  c.line.LineKind = line::kDefinition;
  if (c.line.LabelOnLine) {
    AsmSyntaxError(c);
    return;
  }
  Definition d;
  d.Predefined = c.scan.PredefinedFound;
  d.Pos = c.sym.SymbolCursor;
  if (!d.Predefined && !c.scan.IdentFound) {
    // Only possible after an error reported by the tokenizer.
    Drain(c);
    return;
  }
  const bool isNew =
      !d.Predefined && c.AsmPass == 1 && (c.scan.NewSymbolFlag || SymKind(c, d.Pos) == kind::kModuleName);
  if (!isNew && d.Predefined) {
    ReportAsmError(c, asm_err::kPredefinedSymbolRedefinition);
    c.line.LineKind = line::kReMet;
  }
  const uint8_t next = GetAsmToken(c);
  const uint8_t type = TypeOfKeyword(next);
  if (isNew) {
    switch (next) {
      case tok::kColon:
        Label(c, d);
        RestAfterLabel(c);
        return;
      case tok::kEQU: DefineSymbolOnce(c, d, kind::kNumber); return;
      case tok::kSET:
        DefineSymbolOnce(c, d, kind::kNumber);
        if (SymKind(c, d.Pos) != kind::kUndefined)
          SetSymKind(c, d.Pos, static_cast<uint8_t>(SymKind(c, d.Pos) + kind::kSetFlag));
        return;
      case tok::kSEGMENT: SegmentDefinition(c, d); return;
      default:
        if (type != 255) {
          DefineSymbolOnce(c, d, type);
          return;
        }
        AsmSyntaxError(c);
        return;
    }
  }
  const bool isSet = !d.Predefined && (SymKind(c, d.Pos) & kind::kSetFlag) != 0 &&
                     SymKind(c, d.Pos) < kind::kSegment;
  if (c.AsmPass == 1) {
    if (next == tok::kSET) {
      if (isSet) {
        DefineSymbol(c, d, kind::kNumber);
        if (SymKind(c, d.Pos) != kind::kUndefined)
          SetSymKind(c, d.Pos, static_cast<uint8_t>(SymKind(c, d.Pos) + kind::kSetFlag));
      } else if (!d.Predefined) {
        c.sym.SymbolCursor = d.Pos;
        ReportAsmError(c, asm_err::kRedefinitionNotAllowed);
      }
      Drain(c);
      return;
    }
    if (next == tok::kColon) {
      RestAfterLabel(c);
      return;
    }
    Drain(c);
    return;
  }
  // Pass 2: every definition is checked against pass 1.
  switch (next) {
    case tok::kColon:
      if (!d.Predefined) {
        c.sym.SymbolCursor = d.Pos;
        if (SymFlags(c, d.Pos) != 0)
          ReportAsmError(c, asm_err::kLabelNameAlreadyUsed);
        else if (SymValue(c, d.Pos) != Counter(c))
          ReportAsmError(c, asm_err::kPhaseError);
        SetSymFlags(c, d.Pos, 1);
        Label(c, d);
      }
      RestAfterLabel(c);
      return;
    case tok::kSEGMENT: SegmentDefinition(c, d); return;
    case tok::kEQU: CheckSymbolDefinition(c, d, kind::kNumber); return;
    case tok::kSET:
      if (d.Predefined) {
        CheckSymbolDefinition(c, d, kind::kNumber);
        return;
      }
      if (isSet) {
        DefineSymbol(c, d, kind::kNumber);
      } else if (SymKind(c, d.Pos) != kind::kUndefined) {
        c.sym.SymbolCursor = d.Pos;
        ReportAsmError(c, asm_err::kRedefinitionNotAllowed);
        Drain(c);
        return;
      } else {
        DefineSymbolOnce(c, d, kind::kNumber);
      }
      if (SymKind(c, d.Pos) != kind::kUndefined)
        SetSymKind(c, d.Pos, static_cast<uint8_t>((SymKind(c, d.Pos) & 15) + kind::kSetFlag));
      return;
    default:
      if (type != 255) {
        CheckSymbolDefinition(c, d, type);
        return;
      }
      AsmSyntaxError(c);
  }
}

// Data and storage

bool RequireSegment(AsmContext& c, bool allowed) {
  if (allowed) return true;
  ReportAsmError(c, asm_err::kDirectiveIllegalSegment);
  Drain(c);
  return false;
}

void DataBytes(AsmContext& c, bool words) {
  const uint8_t kindOfLine = words ? line::kDW : line::kDB;
  c.line.LineKind = kindOfLine;
  if (!RequireSegment(c, SegmentType(c) == kind::kCode)) return;
  for (;;) {
    c.line.LineKind = kindOfLine;
    c.line.Fixup = words ? FixupKind::Word : FixupKind::Byte;
    c.line.FixupOffset = static_cast<uint8_t>(c.line.InstrLength);
    c.line.StringFlag = false;
    c.expr.ExternalRef = false;
    const int32_t v = AsmExpression(c, kExprAny);
    if (c.line.LastAsmError == asm_err::kSyntaxError) break;
    c.line.LineKind = kindOfLine;
    const char mark = c.expr.ExternalRef ? 'E' : c.line.NeedsFixup ? 'R' : 'A';
    if (!c.line.StringFlag) {
      if (words) {
        if (c.line.InstrLength + 2 <= c.line.DataBytes.size()) {
          c.line.DataBytes[c.line.InstrLength] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8);
          c.line.DataMarks[c.line.InstrLength] = 'A';
          c.line.DataBytes[c.line.InstrLength + 1] = static_cast<uint8_t>(v);
          c.line.DataMarks[c.line.InstrLength + 1] = mark;
          c.line.InstrLength += 2;
        }
      } else {
        if (v > 255) ReportAsmError(c, asm_err::kValueTruncatedToByte);
        if (c.line.InstrLength < c.line.DataBytes.size()) {
          c.line.DataBytes[c.line.InstrLength] = static_cast<uint8_t>(v);
          c.line.DataMarks[c.line.InstrLength] = mark;
          ++c.line.InstrLength;
        }
      }
    }
    const uint8_t t = GetAsmToken(c);
    if (t == tok::kComma) continue;
    if (t != tok::kEol) AsmSyntaxError(c);
    break;
  }
  if (c.line.LastAsmError == asm_err::kSyntaxError) return;
  c.line.LineKind = kindOfLine;
  EmitCode(c);
}

void Storage(AsmContext& c, bool bits) {
  c.line.LineKind = line::kStorage;
  const bool allowed = bits ? SegmentType(c) == kind::kBit : SegmentType(c) != kind::kBit;
  if (!RequireSegment(c, allowed)) return;
  const int32_t v = AsmExpression(c, kExprKnown);
  if (!ExpectEnd(c)) return;
  if (c.line.LastAsmError != 0) return;
  c.line.ReservedUnits = static_cast<uint32_t>(v);
  if (c.AsmPass == 2 && SegmentType(c) == kind::kCode && !InRelocatable(c)) FlushCodeOutputs(c);
  EmitCode(c);
}

// Segments and declarations

void Rseg(AsmContext& c) {
  c.line.LineKind = line::kSegment;
  const uint8_t t = GetAsmToken(c);
  if (t != tok::kIdentifier) {
    AsmSyntaxError(c);
    return;
  }
  if (!c.scan.IdentFound) {
    if (c.line.LastAsmError != asm_err::kUndefinedSymbol) ReportAsmError(c, asm_err::kUndefinedSymbol);
    Drain(c);
    return;
  }
  const size_t pos = c.sym.SymbolCursor;
  if (SymKind(c, pos) < kind::kSegment || SymKind(c, pos) == kind::kEndMark) {
    ReportAsmError(c, asm_err::kSegmentNameExpected);
    Drain(c);
    return;
  }
  if (!ExpectEnd(c)) return;
  SaveRelocatableSize(c);
  if (c.AsmPass == 2 && SegmentType(c) == kind::kCode) FlushCodeOutputs(c);
  c.CurrentSegment = SymbolAt(c, pos);
  c.CurrentSegment.Kind = static_cast<uint8_t>(c.CurrentSegment.Kind & 7);
  StopHexOutput(c, "RELOCATABLE SEGMENT");
}

void NameStatement(AsmContext& c) {
  c.line.LineKind = line::kDirective;
  c.line.DefiningPosition = true;
  const uint8_t t = GetAsmToken(c);
  c.line.DefiningPosition = false;
  if (t != tok::kIdentifier || !c.scan.IdentFound) {
    AsmSyntaxError(c);
    return;
  }
  const size_t pos = c.sym.SymbolCursor;
  if (c.AsmPass == 1) SetSymKind(c, pos, kind::kModuleName);
  c.ModuleName = c.scan.AsmIdentifier;
  ControlRecord& title = Control(c, ControlId::Title);
  if (!title.FromInvocation && !c.TitleFromSource) title.Value = c.ModuleName;
  ExpectEnd(c);
}

void Extrn(AsmContext& c) {
  c.line.LineKind = line::kDirective;
  uint8_t t = GetAsmToken(c);
  uint8_t type = TypeOfKeyword(t);
  if (t == tok::kNUMBER) type = kind::kNumber;
  const bool hadExternals = c.HasExternals;
  bool any = false;
  if (type == 255 || GetAsmToken(c) != tok::kLParen) {
    AsmSyntaxError(c);
    if (!hadExternals) c.HasExternals = false;
    return;
  }
  for (;;) {
    c.line.DefiningPosition = true;
    t = GetAsmToken(c);
    c.line.DefiningPosition = false;
    if (t != tok::kIdentifier || !c.scan.IdentFound) break;
    const size_t pos = c.sym.SymbolCursor;
    any = true;
    if (c.AsmPass == 1) {
      if (SymKind(c, pos) != kind::kUndefined) {
        ReportAsmError(c, asm_err::kSymbolAlreadyDefined);
      } else if (c.ExternalCounter >= kMaxCount) {
        ReportAsmError(c, asm_err::kTooMany, SegWord::ExternalSymbols);
      } else {
        SetSymKind(c, pos, type);
        SetSymSegmentId(c, pos, 2);
        SetSymScope(c, pos, kScopeExternal);
        SetSymValue(c, pos, c.ExternalCounter++);
        c.HasExternals = true;
      }
    } else {
      if (SymFlags(c, pos) != 0) {
        ReportAsmError(c, asm_err::kSymbolAlreadyDefined);
      } else {
        SetSymFlags(c, pos, 1);
        // Pass 1 counted the same names: the one it refused is reported here.
        if (c.ExternalCounter++ >= kMaxCount) ReportAsmError(c, asm_err::kTooMany, SegWord::ExternalSymbols);
      }
    }
    t = GetAsmToken(c);
    if (t == tok::kComma) continue;
    if (t == tok::kRParen && ExpectEnd(c)) return;
    break;
  }
  AsmSyntaxError(c);
  if (!hadExternals && !any) c.HasExternals = false;
}

void Public(AsmContext& c) {
  c.line.LineKind = line::kDirective;
  for (;;) {
    // The names are entered like definitions but cross-referenced as uses.
    c.line.DefiningPosition = true;
    c.line.NameListPosition = true;
    uint8_t t = GetAsmToken(c);
    c.line.DefiningPosition = false;
    c.line.NameListPosition = false;
    if (t != tok::kIdentifier || !c.scan.IdentFound) {
      AsmSyntaxError(c);
      return;
    }
    const size_t pos = c.sym.SymbolCursor;
    if (c.AsmPass == 1) {
      SetSymScope(c, pos, kScopePublic);
      c.HasPublics = true;
    } else {
      const uint8_t k = SymKind(c, pos);
      if (k == kind::kUndefined) {
        ReportAsmError(c, asm_err::kUndefinedSymbol);
        SetSymScope(c, pos, kScopeLocal);
      } else if (k >= kind::kSegment || (k & 15) == kind::kRegister || k == kind::kModuleName) {
        ReportAsmError(c, asm_err::kPublicAttributeIllegalSymbol);
        SetSymScope(c, pos, kScopeLocal);
      }
    }
    t = GetAsmToken(c);
    if (t == tok::kComma) continue;
    if (t != tok::kEol) AsmSyntaxError(c);
    return;
  }
}

void Using(AsmContext& c) {
  c.line.LineKind = line::kDirective;
  const int32_t v = AsmExpression(c, kExprKnown);
  if (!ExpectEnd(c) || c.line.LastAsmError != 0) return;
  if (v < 0 || v > 3) {
    ReportAsmError(c, asm_err::kIllegalRegisterBankNumber);
    return;
  }
  c.CurrentBank = static_cast<uint8_t>(v);
  c.RegisterBanks[static_cast<size_t>(v)] = true;
}

void SwitchToInclude(AsmContext& c) {
  c.IncludePending = false;
  if (c.AsmPass == 2) ListSourceLine(c);
  ++c.IncludeDepth;
  const uint8_t level = c.IncludeDepth;
  const std::string outer = level == 1 ? c.SourceName : c.Inputs[level - 1].Name;
  c.CurrentFileName = c.Inputs[level].Name;
  c.LevelLineCount[level] = 0;
  if (c.EchoProgress)
    c.StatusText += "\r\n" + c.CurrentFileName + " Pass " + std::to_string(c.AsmPass) + " ";
  c.scan.ScanChar = kCR;
  while (!AsmInputAtEnd(c)) ProcessStatement(c);
  c.Inputs[level].Stream.reset();
  c.LevelLineCount[level] = 0;
  --c.IncludeDepth;
  c.CurrentFileName = outer;
  c.scan.ScanChar = kCR;
  if (c.EchoProgress)
    c.StatusText += "\r\n" + c.CurrentFileName + " Pass " + std::to_string(c.AsmPass) + " ";
}

void Dispatch(AsmContext& c, uint8_t token, bool afterLabel) {
  if (!afterLabel && token != tok::kEol && token != tok::kControl) {
    if (token == tok::kNAME && c.PrimaryClosed) {
      AsmSyntaxError(c);
      return;
    }
  }
  switch (token) {
    case tok::kEol:
      if (!afterLabel) c.line.LineKind = line::kEmpty;
      return;
    case tok::kControl:
      if (afterLabel) break;
      c.line.LineKind = line::kDirective;
      ProcessControlLine(c);
      return;
    case tok::kIdentifier:
      IdentifierFirst(c);
      return;
    case tok::kDB: c.PrimaryClosed = true; DataBytes(c, false); return;
    case tok::kDW: c.PrimaryClosed = true; DataBytes(c, true); return;
    case tok::kDS: c.PrimaryClosed = true; Storage(c, false); return;
    case tok::kDBIT: c.PrimaryClosed = true; Storage(c, true); return;
    case tok::kORG:
      c.PrimaryClosed = true;
      c.line.LineKind = line::kOrg;
      SetLocationCounter(c);
      return;
    case tok::kNAME: NameStatement(c); c.PrimaryClosed = true; return;
    case tok::kEND:
      c.PrimaryClosed = true;
      c.line.LineKind = line::kDirective;
      c.EndSeen = true;
      ExpectEnd(c);
      return;
    case tok::kEXTRN: c.PrimaryClosed = true; Extrn(c); return;
    case tok::kPUBLIC: c.PrimaryClosed = true; Public(c); return;
    case tok::kRSEG: c.PrimaryClosed = true; Rseg(c); return;
    case tok::kUSING: c.PrimaryClosed = true; Using(c); return;
    case tok::kCSEG: case tok::kXSEG: case tok::kDSEG: case tok::kISEG: case tok::kBSEG: {
      c.PrimaryClosed = true;
      c.line.LineKind = line::kSegment;
      constexpr uint8_t types[] = {kind::kCode, kind::kXData, kind::kData, kind::kIData,
                                   kind::kBit};
      SelectAbsoluteSegment(c, types[token - tok::kCSEG]);
      return;
    }
    default:
      break;
  }
  if (token >= tok::kFirstMnemonic && token <= tok::kLastMnemonic) {
    c.PrimaryClosed = true;
    c.line.LineKind = line::kInstruction;
    if (!RequireSegment(c, SegmentType(c) == kind::kCode)) return;
    c.line.StatementLocation = Counter(c);
    EncodeInstruction(c, token);
    if (c.line.LastAsmError != asm_err::kSyntaxError) EmitCode(c);
    return;
  }
  if (token >= tok::kAR0 && token <= tok::kAR7) {
    const uint8_t next = GetAsmToken(c);
    if (next == tok::kColon || next == tok::kEQU || next == tok::kSET || next == tok::kSEGMENT ||
        TypeOfKeyword(next) != 255) {
      ReportAsmError(c, asm_err::kReservedSymbolRedefinition);
      if (next == tok::kColon) {
        RestAfterLabel(c);
      } else {
        Drain(c);
      }
      return;
    }
  }
  AsmSyntaxError(c);
}

// After END: every further line is read, listed, and reported when not blank.
void LineAfterEnd(AsmContext& c) {
  ResetLineState(c);
  GetAsmChar(c);
  bool text = false;
  for (size_t i = 0; i + 1 < c.scan.LineBuffer.size(); ++i)
    if (c.scan.LineBuffer[i] != ' ' && c.scan.LineBuffer[i] != '\t') text = true;
  Drain(c);
  if (text) {
    c.line.LineKind = line::kDirective;
    ReportAsmError(c, asm_err::kTextFoundAfterEndStatement);
  }
  if (c.AsmPass == 2) ListSourceLine(c);
}

}  // namespace

uint8_t CounterSlotOf(uint8_t segmentType) {
  switch (segmentType) {
    case kind::kCode: return 0;
    case kind::kData: return 1;
    case kind::kIData: return 2;
    case kind::kXData: return 3;
    default: return 4;
  }
}

void ResetLineState(AsmContext& c) {
  c.line = {};
  c.line.StatementLocation = Counter(c);
}

void PollAsmAbort(AsmContext& c) {
  if (TakeAsmInterrupt()) c.CtrlCPressed = true;
  if (c.CtrlCPressed || c.CtrlBreakPressed) {
    c.out.Listing.ToListing = false;
    c.StatusText += c.CtrlCPressed ? "*** Ctrl C ***" : "*** Ctrl Break ***";
    AsmFatalStop(c);
  }
}

void ProcessStatement(AsmContext& c) {
  PollAsmAbort(c);
  if (c.EndSeen && c.FileMode) {
    LineAfterEnd(c);
    return;
  }
  ResetLineState(c);
  GetAsmChar(c);
  c.line.DefiningPosition = true;
  const uint8_t token = GetAsmToken(c);
  c.line.DefiningPosition = false;
  Dispatch(c, token, false);
  Drain(c);
  bool listed = false;
  if (c.IncludePending) {
    SwitchToInclude(c);
    listed = true;
  }
  if (c.line.LastAsmError != asm_err::kSyntaxError && c.AsmPass == 2 && !listed) ListSourceLine(c);
  c.scan.ScanChar = kCR;
}

bool CheckSegmentRange(AsmContext& c, uint64_t value, uint8_t type) {
  uint64_t limit = 65535;
  if (type == kind::kData) limit = 255;
  if (type == kind::kIData || type == kind::kBit) limit = 127;
  if (value > limit) {
    ReportAsmError(c, asm_err::kLocationCounterOverflow);
    return false;
  }
  if (!InRelocatable(c)) return true;
  const uint8_t reloc = c.CurrentSegment.RelocType;
  const uint8_t t = SegmentType(c);
  if (t == kind::kCode && reloc == kRelInPage && value > 255) {
    ReportAsmError(c, asm_err::kRelocatedSegmentOverflow, SegWord::InPage);
    return false;
  }
  // An INBLOCK segment must fit the 2 KB block that AJMP and ACALL reach.
  if (t == kind::kCode && reloc == kRelInBlock && value > kInBlockLimit) {
    ReportAsmError(c, asm_err::kRelocatedSegmentOverflow, SegWord::InBlock);
    return false;
  }
  if (t == kind::kXData && reloc == kRelInPage && value > 255) {
    ReportAsmError(c, asm_err::kRelocatedSegmentOverflow, SegWord::InPage);
    return false;
  }
  if (t == kind::kData && reloc == kRelBitAddressable && value > 15) {
    ReportAsmError(c, asm_err::kRelocatedSegmentOverflow, SegWord::BitAddressable);
    return false;
  }
  return true;
}

void SaveSegmentSize(AsmContext& c) { SaveRelocatableSize(c); }

void FlushCodeOutputs(AsmContext& c) {
  FlushObjContent(c);
  FlushHexRecord(c);
}

void EmitCode(AsmContext& c) {
  const uint32_t n = c.line.LineKind == line::kStorage ? c.line.ReservedUnits : c.line.InstrLength;
  if (n == 0) return;
  const uint64_t counter = Counter(c);
  if (!CheckSegmentRange(c, counter + n - 1, SegmentType(c))) return;
  const bool bytes =
      c.line.LineKind == line::kInstruction || c.line.LineKind == line::kDB || c.line.LineKind == line::kDW;
  if (c.AsmPass == 2 && bytes) {
    // The HEX file holds only code placed before the first RSEG or the first
    // statement that needs a fixup: code from there on waits for the linker.
    if (c.line.AnyFixup)
      StopHexOutput(c, c.line.LineExternalRef ? "EXTERNAL REFERENCE" : "RELOCATABLE REFERENCE");
    if (c.HexEligible) AddHexBytes(c);
    if (c.out.Files.ObjectOpen) AddObjContent(c);
  }
  c.CurrentSegment.Value = static_cast<uint32_t>(counter + n);
  if (!InRelocatable(c)) {
    c.Counters[c.CounterSlot] = c.CurrentSegment.Value;
    if (c.CurrentSegmentEntry < c.SegmentTable.size()) {
      AsmSegmentEntry& e = c.SegmentTable[c.CurrentSegmentEntry];
      const uint32_t length = std::min<uint32_t>(c.CurrentSegment.Value - e.Start, 0xFFFF);
      if (c.CurrentSegment.Value >= e.Start && length > e.Length)
        e.Length = static_cast<uint16_t>(length);
    }
  }
}

void SelectAbsoluteSegment(AsmContext& c, uint8_t type) {
  SaveRelocatableSize(c);
  const bool fromAbsoluteCode = !InRelocatable(c) && SegmentType(c) == kind::kCode;
  const uint8_t slot = CounterSlotOf(type);
  if (PeekAsmToken(c) == tok::kAT) {
    GetAsmToken(c);
    const int32_t address = AsmExpression(c, kExprAbsolute);
    if (!ExpectEnd(c) || c.line.LastAsmError != 0) return;
    const AsmSymbolRec saved = c.CurrentSegment;
    c.CurrentSegment.SegmentId = 0;  // the range of the new absolute segment
    const bool inRange = CheckSegmentRange(c, static_cast<uint32_t>(address), type);
    c.CurrentSegment = saved;
    if (!inRange) return;
    if (c.AsmPass == 2 && fromAbsoluteCode && static_cast<uint32_t>(address) != Counter(c))
      FlushCodeOutputs(c);
    MakeAbsolute(c, type, static_cast<uint32_t>(address));
    c.Counters[slot] = static_cast<uint32_t>(address);
    c.Bases[slot] = static_cast<uint32_t>(address);
    AddSegmentEntry(c, type, static_cast<uint32_t>(address));
    return;
  }
  if (!ExpectEnd(c)) return;
  if (c.AsmPass == 2 && fromAbsoluteCode) FlushCodeOutputs(c);
  MakeAbsolute(c, type, c.Counters[slot]);
  for (size_t i = c.SegmentTable.size(); i > 0; --i) {
    if (c.SegmentTable[i - 1].Type == type) {
      c.CurrentSegmentEntry = i - 1;
      return;
    }
  }
  AddSegmentEntry(c, type, 0);
}

void SetLocationCounter(AsmContext& c) {
  const int32_t v = AsmExpression(c, kExprKnown);
  const uint8_t segment = c.scan.AsmValueSegment;
  if (!ExpectEnd(c) || c.line.LastAsmError != 0) return;
  if (segment != 0 && segment != c.CurrentSegment.SegmentId) {
    ReportAsmError(c, asm_err::kReferenceOtherSegment);
    return;
  }
  const uint32_t value = static_cast<uint32_t>(v);
  if (!InRelocatable(c) && value < c.Bases[c.CounterSlot]) {
    ReportAsmError(c, asm_err::kLocationBelowSegmentBase);
    return;
  }
  if (!CheckSegmentRange(c, value, SegmentType(c))) return;
  if (c.AsmPass == 2 && !InRelocatable(c) && SegmentType(c) == kind::kCode) {
    FlushObjContent(c);
    // ORG to the current address leaves the HEX record whole.
    if (value != Counter(c)) FlushHexRecord(c);
  }
  // A relocatable segment's size is the highest location reached, also when
  // ORG moves the counter back.
  SaveRelocatableSize(c);
  c.CurrentSegment.Value = value;
  if (InRelocatable(c))
    SaveRelocatableSize(c);
  else
    c.Counters[c.CounterSlot] = value;
}

}  // namespace dorvik::as
