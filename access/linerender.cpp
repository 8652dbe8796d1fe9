#include "access/linerender.h"
#include "base/session.h"

#include <initializer_list>

#include "lang/formatting.h"
#include "machine/disassembler.h"
#include "lang/keywords.h"
#include "access/lineparser.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "lang/symbols.h"

namespace dorvik {
namespace {

// Operands start eight columns after the mnemonic (column 25 of the rendered text).
constexpr size_t kOperandColumn = 8;
// The code bytes take six columns of the rendered text, four blanks follow them.
constexpr size_t kCodeBytesWidth = 6;
constexpr std::string_view kAfterCodeBytes = "    ";
// A symbol farther below a value than this is not used for it.
constexpr uint16_t kMaxSymbolDistance = 0x30;
// Beyond this distance in the procedure's scope the search is retried for any class.
constexpr uint16_t kScopeRetryDistance = 0x14;

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

// The disassembler's text from Column on, trimmed; "" when it is shorter.
std::string DisasColumn(const std::string& text, size_t column, size_t count = std::string::npos) {
  return column < text.size() ? std::string(Trimmed(std::string_view(text).substr(column, count))) : std::string();
}

uint8_t Radix() {
  return Formatting().DisplayRadix;
}

void Append(std::string& out, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts) out.append(part);
}

// A number in the display radix, leading zeros dropped.
std::string Number(uint32_t value, bool zeroPrefix) {
  return FormatNumber(Radix(), 16, true, static_cast<long double>(value), zeroPrefix);
}

// A number with a leading 0 and, in radix 16 above 9, the suffix H.
std::string NumberWithSuffix(uint32_t value) {
  std::string s = Number(value, true);
  if (Radix() == 16 && value > 9) s += 'H';
  return s;
}

std::string Hex0(uint32_t value) {
  return FormatNumber(16, 8, true, static_cast<long double>(value), true);
}

std::string Decimal(uint32_t value) {
  return FormatNumber(10, 10, true, static_cast<long double>(value), false);
}

// "#" + hex and, above 9, "H #" + decimal + "T": the value of a symbolic or odd-radix operand.
std::string HexAndDecimal(uint32_t value) {
  std::string s = "#";
  s += Hex0(value);
  if (value > 9) Append(s, {"H #", Decimal(value), "T"});
  return s;
}

std::string SymbolName(int32_t index) {
  const tSymbolItem* s = SymbolAt(index);
  return s ? s->Name : std::string();
}

// The name of the lookup's result at distance 0: a program symbol or a processor name.
bool ExactName(uint16_t value, uint8_t cls, int32_t start, bool userOnly, uint8_t stopClass,
               std::string& name) {
  const uint16_t distance = FindNearestSymbol(value, cls, start, false, userOnly, stopClass);
  const tSymbolRef& ref = SymbolLookup().SymbolRef;
  if (distance == 0 && ref.Sym != kNoItem) {
    name = SymbolName(ref.Sym);
    return true;
  }
  if (ref.CpuEntry && cls != kAnyClass) {
    name = ref.CpuEntry->Name;
    return true;
  }
  return false;
}

// A module or procedure symbol whose start is exactly Addr.
bool ProcedureAt(uint16_t addr, std::string& name) {
  const auto& table = Collections().SymbolTable;
  if (!table) return false;
  for (const tSymbolItem& s : table->Items) {
    if ((s.SymClass & 0x0F) == kClassProcedure && s.Value == addr) {
      name = s.Name;
      return true;
    }
  }
  return false;
}

// The exact searches of one scope (from `start` to `stopClass`); true with the text appended.
bool ExactSymbol(uint16_t value, uint8_t kind, int32_t start, bool userOnly, uint8_t stopClass,
                 std::string& line) {
  std::string name;
  const uint8_t cls = kind == kKindCode ? kClassCode : kind;
  if (cls == kClassNumber) {
    if (ExactName(value, kAnyClass, start, userOnly, stopClass, name)) return line += name, true;
    return false;
  }
  if (ExactName(value, cls, start, userOnly, stopClass, name)) return line += name, true;
  if (cls == kClassCode && ProcedureAt(value, name)) {
    return line += name, true;
  }
  if (cls == kClassBit) {
    const uint16_t byte = value < 0x80 ? 0x20 + value / 8 : value & 0xF8;
    std::string byteName;
    bool found = false;
    if (value > 0x7F) {
      if (auto at = FindCpuEntryByValue(byte, kClassData)) {
        if (auto entry = CpuEntryAt(*at)) byteName = entry->Name, found = true;
      }
    }
    if (!found) found = ExactName(byte, kClassData, start, userOnly, stopClass, byteName);
    if (found) {
      const char bit[] = {'.', static_cast<char>('0' + (value & 7)), 0};
      Append(line, {byteName, bit});
      return true;
    }
  }
  return false;
}

// The nearest symbol below a value in one scope: its index and distance.
struct Nearest {
  int32_t Sym = kNoItem;
  uint16_t Distance = kNoDistance;
};

Nearest NearestBelow(uint16_t value, uint8_t cls, int32_t start, bool userOnly, uint8_t stopClass) {
  Nearest n;
  n.Distance = FindNearestSymbol(value, cls, start, false, userOnly, stopClass);
  n.Sym = SymbolLookup().SymbolRef.Sym;
  if (n.Sym == kNoItem) n.Distance = kNoDistance;
  return n;
}

// Symbol lookups made for the display: they show no message, leave the error state as it was and do not
// move the found symbol and module.
class QuietLookups {
 public:
  QuietLookups() : found_(Collections().FoundSymbol), module_(Collections().FoundModule) { SuspendMessages(); }
  ~QuietLookups() {
    Collections().FoundSymbol = found_;
    Collections().FoundModule = module_;
  }
  QuietLookups(const QuietLookups&) = delete;
  QuietLookups& operator=(const QuietLookups&) = delete;

