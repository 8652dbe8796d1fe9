#include "core/cpudb.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/dialogs.h"
#include "core/keywords.h"
#include "core/messages.h"
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
constexpr int kAnswerYes = 6;

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

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

bool ReadWholeFile(const std::string& fileName, std::vector<uint8_t>& bytes) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Writes through a .TMP copy that then replaces the file.
bool WriteWholeFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::string tmp = fileName + ".TMP";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(tmp, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, fileName, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
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
  db.BufferPresent = ReadWholeFile(db.CpuDefFileName, db.CpuDefBuffer);
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

bool IsIdentStartChar(char c) {
  return (c >= 'A' && c <= 'Z') || c == '?' || c == '_';
}
bool IsIdentChar(char c) {
  return IsIdentStartChar(c) || (c >= '0' && c <= '9');
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// A number word: C-style 0x..., or digits with an optional radix letter
// (H 16, T 10, O 8, Y 2); without a letter the radix is hexadecimal.
std::optional<int64_t> NumberValue(std::string_view word) {
  int radix = 16;
  if (word.size() >= 3 && word[0] == '0' && word[1] == 'X') {
    word.remove_prefix(2);
  } else if (!word.empty()) {
    switch (word.back()) {
      case 'H':
        radix = 16;
        word.remove_suffix(1);
        break;
      case 'T':
        radix = 10;
        word.remove_suffix(1);
        break;
      case 'O':
        radix = 8;
        word.remove_suffix(1);
        break;
      case 'Y':
        radix = 2;
        word.remove_suffix(1);
        break;
      default:
        break;
    }
  }
  if (word.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : word) {
    int d = DigitValue(c);
    if (d >= radix) return std::nullopt;
    value = value * radix + d;
    if (value > 0xFFFFFFFFLL) return std::nullopt;
  }
  return value;
}

class DefLexer {
 public:
  explicit DefLexer(std::string_view text) : text_(text) {}

  Tok Next() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    Tok t;
    if (pos_ >= text_.size()) return t;
    char c = text_[pos_];
    if (IsIdentChar(c)) {
      size_t start = pos_;
      while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
      t.Text = std::string(text_.substr(start, pos_ - start));
      if (IsIdentStartChar(c)) {
        t.Kind = TokKind::Name;
      } else if (auto v = NumberValue(t.Text)) {
        t.Kind = TokKind::Number;
        t.Value = *v;
      } else {
        t.Kind = TokKind::Bad;
      }
      return t;
    }
    ++pos_;
    t.Kind =
        std::string_view("=[]^.+-*/()").find(c) != std::string_view::npos ? TokKind::Punct : TokKind::Bad;
    t.Punct = c;
    t.Text = std::string(1, c);
    return t;
  }

  Tok Peek() {
    size_t saved = pos_;
    Tok t = Next();
    pos_ = saved;
    return t;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsBitAddressableByte(int64_t addr) {
  return (addr >= 0x20 && addr <= 0x2F) || (addr >= 0x80 && addr <= 0xFF && (addr & 7) == 0);
}

// The record being compiled: its entries so far.
class RecordBuilder {
 public:
  std::optional<size_t> Find(std::string_view name) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].Name == name) return i;
    return std::nullopt;
  }
  const tCpuDefEntry& At(size_t i) const { return entries_[i]; }
  tCpuDefEntry& At(size_t i) { return entries_[i]; }
  void Add(uint8_t kind, uint16_t value, std::string_view name) {
    entries_.push_back({kind, value, std::string(name.substr(0, kCpuEntryNameMax))});
  }
  std::vector<uint8_t> Bytes(std::string_view cpuName) const {
    std::vector<uint8_t> out;
    AppendShortString(out, cpuName);
    for (const auto& e : entries_) {
      out.push_back(e.Kind);
      out.push_back(static_cast<uint8_t>(e.Value & 0xFF));
      out.push_back(static_cast<uint8_t>(e.Value >> 8));
      AppendShortString(out, e.Name);
    }
    out.push_back(kCpuRecordEnd);
    return out;
  }

 private:
  std::vector<tCpuDefEntry> entries_;
};

class StatementParser {
 public:
  StatementParser(std::string_view text, RecordBuilder& record) : lex_(text), record_(record) {}

