#include "lang/cpucompiler.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "base/dialogs.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/session.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"

namespace dorvik {

namespace {

void AppendShortString(std::vector<uint8_t>& out, std::string_view s) {
  out.push_back(static_cast<uint8_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

}  // namespace

// Text definition compiler

namespace {

// Words of the definition texts that the compiler gives a meaning.
enum class DefWord : uint8_t {
  None,
  Sfr,
  Sfr16,
  Sbit,
  Bit,
  Data,
  Equ,
  Extern,
  Code,
  XData,
  IData,
  RData,
  Eeprom,
  Boolean,
  Byte,
  Address,
  Word,
  Char,
  ShortInt,
  Integer,
  LongInt,
  DoubleWord,
  Float,
  Pointer,
  Unsigned,
  Using,
  At,
};

// The grammar role of a word: its exact row in the keyword table.
DefWord LookupDefWord(std::string_view word) {
  uint8_t token = 0;
  for (const auto& row : KeywordTable) {
    if (row.Name == word) {
      token = row.Token;
      break;
    }
  }
  switch (token) {
    case tok::kSFR:
      return DefWord::Sfr;
    case tok::kSFR16:
      return DefWord::Sfr16;
    case tok::kSBIT:
      return DefWord::Sbit;
    case tok::kBIT:
      return DefWord::Bit;
    case tok::kDATA:
      return DefWord::Data;
    case tok::kEQU:
      return DefWord::Equ;
    case tok::kEXTERN:
      return DefWord::Extern;
    case tok::kCODE:
      return DefWord::Code;
    case tok::kXDATA:
      return DefWord::XData;
    case tok::kIDATA:
      return DefWord::IData;
    case tok::kRDATA:
      return DefWord::RData;
    case tok::kEEPROM:
      return DefWord::Eeprom;
    case tok::kBOOLEAN:
      return DefWord::Boolean;
    case tok::kBYTE:
      return DefWord::Byte;
    case tok::kADDRESS:
      return DefWord::Address;
    case tok::kWORD:
      return DefWord::Word;
    case tok::kCHAR:
      return DefWord::Char;
    case tok::kSHORTINT:
      return DefWord::ShortInt;
    case tok::kINTEGER:
      return DefWord::Integer;
    case tok::kLONGINT:
      return DefWord::LongInt;
    case tok::kDOUBLEWORD:
      return DefWord::DoubleWord;
    case tok::kFLOAT:
      return DefWord::Float;
    case tok::kPOINTER:
      return DefWord::Pointer;
    case tok::kUNSIGNED:
      return DefWord::Unsigned;
    case tok::kUSING:
      return DefWord::Using;
    case tok::kAT:
      return DefWord::At;
    default:
      return DefWord::None;
  }
}

// Memory space of a memory-class word (its token's low 3 bits; DATA is the
// direct data space), -1 for any other word.
int MemorySpaceOf(DefWord w) {
  switch (w) {
    case DefWord::Code:
      return kCpuSpaceCode;
    case DefWord::XData:
      return kCpuSpaceXData;
    case DefWord::Data:
    case DefWord::RData:
      return kCpuSpaceDirect;
    case DefWord::IData:
      return kCpuSpaceIData;
    case DefWord::Bit:
      return kCpuSpaceBit;
    case DefWord::Eeprom:
      return kCpuSpaceEeprom;
    default:
      return -1;
  }
}

bool IsTypeWord(DefWord w) {
  switch (w) {
    case DefWord::Boolean:
    case DefWord::Byte:
    case DefWord::Address:
    case DefWord::Word:
    case DefWord::Char:
    case DefWord::ShortInt:
    case DefWord::Integer:
    case DefWord::LongInt:
    case DefWord::DoubleWord:
    case DefWord::Float:
    case DefWord::Pointer:
      return true;
    default:
      return false;
  }
}

// Data type nibble of a type word.
uint8_t TypeNibble(DefWord w, bool isUnsigned) {
  switch (w) {
    case DefWord::Boolean:
    case DefWord::Byte:
      return 3;
    case DefWord::Address:
    case DefWord::Word:
      return 5;
    case DefWord::Char:
    case DefWord::ShortInt:
      return isUnsigned ? 3 : 2;
    case DefWord::Integer:
      return isUnsigned ? 5 : 4;
    case DefWord::LongInt:
      return isUnsigned ? 7 : 5;
    case DefWord::DoubleWord:
      return 7;
    case DefWord::Float:
      return 8;
    case DefWord::Pointer:
      return 0xD;
    default:
      return 0;
  }
}

enum class TokKind : uint8_t { End, Name, Number, Punct, Bad };

struct Tok {
  TokKind Kind = TokKind::End;
  std::string Text;
  int64_t Value = 0;
  char Punct = 0;
};

// Tokens of a definition statement, read from the command scanner's current
// line: names are taken as words (a name being defined is no symbol yet),
// numbers as the scanner reads them (radix suffixes, "0x", the current radix).
class DefLexer {
 public:
  Tok Next() {
    ScannerState& s = Scanner();
    SkipBlanks();
    Tok t;
    const char c = s.ScanChar;
    if (c == '\r' || c == '\0') return t;
    if (IsIdentStart(c)) {
      ReadIdentifier();
      t.Text = s.ScanIdent;
      t.Kind = Messages().ErrorFlag ? TokKind::Bad : TokKind::Name;
      SkipBlanks();
      return t;
    }
    if (IsDigit(c)) {
      const uint8_t token = GetToken();
      const long double v = s.ExprValue;
      t.Text = s.ScanIdent;
      if (token == tok::kNumberValue && !Messages().ErrorFlag && v >= 0 && v <= 0xFFFFFFFFL &&
          v == static_cast<long double>(static_cast<int64_t>(v))) {
        t.Kind = TokKind::Number;
        t.Value = static_cast<int64_t>(v);
      } else {
        t.Kind = TokKind::Bad;
      }
      return t;
    }
    s.ScanChar = NextChar();
    t.Kind = std::string_view("=[]^.").find(c) != std::string_view::npos ? TokKind::Punct : TokKind::Bad;
    t.Punct = c;
    t.Text = std::string(1, c);
    return t;
  }

  Tok Peek() {
    SavedStates<ScannerState> saved;
    const bool errorBefore = Messages().ErrorFlag;
    Tok t = Next();
    Messages().ErrorFlag = errorBefore;
    return t;
  }
};

// The record being compiled: its entries so far, also published as the
// selected processor's entry list while the compiler runs, so that the
// scanner resolves the names defined so far.
class RecordBuilder {
 public:
  std::optional<size_t> Find(std::string_view name) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].Name == name) return i;
    return std::nullopt;
  }
  const tCpuDefEntry& At(size_t i) const { return entries_[i]; }
  void SetKind(size_t i, uint8_t kind) {
    entries_[i].Kind = kind;
    Publish();
  }
  void Add(uint8_t kind, uint16_t value, std::string_view name) {
    entries_.push_back({kind, value, std::string(name.substr(0, kCpuEntryNameMax))});
    Publish();
  }
  std::vector<uint8_t> Bytes(std::string_view cpuName) const {
    std::vector<uint8_t> out;
    AppendShortString(out, cpuName);
    AppendEntries(out);
    return out;
  }
  void Publish() const {
    CpuDb().CpuDefEntries.clear();
    AppendEntries(CpuDb().CpuDefEntries);
  }