 private:
  SavedStates<MessageState> messages_;
  int32_t found_;
  int32_t module_;
};

}  // namespace

LineRenderState& LineRender() {
  return CurrentSession().Get<LineRenderState>();
}

void ResetLineRenderColumns() {
  LineRender().LineNumberColumnUsed = false;
  LineRender().LabelColumnUsed = false;
}

DisasFields LineFields(const tDisasLine& item) {
  return {FormatHex4(item.Addr) + "H", item.CodeBytes, item.SourceLineNo, item.LabelStr, item.Instruction,
          item.Comment};
}

std::string JoinRenderedText(uint16_t addr, std::string_view codeBytes, std::string_view instruction) {
  std::string text = FormatHex4(addr);
  Append(text, {"H ", codeBytes});
  if (codeBytes.size() < kCodeBytesWidth) text.append(kCodeBytesWidth - codeBytes.size(), ' ');
  Append(text, {kAfterCodeBytes, instruction});
  return text;
}

std::string ConsoleLineText(const tDisasLine& item) {
  std::string text = item.Instruction;
  if (item.ImmediateShownAsSymbol && !item.Comment.empty()) Append(text, {" ", item.Comment});
  return text;
}

void PlainDisasLineFields(tDisasLine& item) {
  item.CodeBytes = DisasColumn(item.DisasText, kDisasBytesColumn, kCodeBytesWidth);
  item.Instruction = DisasColumn(item.DisasText, kDisasMnemonicColumn);
  item.Comment.clear();
  item.SourceLine.clear();
}

std::string TokenWord(uint8_t token) {
  if (token == tok::kC) return "C";
  std::string text = TokenText(token);
  const size_t blank = text.find(' ');
  if (blank != std::string::npos) text.resize(blank);
  return text;
}

void AddCommentSeparator(tDisasLine& item) {
  item.Comment.push_back(item.Comment.empty() ? ';' : ' ');
}

