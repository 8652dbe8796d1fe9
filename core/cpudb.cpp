#include "core/cpudb.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/collections.h"
#include "core/dialogs.h"
#include "core/evaluator.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/scanner.h"
#include "core/symbols.h"
#include "platform/files.h"
#include "workbench/mainform.h"

namespace dorvik {

namespace {

CpuDbState g_cpudb;
TSelCPUDlg g_selCpuDlg;

constexpr int kErrBadCpu = 130;
constexpr int kErrNoDatabase = 159;
constexpr int kErrNotDatabase = 160;
constexpr int kErrCorrupted = 300;
constexpr int kErrCannotOpen = 402;
constexpr int kErrReading = 403;
constexpr int kErrWriting = 404;
constexpr int kErrLineBad = 154;
constexpr int kWarnCpuExists = 58;

// Walking the raw bytes of a database or an entry list; every step is checked
// against the end, so a truncated or damaged file is reported, never overrun.

// Offset after the entry at Pos, nullopt when it runs past Size.
std::optional<size_t> EntryEnd(const std::vector<uint8_t>& bytes, size_t pos) {
  if (pos + 4 > bytes.size()) return std::nullopt;
  size_t end = pos + 4 + bytes[pos + 3];
  if (end > bytes.size()) return std::nullopt;
  return end;
}

struct RecordSpan {
  std::string Name;
  size_t Start = 0;    // the name's length byte
  size_t Entries = 0;  // the first entry
  size_t End = 0;      // after the FFH byte
};

// The record at Pos, nullopt when it runs past the end of the bytes.
std::optional<RecordSpan> RecordAt(const std::vector<uint8_t>& bytes, size_t pos) {
  if (pos >= bytes.size()) return std::nullopt;
  RecordSpan r;
  r.Start = pos;
  size_t nameEnd = pos + 1 + bytes[pos];
  if (nameEnd > bytes.size()) return std::nullopt;
  r.Name.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 1),
                bytes.begin() + static_cast<std::ptrdiff_t>(nameEnd));
  r.Entries = nameEnd;
  size_t p = nameEnd;
  while (p < bytes.size() && bytes[p] != kCpuRecordEnd) {
    auto next = EntryEnd(bytes, p);
    if (!next) return std::nullopt;
    p = *next;
  }
  if (p >= bytes.size()) return std::nullopt;
  r.End = p + 1;
  return r;
}

// Every record of the bytes, nullopt when one of them is damaged.
std::optional<std::vector<RecordSpan>> AllRecords(const std::vector<uint8_t>& bytes) {
  std::vector<RecordSpan> records;
  size_t pos = 0;
  while (pos < bytes.size()) {
    auto r = RecordAt(bytes, pos);
    if (!r) return std::nullopt;
    pos = r->End;
    records.push_back(std::move(*r));
  }
  return records;
}

tCpuDefEntry DecodeEntry(const std::vector<uint8_t>& bytes, size_t pos) {
  tCpuDefEntry e;
  e.Kind = bytes[pos];
  e.Value = static_cast<uint16_t>(bytes[pos + 1] | (bytes[pos + 2] << 8));
  e.Name.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                bytes.begin() + static_cast<std::ptrdiff_t>(pos + 4 + bytes[pos + 3]));
  return e;
}