 private:
  void AppendEntries(std::vector<uint8_t>& out) const {
    for (const auto& e : entries_) {
      out.push_back(e.Kind);
      out.push_back(static_cast<uint8_t>(e.Value & 0xFF));
      out.push_back(static_cast<uint8_t>(e.Value >> 8));
      AppendShortString(out, e.Name);
    }
    out.push_back(kCpuRecordEnd);
  }

  std::vector<tCpuDefEntry> entries_;
};

// While a definition is compiled the scanner and the evaluator work on the
// definition text alone: no program symbols, the record's own names, values
// as addresses, exact keywords, no boxes. Everything is put back afterwards.
class DefinitionScope {
 public:
  DefinitionScope() : collections_(std::move(Collections())), entries_(std::move(CpuDb().CpuDefEntries)) {
    Collections() = CollectionsState{};
    CpuDb().CpuDefEntries.assign(1, kCpuRecordEnd);
    ScannerState& s = Scanner();
    s.ExactKeywordsOnly = true;
    s.CStyleNumbers = true;
    s.Disassembling = true;
    SuspendMessages();
  }
  ~DefinitionScope() {
    Collections() = std::move(collections_);
    CpuDb().CpuDefEntries = std::move(entries_);
  }
  DefinitionScope(const DefinitionScope&) = delete;
  DefinitionScope& operator=(const DefinitionScope&) = delete;