uint8_t RenderOperand(uint16_t value, uint8_t kind, uint16_t addr, std::string& line) {
  const SymbolLookupState& lookup = SymbolLookup();
  if (LineRender().NoSymbolicOperands) {
    line += NumberWithSuffix(value);
    return 0;
  }
  if (!lookup.ShowSymbols || !lookup.ShowLines) {
    line += Number(value, Radix() == 16 && Run().AsmLineMode);
    return 0;
  }
  const QuietLookups quiet;
  const uint8_t cls = kind == kKindCode ? kClassCode : kind;

  // Exact names: the procedure's scope, the whole program, the processor's names.
  int32_t proc = kNoItem;
  if (FindProcedureAt(addr)) proc = Collections().FoundSymbol;
  uint8_t result = 0;
  if (proc != kNoItem && ExactSymbol(value, kind, proc, false, kClassProcedure, line))
    result = 1;
  else if (ExactSymbol(value, kind, 0, true, kAnyClass, line))
    result = 1;
  else if (auto at = FindCpuEntryByValue(value, cls)) {
    if (auto entry = CpuEntryAt(*at)) {
      line += entry->Name;
      result = 1;
    }
  }

  if (result == 0) {
    // The nearest symbol below: in the procedure's scope (any class when it is far) and in the program.
    Nearest best;
    if (proc != kNoItem) {
      best = NearestBelow(value, cls, proc, false, kClassProcedure);
      if (best.Distance > kScopeRetryDistance) {
        const Nearest any = NearestBelow(value, kClassNumber, proc, false, kClassProcedure);
        if (any.Distance < best.Distance) best = any;
      }
    }
    const Nearest global = NearestBelow(value, cls, 0, true, kAnyClass);
    if (global.Distance < best.Distance) best = global;
    const tSymbolItem* s = SymbolAt(best.Sym);
    if (!s || best.Distance > kMaxSymbolDistance) {
      line += NumberWithSuffix(value);
    } else {
      if ((s->SymClass & 0x0F) == kClassLine) {
        Append(line, {"#", Decimal(static_cast<uint32_t>(s->Number))});
        result = 2;
      } else {
        line += s->Name;
        result = 1;
      }
      if (best.Distance > 0) Append(line, {"+", NumberWithSuffix(best.Distance)});
    }
  }
  return result;
}