void AppendShortString(std::vector<uint8_t>& out, std::string_view s) {
  out.push_back(static_cast<uint8_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

void RebuildPortMenus() {
  auto& db = g_cpudb;
  db.ProcessorPorts.reset();
  db.MainPortMenu.clear();
  db.PortFormMenu.clear();
  for (size_t n = 0; n <= kMaxPortNumber; ++n) {
    std::string digit = std::to_string(n);
    std::string portName = std::string(1, 'P').append(digit);
    auto at = FindCpuEntry(kCpuEntriesStart, portName);
    if (!at) continue;
    db.ProcessorPorts.set(n);
    CpuPortMenuItem item;
    item.Port = static_cast<int32_t>(n);
    item.Caption = std::string("Port ").append(digit);
    item.ComponentName = std::string("Port").append(digit).append("1");
    item.Tag = CpuEntryAt(*at)->Value;
    db.MainPortMenu.push_back(item);
    item.Checked = n < 4;
    db.PortFormMenu.push_back(item);
  }
}

// The whole file as bytes; false (and no pending file result) when it cannot be read.
bool ReadDatabaseFile(const std::string& fileName, std::vector<uint8_t>& bytes) {
  std::string content;
  if (!platform::ReadWholeFile(fileName, content)) {
    platform::TakeIOResult();
    return false;
  }
  bytes.assign(content.begin(), content.end());
  return true;
}

// Replaces the file through a .TMP copy; false (and no pending file result) on failure.
bool WriteDatabaseFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (platform::WriteFileReplacing(fileName, content)) return true;
  platform::TakeIOResult();
  return false;
}

}  // namespace

CpuDbState& CpuDb() {
  return g_cpudb;
}

void ResetCpuDb() {
  g_cpudb = CpuDbState{};
  g_selCpuDlg = TSelCPUDlg{};
}

std::string CpuDatabaseNameFor(std::string_view programPath) {
  return std::filesystem::path(programPath).replace_extension(".qpf").string();
}

bool ReadCpuDatabase(std::string_view fileName) {
  auto& db = g_cpudb;
  db.CpuDefFileName = std::string(fileName);
  db.CpuDefBuffer.clear();
  db.BufferPresent = ReadDatabaseFile(db.CpuDefFileName, db.CpuDefBuffer);
  if (!db.BufferPresent) db.CpuDefBuffer.clear();
  db.CpuDefCursor = 0;
  db.CpuList = CpuRecordNames();
  return db.BufferPresent;
}

void SetCpuDatabase(std::vector<uint8_t> bytes, std::string_view fileName) {
  auto& db = g_cpudb;
  db.CpuDefFileName = std::string(fileName);
  db.CpuDefBuffer = std::move(bytes);
  db.BufferPresent = true;
  db.CpuDefCursor = 0;
  db.CpuList = CpuRecordNames();
}

std::vector<std::string> CpuRecordNames() {
  std::vector<std::string> names;
  if (auto records = AllRecords(g_cpudb.CpuDefBuffer))
    for (auto& r : *records) names.push_back(r.Name);
  return names;
}

bool FindCpuRecord() {
  auto& db = g_cpudb;
  db.CpuDefCursor = 0;
  if (!db.BufferPresent) return false;
  const auto& bytes = db.CpuDefBuffer;
  auto first = RecordAt(bytes, 0);
  if (!first) {
    ReportError(bytes.empty() ? kErrCorrupted : kErrNotDatabase, db.CpuDefFileName);
    return false;
  }
  if (first->Name != "51") {
    ReportError(kErrCorrupted, db.CpuDefFileName);
    return false;
  }
  size_t pos = 0;
  while (true) {
    auto r = RecordAt(bytes, pos);
    if (!r) {
      ReportError(kErrNotDatabase, db.CpuDefFileName);
      return false;
    }
    if (r->Name == db.CpuName) {
      db.CpuDefCursor = pos;
      return true;
    }
    pos = r->End;
    if (pos >= bytes.size()) {
      ReportError(kErrBadCpu);
      return false;
    }
  }
}

bool LoadCpuDescription() {
  auto& db = g_cpudb;
  if (!db.BufferPresent) {
    ReportError(kErrNoDatabase, db.CpuDefFileName);
    return false;
  }
  if (!FindCpuRecord()) return false;
  auto r = RecordAt(db.CpuDefBuffer, db.CpuDefCursor);
  db.CpuDefEntries.assign(db.CpuDefBuffer.begin() + static_cast<std::ptrdiff_t>(r->Entries),
                          db.CpuDefBuffer.begin() + static_cast<std::ptrdiff_t>(r->End));
  RebuildPortMenus();
  return true;
}