 private:
  // Put back last, after the moved tables.
  SavedStates<ScannerState, EvaluatorState, tValueList, SymbolLookupState, MessageState> saved_;
  CollectionsState collections_;
  std::vector<uint8_t> entries_;
};

class StatementParser {
 public:
  // Text is one statement without its ";", handed to the command scanner.
  StatementParser(std::string_view text, RecordBuilder& record) : record_(record) {
    std::string line(text);
    line += '\r';
    SetScanLine(line, true);
    Messages().ErrorFlag = false;
  }

  // False when the statement does not parse.
  bool Parse() {
    Tok first = lex_.Next();
    if (first.Kind == TokKind::End) return true;
    if (first.Kind != TokKind::Name) return false;
    DefWord w = LookupDefWord(first.Text);
    switch (w) {
      case DefWord::Sfr:
        return ParseAssign(kCpuKindSfr, false);
      case DefWord::Sfr16:
        return ParseAssign(kCpuKindSfr16, false);
      case DefWord::Sbit:
        return ParseAssign(kCpuKindSbit, true);
      case DefWord::Extern:
        return ParseDeclaration(lex_.Next());
      case DefWord::None:
        break;
      default:
        return ParseDeclaration(first);
    }
    // name BIT|DATA|EQU value
    Tok second = lex_.Next();
    if (second.Kind != TokKind::Name) return false;
    uint8_t kind;
    switch (LookupDefWord(second.Text)) {
      case DefWord::Bit:
        kind = kCpuKindSbit;
        break;
      case DefWord::Data:
        kind = kCpuKindData;
        break;
      case DefWord::Equ:
        kind = kCpuKindNumber;
        break;
      default:
        return false;
    }
    auto value = ParseValue(kind == kCpuKindSbit, tok::kEndOfLine);
    if (!value) return false;
    Enter(kind, *value, first.Text);
    return true;
  }

 private:
  bool ParseAssign(uint8_t kind, bool bitValue) {
    Tok name = lex_.Next();
    if (name.Kind != TokKind::Name) return false;
    Tok eq = lex_.Next();
    if (eq.Kind != TokKind::Punct || eq.Punct != '=') return false;
    auto value = ParseValue(bitValue, tok::kEndOfLine);
    if (!value) return false;
    Enter(kind, *value, name.Text);
    return true;
  }

  // [memory class and type words...] name ["[" value "]"] [_AT_ value]
  bool ParseDeclaration(Tok t) {
    if (t.Kind != TokKind::Name) return false;
    DefWord w = LookupDefWord(t.Text);
    int space = MemorySpaceOf(w);
    uint8_t kind = space >= 0 ? static_cast<uint8_t>(0x40 + space) : 0;
    if (space < 0 && !IsTypeWord(w) && w != DefWord::Using && w != DefWord::Unsigned) return false;
    DefWord typeWord = DefWord::None;
    bool isUnsigned = false;
    while (true) {
      if (space >= 0) {
        kind = static_cast<uint8_t>((kind & 0xF8) | space);
      } else if (IsTypeWord(w)) {
        typeWord = w;
      } else if (w == DefWord::Unsigned) {
        isUnsigned = true;
      } else if (w != DefWord::Using) {
        return false;
      }
      Tok next = lex_.Peek();
      if (next.Kind != TokKind::Name || LookupDefWord(next.Text) == DefWord::None ||
          LookupDefWord(next.Text) == DefWord::At)
        break;
      lex_.Next();
      w = LookupDefWord(next.Text);
      space = MemorySpaceOf(w);
    }
    if (typeWord != DefWord::None)
      kind = static_cast<uint8_t>((kind & 0x0F) | (TypeNibble(typeWord, isUnsigned) << 4));
    Tok name = lex_.Next();
    if (name.Kind != TokKind::Name) return false;
    std::string entryName = name.Text.substr(0, kCpuEntryNameMax);
    // The value read last is the entry's: the array size, replaced by the
    // address after _AT_; a missing "]" or _AT_ ends the statement there.
    uint16_t value = 0;
    Tok t2 = lex_.Next();
    if (t2.Kind == TokKind::Punct && t2.Punct == '[') {
      const ScannerState afterBracket = Scanner();
      auto size = ParseValue(false, tok::kRBracket);
      if (!size) {
        Scanner() = afterBracket;
        size = ParseValue(false, tok::kEndOfLine);
        if (!size) return false;
      }
      value = *size;
      t2 = lex_.Next();
    }
    if (t2.Kind == TokKind::Name && LookupDefWord(t2.Text) == DefWord::At) {
      auto at = ParseValue(false, tok::kEndOfLine);
      if (!at) return false;
      value = *at;
    } else if (t2.Kind != TokKind::End) {
      return false;
    }
    if (auto existing = record_.Find(entryName)) {
      record_.SetKind(*existing, kind);
      return true;
    }
    record_.Add(kind, value, entryName);
    return true;
  }