  // One statement (the text before its ";"); false when it does not parse.
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
    auto value = ParseValue(kind == kCpuKindSbit);
    if (!value || lex_.Next().Kind != TokKind::End) return false;
    Enter(kind, *value, first.Text);
    return true;
  }

 private:
  bool ParseAssign(uint8_t kind, bool bitValue) {
    Tok name = lex_.Next();
    if (name.Kind != TokKind::Name) return false;
    Tok eq = lex_.Next();
    if (eq.Kind != TokKind::Punct || eq.Punct != '=') return false;
    auto value = ParseValue(bitValue);
    if (!value || lex_.Next().Kind != TokKind::End) return false;
    Enter(kind, *value, name.Text);
    return true;
  }

  // [memory class and type words...] name ["[" value "]"] _AT_ value
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
    Tok t2 = lex_.Next();
    if (t2.Kind == TokKind::Punct && t2.Punct == '[') {
      if (!ParseValue(false)) return false;
      Tok close = lex_.Next();
      if (close.Kind != TokKind::Punct || close.Punct != ']') return ReplaceKindOnly(entryName, kind);
      t2 = lex_.Next();
    }
    if (t2.Kind != TokKind::Name || LookupDefWord(t2.Text) != DefWord::At) {
      // Without an address only the type of a name already defined can change.
      return t2.Kind == TokKind::End && ReplaceKindOnly(entryName, kind);
    }
    auto value = ParseValue(false);
    if (!value || lex_.Next().Kind != TokKind::End) return false;
    if (auto existing = record_.Find(entryName)) {
      record_.At(*existing).Kind = kind;
      return true;
    }
    record_.Add(kind, *value, entryName);
    return true;
  }

  bool ReplaceKindOnly(const std::string& name, uint8_t kind) {
    auto existing = record_.Find(name);
    if (!existing) return false;
    record_.At(*existing).Kind = kind;
    return true;
  }

  // product {("+" | "-") product}, the result a 16-bit value.
  std::optional<uint16_t> ParseValue(bool bitValue) {
    auto value = ParseProduct(bitValue);
    while (value) {
      Tok op = lex_.Peek();
      if (op.Kind != TokKind::Punct || (op.Punct != '+' && op.Punct != '-')) break;
      lex_.Next();
      auto rhs = ParseProduct(false);
      if (!rhs) return std::nullopt;
      value = Checked(op.Punct == '+' ? *value + *rhs : *value - *rhs);
    }
    if (!value || *value < 0 || *value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(*value);
  }

  // term {("*" | "/") term}
  std::optional<int64_t> ParseProduct(bool bitValue) {
    auto value = ParseTerm(bitValue);
    while (value) {
      Tok op = lex_.Peek();
      if (op.Kind != TokKind::Punct || (op.Punct != '*' && op.Punct != '/')) break;
      lex_.Next();
      auto rhs = ParseTerm(false);
      if (!rhs || (op.Punct == '/' && *rhs == 0)) return std::nullopt;
      if (op.Punct == '/') {
        value = *value / *rhs;
      } else if (*value != 0 && std::llabs(*rhs) > 0xFFFFFFFFLL / std::llabs(*value)) {
        return std::nullopt;
      } else {
        value = *value * *rhs;
      }
    }
    return value;
  }

  // Intermediate results stay within 32 bits, so no step can overflow.
  static std::optional<int64_t> Checked(int64_t v) {
    if (v < -0xFFFFFFFFLL || v > 0xFFFFFFFFLL) return std::nullopt;
    return v;
  }

  // A number or a name defined before, optionally with a bit selector (".n" or "^n").
  std::optional<int64_t> ParseTerm(bool bitValue) {
    Tok t = lex_.Next();
    int64_t value;
    if (t.Kind == TokKind::Number) {
      value = t.Value;
    } else if (t.Kind == TokKind::Punct && t.Punct == '(') {
      auto inner = ParseValue(false);
      Tok close = lex_.Next();
      if (!inner || close.Kind != TokKind::Punct || close.Punct != ')') return std::nullopt;
      value = *inner;
    } else if (t.Kind == TokKind::Name) {
      auto at = record_.Find(t.Text.substr(0, kCpuEntryNameMax));
      if (!at) return std::nullopt;
      value = record_.At(*at).Value;
    } else {
      return std::nullopt;
    }
    Tok sel = lex_.Peek();
    if (bitValue && sel.Kind == TokKind::Punct && (sel.Punct == '.' || sel.Punct == '^')) {
      lex_.Next();
      Tok bit = lex_.Next();
      if (bit.Kind != TokKind::Number || bit.Text.size() != 1 || bit.Value > 7) return std::nullopt;
      if (!IsBitAddressableByte(value)) return std::nullopt;
      // Bytes 20H..2FH hold bit addresses 0..7FH; an SFR's bits follow its address.
      value = value < 0x80 ? (value - 0x20) * 8 + bit.Value : value + bit.Value;
    }
    return value;
  }

  void Enter(uint8_t kind, uint16_t value, std::string_view name) {
    std::string_view cut = name.substr(0, kCpuEntryNameMax);
    if (record_.Find(cut)) return;
    record_.Add(kind, value, cut);
  }

  DefLexer lex_;
  RecordBuilder& record_;
};