bool SelectCpu(std::string_view name) {
  auto& db = g_cpudb;
  std::string old = db.CpuName;
  db.CpuName = std::string(name.substr(0, kCpuNameMax));
  if (!db.BufferPresent) {
    ReportError(kErrNoDatabase, db.CpuDefFileName);
    db.CpuName = old;
    return false;
  }
  if (!FindCpuRecord()) {
    db.CpuName = old;
    return false;
  }
  return LoadCpuDescription();
}

std::optional<tCpuDefEntry> CpuEntryAt(size_t offset) {
  const auto& entries = g_cpudb.CpuDefEntries;
  if (offset >= entries.size() || entries[offset] == kCpuRecordEnd) return std::nullopt;
  if (!EntryEnd(entries, offset)) return std::nullopt;
  return DecodeEntry(entries, offset);
}

size_t NextCpuEntry(size_t offset) {
  const auto& entries = g_cpudb.CpuDefEntries;
  if (offset >= entries.size() || entries[offset] == kCpuRecordEnd) return entries.size();
  return EntryEnd(entries, offset).value_or(entries.size());
}

std::optional<size_t> FindCpuEntry(size_t start, std::string_view name) {
  std::string wanted = UpperCase(name);
  const auto& entries = g_cpudb.CpuDefEntries;
  for (size_t p = start; p < entries.size() && entries[p] != kCpuRecordEnd; p = NextCpuEntry(p)) {
    auto end = EntryEnd(entries, p);
    if (!end) break;
    std::string_view entryName(reinterpret_cast<const char*>(entries.data()) + p + 4, entries[p + 3]);
    if (entryName == wanted) return p;
  }
  return std::nullopt;
}

std::optional<size_t> FindCpuEntryByValue(uint16_t value, uint8_t kind) {
  const auto& entries = g_cpudb.CpuDefEntries;
  for (size_t p = kCpuEntriesStart; p < entries.size() && entries[p] != kCpuRecordEnd; p = NextCpuEntry(p)) {
    auto e = CpuEntryAt(p);
    if (!e) break;
    if ((kind == 255 || (e->Kind & 7) == kind) && e->Value == value) return p;
  }
  return std::nullopt;
}

bool IsCpuPredefinedName(std::string_view word) {
  return FindCpuEntry(kCpuEntriesStart, word).has_value();
}

std::optional<tCpuDefEntry> FindCpuEntryByName(std::string_view name) {
  auto at = FindCpuEntry(kCpuEntriesStart, name);
  if (!at) return std::nullopt;
  return CpuEntryAt(*at);
}

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
    const ScannerState saved = Scanner();
    const bool errorBefore = Messages().ErrorFlag;
    Tok t = Next();
    Scanner() = saved;
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
    g_cpudb.CpuDefEntries.clear();
    AppendEntries(g_cpudb.CpuDefEntries);
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
  DefinitionScope()
      : scanner_(Scanner()),
        evaluator_(Evaluator()),
        lookup_(SymbolLookup()),
        messages_(Messages()),
        collections_(std::move(Collections())),
        entries_(std::move(g_cpudb.CpuDefEntries)) {
    Collections() = CollectionsState{};
    g_cpudb.CpuDefEntries.assign(1, kCpuRecordEnd);
    ScannerState& s = Scanner();
    s.ExactKeywordsOnly = true;
    s.CStyleNumbers = true;
    s.Disassembling = true;
    SuspendMessages();
  }
  ~DefinitionScope() {
    Scanner() = scanner_;
    Evaluator() = evaluator_;
    SymbolLookup() = lookup_;
    Messages() = messages_;
    Collections() = std::move(collections_);
    g_cpudb.CpuDefEntries = std::move(entries_);
  }
  DefinitionScope(const DefinitionScope&) = delete;
  DefinitionScope& operator=(const DefinitionScope&) = delete;

 private:
  ScannerState scanner_;
  EvaluatorState evaluator_;
  SymbolLookupState lookup_;
  MessageState messages_;
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
    ReportError(kErrLineBad, std::to_string(badLine), fileName);
    return std::nullopt;
  }
  return record.Bytes(cpuName);
}