  // A value up to EndToken (consumed): a number or a name defined before,
  // with an optional bit selector (".n" or "^n") when BitValue; else a number
  // expression of the evaluator. Nullopt unless it is a whole 16-bit value.
  std::optional<uint16_t> ParseValue(bool bitValue, uint8_t endToken) {
    const ScannerState start = Scanner();
    bool selected = false;
    if (auto value = ParseSelected(bitValue, endToken, selected)) return value;
    if (selected) return std::nullopt;  // a bit selector on a byte without bits
    Scanner() = start;
    Messages().ErrorFlag = false;
    const long double v = Expression(endToken);
    if (Messages().ErrorFlag || !(v >= 0 && v <= 0xFFFF) ||
        v != static_cast<long double>(static_cast<int64_t>(v)))
      return std::nullopt;
    return static_cast<uint16_t>(v);
  }

  // Selected is set when a bit selector was read: its value is then final.
  std::optional<uint16_t> ParseSelected(bool bitValue, uint8_t endToken, bool& selected) {
    Tok t = lex_.Next();
    int64_t value;
    if (t.Kind == TokKind::Number) {
      value = t.Value;
    } else if (t.Kind == TokKind::Name) {
      auto at = record_.Find(t.Text.substr(0, kCpuEntryNameMax));
      if (!at) return std::nullopt;
      value = record_.At(*at).Value;
    } else {
      return std::nullopt;
    }
    ScannerState& s = Scanner();
    if (bitValue && (s.ScanChar == '.' || s.ScanChar == '^')) {
      selected = true;
      const char digit = NextChar();
      const char after = NextChar();
      if (digit < '0' || digit > '7' || IsIdentChar(after) || value < 0 || value > 0xFF ||
          !IsBitAddressable(kValueSpaceData, static_cast<uint32_t>(value)))
        return std::nullopt;
      // Bytes 20H..2FH hold bit addresses 0..7FH; an SFR's bits follow its address.
      const int64_t bit = digit - '0';
      value = value < 0x80 ? (value - 0x20) * 8 + bit : value + bit;
    }
    Tok end = lex_.Next();
    const bool atEnd = endToken == tok::kRBracket ? end.Kind == TokKind::Punct && end.Punct == ']'
                                                  : end.Kind == TokKind::End;
    if (!atEnd || value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(value);
  }

  void Enter(uint8_t kind, uint16_t value, std::string_view name) {
    std::string_view cut = name.substr(0, kCpuEntryNameMax);
    if (record_.Find(cut)) return;
    record_.Add(kind, value, cut);
  }

  DefLexer lex_;
  RecordBuilder& record_;
};

// #DEFINE name value: a number entry; a define that does not parse is skipped.
void ParseDefine(std::string_view line, RecordBuilder& record) {
  std::string text = TrimBlanks(line.substr(1));
  constexpr std::string_view kDefine = "DEFINE";
  if (text.compare(0, kDefine.size(), kDefine) != 0 || text.size() == kDefine.size() ||
      static_cast<unsigned char>(text[kDefine.size()]) > ' ')
    return;
  text = TrimBlanks(std::string_view(text).substr(kDefine.size()));
  size_t nameEnd = 0;
  while (nameEnd < text.size() && IsIdentChar(text[nameEnd])) ++nameEnd;
  if (nameEnd == 0 || !IsIdentStart(text[0])) return;
  StatementParser(text.substr(0, nameEnd) + " EQU " + text.substr(nameEnd), record).Parse();
}

}  // namespace

std::optional<std::vector<uint8_t>> CompileCpuRecord(std::string_view cpuName,
                                                     const std::vector<std::string>& lines,
                                                     std::string_view fileName) {
  RecordBuilder record;
  // The number of the first line that does not parse, 0 when all do.
  auto compile = [&]() -> size_t {
    DefinitionScope scope;
    std::string statement;  // text gathered up to its ";"
    size_t statementLine = 0;
    bool inComment = false;
    for (size_t i = 0; i < lines.size(); ++i) {
      size_t lineNo = i + 1;
      std::string line = TrimBlanks(UpperCase(lines[i]));
      std::replace(line.begin(), line.end(), '\t', ' ');
      // Comments: "/* ... */" may run over lines, "//" runs to the end of the line.
      std::string text;
      for (size_t p = 0; p < line.size();) {
        if (inComment) {
          size_t close = line.find("*/", p);
          if (close == std::string::npos) {
            p = line.size();
          } else {
            inComment = false;
            p = close + 2;
          }
          continue;
        }
        if (line.compare(p, 2, "/*") == 0) {
          inComment = true;
          p += 2;
        } else if (line.compare(p, 2, "//") == 0) {
          break;
        } else {
          text += line[p++];
        }
      }
      text = TrimBlanks(text);
      if (text.empty()) continue;
      if (statement.empty()) {
        if (text[0] == '$') continue;
        if (text[0] == '#') {
          ParseDefine(text, record);
          continue;
        }
        if (text[0] == '/') return lineNo;
        statementLine = lineNo;
      }
      statement += ' ';
      statement += text;
      // Every ";" ends a statement; the text after the last one goes on.
      size_t semi;
      while ((semi = statement.find(';')) != std::string::npos) {
        StatementParser parser(std::string_view(statement).substr(0, semi), record);
        if (!parser.Parse()) return statementLine;
        statement.erase(0, semi + 1);
        statementLine = lineNo;
        if (TrimBlanks(statement).empty()) statement.clear();
      }
    }
    return TrimBlanks(statement).empty() ? 0 : statementLine;
  };
  if (size_t badLine = compile()) {
    ReportError(err::kLineInMacroFileBad, std::to_string(badLine), fileName);
    return std::nullopt;
  }
  return record.Bytes(cpuName);
}

bool CompileCpuDefinition(std::string_view cpuName, std::string_view definitionFile,
                          const CpuReplaceQuestion& askReplace) {
  std::string name = UpperCase(TrimBlanks(cpuName)).substr(0, kCpuNameMax);
  std::string defFile(definitionFile);
  if (name.empty() || name.size() > 255) {
    ReportError(err::kBadCpuCode);
    return false;
  }
  const std::optional<bool> exists = HasCpuRecord(name);
  if (!exists) return false;
  if (*exists) {
    int answer = askReplace ? askReplace(name) : ReportWarning(warn::kCpuTypeAlreadyExists, name);
    if (!IsYes(answer)) return false;
  }

  std::ifstream in(defFile);
  if (!in) {
    ReportError(err::kCannotOpenFile, defFile);
    return false;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  if (in.bad()) {
    ReportError(err::kErrorReadingFile, defFile);
    return false;
  }
  auto record = CompileCpuRecord(name, lines, defFile);
  return record && StoreCpuRecord(name, *record);
}

TSelCPUDlg& SelCPUDlg() {
  return CurrentSession().Get<TSelCPUDlg>();
}

void TSelCPUDlg::DialogCreate() {
  Caption = "Select chip type";
  OkCaption = "OK";
  CancelCaption = "Cancel";
}

void TSelCPUDlg::FillCpuList() {
  CpuList = CpuDb().CpuList;
  auto at = std::find(CpuList.begin(), CpuList.end(), CpuDb().CpuName);
  ItemIndex = at == CpuList.end() ? -1 : static_cast<int32_t>(at - CpuList.begin());
}

bool TSelCPUDlg::btnOtherClick() {
  auto& dlg = Dialogs().InputDialog2;
  dlg.Caption = "New CPU Type";
  dlg.lblName = "CPU designation";
  dlg.lblValue = "CPU definition file";
  dlg.comboName.Tag = 20;
  dlg.ComboValue.Tag = 21;
  // The definition file may be browsed for; the shared dialog hides Browse again.
  dlg.BrowseVisible = true;
  const int result = dlg.ShowModal();
  dlg.BrowseVisible = false;
  if (result != kModalOk) return false;
  BeginBusy();
  bool ok = CompileCpuDefinition(dlg.comboName.Text, TrimBlanks(dlg.ComboValue.Text));
  EndBusy();
  if (ok) FillCpuList();
  return ok;
}

}  // namespace dorvik