void RenderDisasLine(tDisasLine& item) {
  const ParsedInstruction& p = Parsed();
  std::string line;
  item.Comment.clear();
  item.TargetShownAsSymbol = 0;
  item.ImmediateShownAsSymbol = false;
  item.Operand1ShownAsSymbol = false;

  if (p.ParsedFixedForm) {
    line += p.ParsedFixedText;
  } else {
    line += TokenWord(p.ParsedMnemonic);
    for (size_t i = 0; i < 3; ++i) {
      if (!p.ParsedHasOp[i]) continue;
      if (i == 0) {
        if (line.size() < kOperandColumn) line.append(kOperandColumn - line.size(), ' ');
      } else {
        line += ',';
      }
      if (p.ParsedPrefix[i]) line += p.ParsedPrefix[i];
      if (p.ParsedOperand[i] != tok::kNumberValue) {
        line += TokenWord(p.ParsedOperand[i]);
        continue;
      }
      const uint8_t shown = RenderOperand(p.ParsedValue[i], p.ParsedKind[i], item.Addr, line);
      if (p.ParsedKind[i] == kKindCode)
        item.TargetShownAsSymbol = shown;
      else if (i == 0)
        item.Operand1ShownAsSymbol = shown != 0;
      else if (i == 1 && p.ParsedPrefix[i] == '#')
        item.ImmediateShownAsSymbol = shown != 0;
      if (i == 0 && item.OpCode == 0xA5) {
        AddCommentSeparator(item);
        const uint8_t radix = Radix();
        if (item.Operand1ShownAsSymbol || (radix != 16 && radix != 10))
          item.Comment += HexAndDecimal(p.ParsedValue[i]);
      }
    }
  }

  if (!LineRender().NoSymbolicOperands) {
    const uint8_t radix = Radix();
    if (p.ParsedHasOp[1] && p.ParsedPrefix[1] == '#' && p.ParsedOperand[1] == tok::kNumberValue) {
      const uint16_t v = p.ParsedValue[1];
      AddCommentSeparator(item);
      if (item.ImmediateShownAsSymbol || (radix != 16 && radix != 10)) {
        item.Comment += HexAndDecimal(v);
      } else if (v > 9) {
        if (radix == 10)
          Append(item.Comment, {"#", Hex0(v), "H"});
        else
          Append(item.Comment, {"#", Decimal(v), "T"});
      }
    }
    for (size_t i = 0; i < 3; ++i) {
      if (!p.ParsedHasOp[i] || p.ParsedOperand[i] != tok::kNumberValue || p.ParsedKind[i] != kKindCode) continue;
      const uint16_t target = p.ParsedValue[i];
      if (item.TargetShownAsSymbol != 0 || radix != 16) {
        AddCommentSeparator(item);
        Append(item.Comment, {"0", FormatHex4(target), "H"});
      }
      if (item.TargetShownAsSymbol != 2) {
        const QuietLookups quiet;
        if (FindLineSymbol(target)) {
          if (const tSymbolItem* s = SymbolAt(Collections().FoundSymbol)) {
            AddCommentSeparator(item);
            Append(item.Comment, {"(:", SymbolLookup().LastModuleName, "#",
                                  Decimal(static_cast<uint32_t>(s->Number)), ")"});
          }
        }
      }
      break;
    }
  }
  item.CodeBytes = DisasColumn(item.DisasText, kDisasBytesColumn, kCodeBytesWidth);
  item.Instruction = std::move(line);
  item.SourceLine = JoinRenderedText(item.Addr, item.CodeBytes, item.Instruction);
}

void ReparseDisasLine(tDisasLine& item) {
  SavedStates<ScannerState> saved;
  const bool savedError = Messages().ErrorFlag;
  Messages().ErrorFlag = false;
  Scanner().ParsingReply = true;
  Scanner().Disassembling = true;

  std::string text = item.DisasText;
  text += '\r';
  SetScanLine(text, true);
  ScannerState& s = Scanner();
  while (s.ScanChar != ' ' && s.ScanChar != '\r' && s.ScanChar != '\0') NextChar();
  const uint8_t mnemonic = GetToken();
  if (!Messages().ErrorFlag) {
    item.Mnemonic = mnemonic;
    ParseInstruction();
    const ParsedInstruction& p = Parsed();
    item.Mnemonic = p.ParsedMnemonic;
    item.Operand = p.ParsedOperand;
    item.Value = p.ParsedValue;
    item.HasOp = p.ParsedHasOp;
    item.Prefix = p.ParsedPrefix;
  }
  if (!Messages().ErrorFlag) RenderDisasLine(item);

  Messages().ErrorFlag = savedError || Messages().ErrorFlag;
}

void BuildDisasLineLabels(tDisasLine& item) {
  item.SourceLineNo.clear();
  item.LabelStr.clear();
  {
    const QuietLookups quiet;
    if (FindLineSymbol(item.Addr)) {
      if (const tSymbolItem* s = SymbolAt(Collections().FoundSymbol)) {
        item.SourceLineNo.clear();
        Append(item.SourceLineNo,
               {":", SymbolLookup().LastModuleName, "#", FormatDec5(static_cast<uint16_t>(s->Number))});
        LineRender().LineNumberColumnUsed = true;
      }
    }
    std::string name;
    if (ExactName(item.Addr, kClassCode, 0, false, kAnyClass, name) || ProcedureAt(item.Addr, name)) {
      item.LabelStr = name;
      item.LabelStr += ':';
      LineRender().LabelColumnUsed = true;
    }
  }
  ReparseDisasLine(item);
}

}  // namespace dorvik