bool CompileCpuDefinition(std::string_view cpuName, std::string_view definitionFile,
                          const CpuReplaceQuestion& askReplace) {
  auto& db = g_cpudb;
  std::string name = UpperCase(TrimBlanks(cpuName)).substr(0, kCpuNameMax);
  std::string defFile(definitionFile);
  if (name.empty() || name.size() > 255) {
    ReportError(kErrBadCpu);
    return false;
  }
  // An unread database that exists on disk is never overwritten by one record.
  if (!db.BufferPresent && platform::FileExists(db.CpuDefFileName)) {
    ReportError(kErrNoDatabase, db.CpuDefFileName);
    return false;
  }
  std::vector<uint8_t> base = db.BufferPresent ? db.CpuDefBuffer : std::vector<uint8_t>{};
  auto records = AllRecords(base);
  if (!records) {
    ReportError(kErrNotDatabase, db.CpuDefFileName);
    return false;
  }
  std::optional<RecordSpan> old;
  for (auto& r : *records)
    if (r.Name == name) old = r;
  if (old) {
    int answer = askReplace ? askReplace(name) : ReportWarning(kWarnCpuExists, name);
    if (!IsYes(answer)) return false;
  }

  std::ifstream in(defFile);
  if (!in) {
    ReportError(kErrCannotOpen, defFile);
    return false;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  if (in.bad()) {
    ReportError(kErrReading, defFile);
    return false;
  }
  auto record = CompileCpuRecord(name, lines, defFile);
  if (!record) return false;

  // The new record goes last; a replaced "51" keeps its place as the first record.
  std::vector<uint8_t> rebuilt;
  if (old && old->Start == 0) {
    rebuilt = *record;
    rebuilt.insert(rebuilt.end(), base.begin() + static_cast<std::ptrdiff_t>(old->End), base.end());
  } else {
    rebuilt = base;
    if (old)
      rebuilt.erase(rebuilt.begin() + static_cast<std::ptrdiff_t>(old->Start),
                    rebuilt.begin() + static_cast<std::ptrdiff_t>(old->End));
    rebuilt.insert(rebuilt.end(), record->begin(), record->end());
  }
  if (!WriteDatabaseFile(db.CpuDefFileName, rebuilt)) {
    ReportError(kErrWriting, db.CpuDefFileName);
    return false;
  }
  db.CpuDefBuffer = std::move(rebuilt);
  db.BufferPresent = true;
  db.CpuList = CpuRecordNames();
  // Until a "51" record exists the database is not complete; the name is selected later.
  if (db.CpuList.empty() || db.CpuList.front() != "51") return true;
  db.CpuName = name;
  return LoadCpuDescription();
}

TSelCPUDlg& SelCPUDlg() {
  return g_selCpuDlg;
}

void TSelCPUDlg::DialogCreate() {
  Caption = "Select chip type";
  OkCaption = "OK";
  CancelCaption = "Cancel";
}

void TSelCPUDlg::FillCpuList() {
  CpuList = g_cpudb.CpuList;
  auto at = std::find(CpuList.begin(), CpuList.end(), g_cpudb.CpuName);
  ItemIndex = at == CpuList.end() ? -1 : static_cast<int32_t>(at - CpuList.begin());
}

bool TSelCPUDlg::btnOtherClick() {
  auto& dlg = Dialogs().InputDialog2;
  dlg.Caption = "New CPU Type";
  dlg.lblName = "CPU designation";
  dlg.lblValue = "CPU definition file";
  dlg.comboName.Tag = 20;
  dlg.ComboValue.Tag = 21;
  if (dlg.ShowModal() != kModalOk) return false;
  BeginBusy();
  bool ok = CompileCpuDefinition(dlg.comboName.Text, TrimBlanks(dlg.ComboValue.Text));
  EndBusy();
  if (ok) FillCpuList();
  return ok;
}

}  // namespace dorvik