std::string TrimText(std::string_view s) {
  size_t first = 0;
  while (first < s.size() && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  size_t last = s.size();
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
  return std::string(s.substr(first, last - first));
}

// #DEFINE name value: a number entry; a define that does not parse is skipped.
void ParseDefine(std::string_view line, RecordBuilder& record) {
  DefLexer lex(line.substr(1));
  Tok directive = lex.Next();
  if (directive.Kind != TokKind::Name || directive.Text != "DEFINE") return;
  Tok name = lex.Next();
  if (name.Kind != TokKind::Name) return;
  size_t rest = line.find(name.Text, line.find("DEFINE") + 6) + name.Text.size();
  std::string statement = name.Text + " EQU" + std::string(line.substr(rest));
  StatementParser(statement, record).Parse();
}

}  // namespace

std::optional<std::vector<uint8_t>> CompileCpuRecord(std::string_view cpuName,
                                                     const std::vector<std::string>& lines,
                                                     std::string_view fileName) {
  RecordBuilder record;
  std::string statement;  // text gathered up to its ";"
  size_t statementLine = 0;
  bool inComment = false;
  auto fail = [&](size_t lineNo) -> std::optional<std::vector<uint8_t>> {
    ReportError(kErrLineBad, std::to_string(lineNo), fileName);
    return std::nullopt;
  };

  for (size_t i = 0; i < lines.size(); ++i) {
    size_t lineNo = i + 1;
    std::string line = TrimText(UpperCase(lines[i]));
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
    text = TrimText(text);
    if (text.empty()) continue;
    if (statement.empty()) {
      if (text[0] == '$') continue;
      if (text[0] == '#') {
        ParseDefine(text, record);
        continue;
      }
      if (text[0] == '/') return fail(lineNo);
      statementLine = lineNo;
    }
    statement += ' ';
    statement += text;
    // Every ";" ends a statement; the text after the last one goes on.
    size_t semi;
    while ((semi = statement.find(';')) != std::string::npos) {
      StatementParser parser(std::string_view(statement).substr(0, semi), record);
      if (!parser.Parse()) return fail(statementLine);
      statement.erase(0, semi + 1);
      statementLine = lineNo;
      if (TrimText(statement).empty()) statement.clear();
    }
  }
  if (!TrimText(statement).empty()) return fail(statementLine);
  return record.Bytes(cpuName);
}

bool CompileCpuDefinition(std::string_view cpuName, std::string_view definitionFile,
                          const CpuReplaceQuestion& askReplace) {
  auto& db = g_cpudb;
  std::string name = UpperCase(TrimText(cpuName)).substr(0, kCpuNameMax);
  std::string defFile(definitionFile);
  if (name.empty() || name.size() > 255) {
    ReportError(kErrBadCpu);
    return false;
  }
  // An unread database that exists on disk is never overwritten by one record.
  std::error_code ec;
  if (!db.BufferPresent && std::filesystem::exists(db.CpuDefFileName, ec)) {
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
    if (answer != kAnswerYes) return false;
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
  if (!WriteWholeFile(db.CpuDefFileName, rebuilt)) {
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
  bool ok = CompileCpuDefinition(dlg.comboName.Text, TrimText(dlg.ComboValue.Text));
  EndBusy();
  if (ok) FillCpuList();
  return ok;
}

}  // namespace dorvik
