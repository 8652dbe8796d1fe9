#include "objfiles/listmap.h"

#include <algorithm>
#include <filesystem>

#include "base/runstate.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "base/userseam.h"
#include "lang/collections.h"
#include "lang/keywords.h"
#include "lang/symbols.h"
#include "platform/files.h"
#include "platform/text.h"

namespace dorvik {

namespace {

// Keyword tokens of the instruction mnemonics, ACALL .. XRL.
constexpr uint8_t kFirstMnemonicToken = 208;
constexpr uint8_t kLastMnemonicToken = 251;

constexpr std::array<std::string_view, 25> kDirectiveWords = {
    "SET",  "BIT",  "ORG", "PUBLIC", "CODE", "XDATA",    "IDATA", "DATA",    "C",    "DB",   "DBIT", "DW",  "DS",
    "END",  "EQU",  "EXTRN", "NAME", "UNSIGNED", "CSEG", "SEGMENT", "XSEG", "DSEG", "ISEG", "BSEG", "RSEG"};

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '?' ||
         c == '@';
}

bool IsMnemonic(std::string_view word) {
  for (const auto& row : KeywordTable) {
    if (row.Name == word) return row.Token >= kFirstMnemonicToken && row.Token <= kLastMnemonicToken;
  }
  return false;
}

bool IsDirective(std::string_view word) {
  return std::find(kDirectiveWords.begin(), kDirectiveWords.end(), word) != kDirectiveWords.end();
}

// The word starting at Pos (blanks before it skipped); Pos moves past it.
std::string_view WordAt(std::string_view text, size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  const size_t start = pos;
  while (pos < text.size() && IsWordChar(text[pos])) ++pos;
  return text.substr(start, pos - start);
}

std::string FromColumn(const std::string& line, size_t column) {
  return column < line.size() ? line.substr(column) : std::string();
}

// A line that counts as a statement of the context; looking backwards a
// control line counts too, as the text from its "$" up to its last ")".
bool StatementText(const std::string& line, size_t column, bool backwards, std::string& text) {
  const std::string raw = FromColumn(line, column);
  const std::string collapsed = CollapseBlanks(raw);
  const uint8_t cls = ClassifySourceLine(collapsed);
  if (cls == kLineComment || cls >= kLineLabel) {
    text = collapsed;
    return true;
  }
  if (backwards && cls == kLineControl) {
    const size_t dollar = raw.find('$');
    const size_t close = raw.rfind(')');
    text = close == std::string::npos || dollar == std::string::npos || close < dollar
               ? std::string()
               : raw.substr(dollar, close - dollar + 1);
    return true;
  }
  return false;
}

bool Blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool IsHex4(std::string_view text) {
  return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) != 255; });
}

uint32_t HexValue(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) value = value * 16 + HexDigitValue(c);
  return value;
}

// A line made of a number followed by END: the end of a listing's body.
bool IsEndLine(const std::string& line) {
  const std::string collapsed = CollapseBlanks(line);
  size_t pos = 0;
  while (pos < collapsed.size() && collapsed[pos] >= '0' && collapsed[pos] <= '9') ++pos;
  if (pos == 0 || pos >= collapsed.size() || collapsed[pos] != ' ') return false;
  ++pos;
  return WordAt(collapsed, pos) == "END";
}

bool IsColumnHeader(const std::string& line) { return UpperCase(line.substr(0, 4)) == "LOC "; }

// Past the column header of the page that begins at Index; false when the
// listing's body has ended or the lines run out first.
bool SkipToListingBody(const std::vector<std::string>& lines, size_t& index) {
  for (; index < lines.size(); ++index) {
    if (IsEndLine(lines[index])) return false;
    if (IsColumnHeader(lines[index])) {
      ++index;
      return true;
    }
  }
  return false;
}

// The line number field (columns 19-25) of a listing line, trimmed.
std::string LineNumberField(const std::string& line) {
  return line.size() > 18 ? TrimBlanks(line.substr(18, 7)) : std::string();
}

bool HasCode(const std::string& line) { return line.size() > 5 && HexDigitValue(line[5]) != 255; }

// The include level of a listing line: the "+n" before its line number.
int32_t IncludeLevel(const std::string& line) {
  if (line.size() < 18 || line[16] != '+') return 0;
  int32_t level = 0;
  for (size_t i = 17; i < line.size() && i < 20 && line[i] >= '0' && line[i] <= '9'; ++i)
    level = level * 10 + (line[i] - '0');
  return level;
}

// The file an include control of a statement text names (INCLUDE(name) or
// IC(name) after its "$"), as written; empty when there is none.
std::string IncludedName(const std::string& text) {
  const size_t dollar = text.find_first_not_of(" \t");
  if (dollar == std::string::npos || text[dollar] != '$') return {};
  const std::string upper = UpperCase(text);
  for (std::string_view word : {"INCLUDE", "IC"}) {
    for (size_t at = upper.find(word, dollar); at != std::string::npos; at = upper.find(word, at + 1)) {
      const char before = upper[at - 1];
      size_t open = at + word.size();
      while (open < upper.size() && upper[open] == ' ') ++open;
      if ((before != '$' && before != ' ') || open >= upper.size() || upper[open] != '(') continue;
      const size_t close = text.find(')', open);
      if (close == std::string::npos) return {};
      return TrimBlanks(text.substr(open + 1, close - open - 1));
    }
  }
  return {};
}

// The include file of a module's source: its name relative to the source's
// folder (as the assembler reads it), matched without regard to case.
std::string IncludePath(const std::string& sourceFile, const std::string& name) {
  std::filesystem::path path(name);
  if (path.is_relative()) path = std::filesystem::path(sourceFile).parent_path() / path;
  const std::string existing = ExistingFileName(path.string());
  return existing.empty() ? path.string() : existing;
}

// A message of the mapping, shown once for the loaded program.
bool FirstReport(std::string key) {
  auto& reported = ListMap().Reported;
  if (std::find(reported.begin(), reported.end(), key) != reported.end()) return false;
  reported.push_back(std::move(key));
  return true;
}

enum class SegmentMode : uint8_t { kAbsolute, kRelocated, kOther };

// Candidates of LocateSourceLine's context search, each kept up to Occurrence hits.
struct Keeper {
  int32_t Index = -1;
  int32_t Hits = 0;
  void Hit(int32_t index, int32_t occurrence) {
    if (Hits < occurrence || Index < 0) Index = index;
    ++Hits;
  }
  bool Reached(int32_t occurrence) const { return Hits >= occurrence; }
};

int32_t SmallerOfBoth(const Keeper& a, const Keeper& b) {
  return a.Index >= 0 && b.Index >= 0 ? std::min(a.Index, b.Index) : -1;
}

}  // namespace

ListMapState& ListMap() { return CurrentSession().Get<ListMapState>(); }

std::string CollapseBlanks(std::string_view line) {
  std::string out;
  bool gap = false;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      gap = !out.empty();
      continue;
    }
    if (gap) out += ' ';
    gap = false;
    out += UpperChar(c);
  }
  return out;
}

uint8_t ClassifySourceLine(std::string_view collapsed) {
  if (collapsed.empty()) return kLineEmpty;
  size_t pos = 0;
  const std::string_view first = WordAt(collapsed, pos);
  if (!first.empty()) {
    if (IsMnemonic(first)) return kLineInstruction;
    if (IsDirective(first)) return kLineDirective;
  }
  uint8_t cls = kLineOther;
  switch (collapsed[0]) {
    case ';': return kLineComment;
    case '%':
    case '(':
    case ')': cls = kLineMacro; break;
    case '$': return kLineControl;
    default: break;
  }
  if (first.empty()) return cls;
  while (pos < collapsed.size() && collapsed[pos] == ' ') ++pos;
  if (pos < collapsed.size() && collapsed[pos] == ':') return kLineLabel;
  const std::string_view next = WordAt(collapsed, pos);
  if (next == "EQU" || next == "SET" || next == "BIT") return kLineSymbolDefinition;
  if (next == "SEGMENT") return kLineSegmentDeclaration;
  return cls;
}

std::string PrevStatementText(const std::vector<std::string>& lines, size_t column, int32_t& index) {
  std::string text;
  for (int32_t i = index - 1; i >= 0; --i) {
    if (static_cast<size_t>(i) < lines.size() && StatementText(lines[i], column, true, text)) {
      index = i;
      return text;
    }
  }
  index = -1;
  return {};
}

std::string NextStatementText(const std::vector<std::string>& lines, size_t column, int32_t& index) {
  std::string text;
  for (int32_t i = std::max(index + 1, 0); static_cast<size_t>(i) < lines.size(); ++i) {
    if (StatementText(lines[i], column, false, text)) {
      index = i;
      return text;
    }
  }
  index = static_cast<int32_t>(lines.size());
  return {};
}

tStatement StatementAt(const std::vector<std::string>& lines, size_t column, int32_t index) {
  tStatement s;
  if (index < 0 || static_cast<size_t>(index) >= lines.size()) return s;
  s.Lines[2] = CollapseBlanks(FromColumn(lines[index], column));
  int32_t at = index;
  s.Lines[1] = PrevStatementText(lines, column, at);
  s.Lines[0] = PrevStatementText(lines, column, at);
  at = index;
  s.Lines[3] = NextStatementText(lines, column, at);
  s.Lines[4] = NextStatementText(lines, column, at);
  for (int32_t i = 0; i <= index; ++i) {
    if (CollapseBlanks(FromColumn(lines[i], column)) == s.Lines[2]) ++s.Occurrence;
  }
  return s;
}

bool ListingLineNumberText(std::string_view line, std::string& text) {
  const std::string upper = UpperCase(line);
  size_t at = upper.find("LINE #");
  if (at != std::string::npos) {
    at += 6;
  } else {
    at = upper.find(" IN ");
    if (at == std::string::npos) return false;
    at += 4;
  }
  size_t end = at;
  while (end < upper.size() && upper[end] >= '0' && upper[end] <= '9') ++end;
  text = upper.substr(at, end - at);
  return !text.empty();
}

namespace {

// Walks the code lines of a listing's body: Code(index, address, base) for
// each line with code (and each label line) at a known address, base being
// the start of its relocatable segment (its address in absolute code); Code
// returns true to stop. kFound when it stopped.
ListingResult WalkListingCode(const std::vector<std::string>& lines, const SegmentStartFn& segmentStart,
                              const std::function<bool(int32_t, uint32_t, uint32_t)>& code) {
  size_t i = 0;
  if (!SkipToListingBody(lines, i)) return ListingResult::kNotFound;
  SegmentMode mode = SegmentMode::kAbsolute;
  uint32_t base = 0;
  for (; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '*') return ListingResult::kErrors;
    // A page header follows a form feed; nothing else is taken for one.
    if (line.find('\f') != std::string::npos) {
      if (!SkipToListingBody(lines, i)) return ListingResult::kNotFound;
      --i;
      continue;
    }
    if (IsEndLine(line)) return ListingResult::kNotFound;
    const std::string_view location = std::string_view(line).substr(0, std::min<size_t>(4, line.size()));
    // Comments, directives and symbol definitions leave the location column blank.
    if (Blank(location)) continue;
    if (location == "----") {
      const std::string statement = CollapseBlanks(FromColumn(line, kListingSourceColumn));
      size_t pos = 0;
      const std::string_view word = WordAt(statement, pos);
      if (!word.ends_with("SEG")) continue;
      const std::string_view rest = WordAt(statement, pos);
      if (word == "CSEG") {
        mode = SegmentMode::kAbsolute;
      } else if (word == "RSEG") {
        mode = segmentStart && segmentStart(rest, base) ? SegmentMode::kRelocated : SegmentMode::kOther;
      } else {
        mode = SegmentMode::kOther;  // data, bit and external-data segments hold no code
      }
      continue;
    }
    if (!IsHex4(location)) return ListingResult::kNotListing;
    if (!HasCode(line) &&
        ClassifySourceLine(CollapseBlanks(FromColumn(line, kListingSourceColumn))) != kLineLabel)
      continue;
    if (mode == SegmentMode::kOther) continue;
    const uint32_t at = HexValue(location);
    const uint32_t lineBase = mode == SegmentMode::kAbsolute ? at : base;
    if (code(static_cast<int32_t>(i), mode == SegmentMode::kAbsolute ? at : base + at, lineBase))
      return ListingResult::kFound;
  }
  return ListingResult::kNotFound;
}

}  // namespace

ListingResult FindListingStatement(const std::vector<std::string>& lines, uint32_t address,
                                   const SegmentStartFn& segmentStart, int32_t& index) {
  index = -1;
  const ListingResult result = WalkListingCode(lines, segmentStart, [&](int32_t i, uint32_t at, uint32_t base) {
    // A label line shares its address with the statement after it: that one is the statement.
    if (!HasCode(lines[static_cast<size_t>(i)]) || base > address || at < address) return false;
    // Bytes that did not fit on their statement's line continue on lines of their own.
    int32_t statement = i;
    while (statement > 0 && LineNumberField(lines[statement]).empty() && IsHex4(lines[statement].substr(0, 4)))
      --statement;
    index = statement;
    return true;
  });
  return result;
}

namespace {

// Per listing line: its include level and the $INCLUDE line that opened its
// file (-1: the module's own source). The lines of one file share both.
struct ListingOwners {
  std::vector<int32_t> Level;
  std::vector<int32_t> Owner;
};

ListingOwners OwnersOf(const std::vector<std::string>& lines) {
  ListingOwners o{std::vector<int32_t>(lines.size(), 0), std::vector<int32_t>(lines.size(), -1)};
  std::vector<int32_t> opener;  // per level, the last include line seen there
  for (size_t i = 0; i < lines.size(); ++i) {
    const int32_t l = IncludeLevel(lines[i]);
    o.Level[i] = l;
    if (l > 0 && static_cast<size_t>(l) <= opener.size()) o.Owner[i] = opener[static_cast<size_t>(l - 1)];
    if (!IncludedName(FromColumn(lines[i], kListingSourceColumn)).empty()) {
      opener.resize(static_cast<size_t>(l) + 1, -1);
      opener[static_cast<size_t>(l)] = static_cast<int32_t>(i);
    }
  }
  return o;
}

// The indices of the lines of the same file as line At.
std::vector<int32_t> LinesOfSameFile(const ListingOwners& o, size_t at) {
  std::vector<int32_t> indices;
  for (size_t i = 0; i < o.Level.size(); ++i)
    if (o.Level[i] == o.Level[at] && o.Owner[i] == o.Owner[at]) indices.push_back(static_cast<int32_t>(i));
  return indices;
}

std::string IncludeNameOf(const std::vector<std::string>& lines, const ListingOwners& o, size_t at) {
  const int32_t owner = o.Owner[at];
  return owner < 0 ? std::string()
                   : IncludedName(FromColumn(lines[static_cast<size_t>(owner)], kListingSourceColumn));
}

}  // namespace

ListingFilePart ListingLinesOfFile(const std::vector<std::string>& lines, int32_t index) {
  ListingFilePart part;
  if (index < 0 || static_cast<size_t>(index) >= lines.size()) return part;
  const ListingOwners owners = OwnersOf(lines);
  for (int32_t i : LinesOfSameFile(owners, static_cast<size_t>(index))) {
    if (i == index) part.Index = static_cast<int32_t>(part.Lines.size());
    part.Lines.push_back(lines[static_cast<size_t>(i)]);
  }
  part.IncludeName = IncludeNameOf(lines, owners, static_cast<size_t>(index));
  return part;
}

bool LoadedSegmentStart(std::string_view name, uint32_t& start) {
  const auto& table = Collections().SymbolTable;
  if (!table || name.empty()) return false;
  for (const auto& symbol : table->Items) {
    if ((symbol.SymClass & 0x0F) == kClassCode && UpperCase(symbol.Name) == name) {
      start = symbol.Value;
      return true;
    }
  }
  return false;
}

void FindListingEntry(std::string_view fileName, std::string_view word, int32_t& lineIndex, tStatement& statement) {
  lineIndex = -1;
  statement = {};
  std::vector<std::string> lines;
  int32_t page = -1;
  if (!ReadSourceLines(fileName, false, lines, page)) return;
  const std::string wanted = UpperCase(word);
  const bool listing =
      UpperCase(std::filesystem::path(std::string(fileName)).extension().string()) == ".LST";
  int32_t found = -1;
  for (size_t i = 0; i < lines.size() && found < 0; ++i) {
    const std::string text = listing ? UpperCase(lines[i]) : CollapseBlanks(lines[i]);
    if (text.find(wanted) != std::string::npos) found = static_cast<int32_t>(i);
  }
  if (found < 0) return;
  if (!listing) {
    lineIndex = found;
    statement = StatementAt(lines, 0, found);
    return;
  }
  std::string number;
  if (!ListingLineNumberText(lines[found], number)) return;
  const int32_t last = std::min<int32_t>(found + 1, static_cast<int32_t>(lines.size()) - 1);
  for (int32_t i = last; i >= 0; --i) {
    if (i != found && LineNumberField(lines[i]) == number) {
      lineIndex = i;
      statement = StatementAt(lines, kListingSourceColumn, i);
      return;
    }
  }
}

int32_t FindSourceLine(const tStatement& statement, const std::vector<std::string>& lines) {
  const int32_t occurrence = std::max(statement.Occurrence, 1);
  Keeper all4, b2b1a1, b1a1a2, b1a1, b2b1, a1a2, b1, a1, last;
  // One candidate: line Index with its context compared to the statement's.
  // One candidate line with its context compared to the statement's; Anchor
  // (not -1) is the line before it that holds the first-before text.
  auto weigh = [&](int32_t index, int32_t anchor) {
    int32_t at = anchor < 0 ? index : anchor;
    const bool B1 = anchor >= 0 || PrevStatementText(lines, 0, at) == statement.Lines[1];
    const bool B2 = PrevStatementText(lines, 0, at) == statement.Lines[0];
    at = index;
    const bool A1 = NextStatementText(lines, 0, at) == statement.Lines[3];
    const bool A2 = NextStatementText(lines, 0, at) == statement.Lines[4];
    last.Hit(index, occurrence);
    if (B2 && B1 && A1 && A2) {
      all4.Hit(index, occurrence);
      if (all4.Reached(occurrence)) return false;
    }
    if (B2 && B1 && A1) {
      b2b1a1.Hit(index, occurrence);
      if (b2b1a1.Reached(occurrence)) return false;
    }
    if (B1 && A1 && A2) {
      b1a1a2.Hit(index, occurrence);
      if (b1a1a2.Reached(occurrence)) return false;
    }
    if (B1 && A1) b1a1.Hit(index, occurrence);
    if (B1 && B2) b2b1.Hit(index, occurrence);
    if (A1 && A2) a1a2.Hit(index, occurrence);
    if (B1) b1.Hit(index, occurrence);
    if (A1) a1.Hit(index, occurrence);
    return true;
  };
  const int32_t count = static_cast<int32_t>(lines.size());
  bool any = false;
  if (!statement.Lines[2].empty()) {
    std::vector<std::string> collapsed(lines.size());
    bool equal = false;
    for (int32_t i = 0; i < count; ++i) {
      collapsed[static_cast<size_t>(i)] = CollapseBlanks(lines[i]);
      equal = equal || collapsed[static_cast<size_t>(i)] == statement.Lines[2];
    }
    // The lines equal to the statement are counted as the listing counted its
    // occurrence: in an unchanged source the line of that count is the one
    // (a run of equal statements has equal neighbours too). Only when none is
    // left (an edited line) do lines that merely hold its text stand in.
    if (equal) {
      int32_t seen = 0;
      for (int32_t i = 0; i < count; ++i) {
        if (collapsed[static_cast<size_t>(i)] != statement.Lines[2] || ++seen < occurrence) continue;
        int32_t at = i;
        const bool before = PrevStatementText(lines, 0, at) == statement.Lines[1];
        at = i;
        if (before && NextStatementText(lines, 0, at) == statement.Lines[3]) return i;
        break;
      }
    }
    for (int32_t i = 0; i < count; ++i) {
      const std::string& text = collapsed[static_cast<size_t>(i)];
      if (equal ? text != statement.Lines[2] : text.find(statement.Lines[2]) == std::string::npos) continue;
      any = true;
      if (!weigh(i, -1)) break;
    }
  }
  // The statement itself was edited: the line after its first-before neighbour.
  if (!any && !statement.Lines[1].empty()) {
    for (int32_t i = 0; i + 1 < count; ++i) {
      if (CollapseBlanks(lines[i]).find(statement.Lines[1]) == std::string::npos) continue;
      if (!weigh(i + 1, i)) break;
    }
  }
  if (all4.Index >= 0) return all4.Index;
  if (const int32_t both = SmallerOfBoth(b2b1a1, b1a1a2); both >= 0) return both;
  if (b1a1.Index >= 0) return b1a1.Index;
  if (const int32_t both = SmallerOfBoth(b2b1, a1a2); both >= 0) return both;
  if (const int32_t both = SmallerOfBoth(b1, a1); both >= 0) return both;
  return last.Index;
}

int32_t LocateSourceLine(const tStatement& statement, std::string_view fileName, tShowedLine& mark,
                         uint32_t lineColor, uint32_t textColor) {
  std::vector<std::string> lines;
  int32_t page = -1;
  if (!ReadSourceLines(fileName, true, lines, page)) return -1;
  const int32_t index = FindSourceLine(statement, lines);
  if (index < 0) return -1;
  if (const auto& markLine = ListMap().MarkLine) {
    markLine(index + 1, mark, fileName, lineColor, textColor);
  } else {
    mark = {UpperCase(fileName), page, index + 1};
  }
  return index;
}

namespace {

// The assembler module whose code holds Address, and its project node.
const tModuleRec* AssemblerModuleAt(uint32_t address) {
  MessageState& m = Messages();
  const bool savedError = m.ErrorFlag;
  SuspendMessages();
  const bool procedure = Collections().SymbolTable && FindProcedureAt(address);
  const tModuleItem* module = procedure ? ModuleAt(Collections().FoundModule) : nullptr;
  const tModuleRec* node = module ? FindModuleNode(module->Name) : nullptr;
  ResumeMessages();
  m.ErrorFlag = savedError;
  if (!node) return nullptr;
  const tFileTypeRec* type = FindFileType(std::filesystem::path(node->FileName).extension().string());
  return type && type->Kind == kFileAssembler ? node : nullptr;
}

bool ReadListingOf(const tModuleRec& node, std::vector<std::string>& lines) {
  const std::string listing = ExistingFileName(platform::ChangeFileExt(node.FileName, ".LST"));
  return !listing.empty() && ReadFileLines(listing, lines);
}

}  // namespace

bool SourceLineOfAddress(uint32_t address, std::string& fileName, int32_t& line, std::string* module) {
  const tModuleRec* node = AssemblerModuleAt(address);
  std::vector<std::string> listing;
  int32_t index = -1;
  if (!node || !ReadListingOf(*node, listing) ||
      FindListingStatement(listing, address, LoadedSegmentStart, index) != ListingResult::kFound)
    return false;
  const ListingFilePart part = ListingLinesOfFile(listing, index);
  const tStatement statement = StatementAt(part.Lines, kListingSourceColumn, part.Index);
  fileName = part.IncludeName.empty() ? node->FileName : IncludePath(node->FileName, part.IncludeName);
  std::vector<std::string> lines;
  int32_t page = -1;
  if (!ReadSourceLines(fileName, false, lines, page)) return false;
  const int32_t found = FindSourceLine(statement, lines);
  line = found + 1;
  if (module) *module = node->Name;
  return found >= 0;
}

bool ListingAddressOfSourceLine(const tModuleRec& node, std::string_view fileName,
                                const std::vector<std::string>& source, int32_t index, uint16_t& address) {
  std::vector<std::string> listing;
  if (index < 0 || static_cast<size_t>(index) >= source.size() || !ReadListingOf(node, listing)) return false;
  const tStatement statement = StatementAt(source, 0, index);
  if (statement.Lines[2].empty()) return false;
  // The code lines of the listing and their addresses.
  std::vector<int32_t> addresses(listing.size(), -1);
  int32_t first = -1;  // a code line of the file
  const ListingOwners owners = OwnersOf(listing);
  const std::string file(fileName);
  const bool own = platform::SameText(node.FileName, file) || platform::SameFile(node.FileName, file);
  WalkListingCode(listing, LoadedSegmentStart, [&](int32_t i, uint32_t at, uint32_t) {
    addresses[static_cast<size_t>(i)] = static_cast<int32_t>(at & 0xFFFF);
    if (first < 0) {
      const std::string include = IncludeNameOf(listing, owners, static_cast<size_t>(i));
      if (include.empty() ? own : platform::SameFile(IncludePath(node.FileName, include), file)) first = i;
    }
    return false;
  });
  if (first < 0) return false;
  // The listing lines that came from the file, searched as the source is for a stop.
  const std::vector<int32_t> part = LinesOfSameFile(owners, static_cast<size_t>(first));
  std::vector<std::string> texts;
  for (int32_t i : part) texts.push_back(FromColumn(listing[static_cast<size_t>(i)], kListingSourceColumn));
  const int32_t found = FindSourceLine(statement, texts);
  if (found < 0 || CollapseBlanks(texts[static_cast<size_t>(found)]) != statement.Lines[2]) return false;
  const int32_t at = addresses[static_cast<size_t>(part[static_cast<size_t>(found)])];
  if (at < 0) return false;
  address = static_cast<uint16_t>(at);
  return true;
}

bool ListingStatementStaysAt(const tModuleRec& node, std::string_view fileName,
                             const std::vector<std::string>& source, int32_t index, uint16_t address) {
  if (index < 0 || static_cast<size_t>(index) >= source.size()) return false;
  const std::string listingName = ExistingFileName(platform::ChangeFileExt(node.FileName, ".LST"));
  const std::string file(fileName);
  int64_t sourceTime = 0;
  int64_t listingTime = 0;
  if (listingName.empty() || !platform::FileModifiedTime(file, sourceTime) ||
      !platform::FileModifiedTime(listingName, listingTime) || sourceTime <= listingTime)
    return false;
  std::vector<std::string> listing;
  int32_t at = -1;
  if (!ReadFileLines(listingName, listing) ||
      FindListingStatement(listing, address, LoadedSegmentStart, at) != ListingResult::kFound)
    return false;
  const ListingFilePart part = ListingLinesOfFile(listing, at);
  const std::string from = part.IncludeName.empty() ? node.FileName : IncludePath(node.FileName, part.IncludeName);
  if (!platform::SameText(from, file) && !platform::SameFile(from, file)) return false;
  const std::string statement = CollapseBlanks(FromColumn(listing[static_cast<size_t>(at)], kListingSourceColumn));
  return !statement.empty() && statement == CollapseBlanks(source[static_cast<size_t>(index)]);
}

void ClearExecLine() {
  auto& state = ListMap();
  if (state.ExecLine.Line >= 0 && state.ClearMark) state.ClearMark(state.ExecLine);
  state.ExecLine.Page = -1;
  state.ExecLine.Line = -1;
  state.ExecFileName.clear();
}

namespace {

void ShowDisassembly(bool show, uint32_t address) {
  if (!show) return;
  User().ShowDisassembly(static_cast<uint16_t>(address));
}

// A C module: the execution point from the nearest line symbol below the address.
void ShowCSource(bool show, uint32_t address, const tModuleItem& module, const tModuleRec& node) {
  auto& c = Collections();
  int32_t sym = c.FoundSymbol + 1;
  while (const tSymbolItem* s = SymbolAt(sym)) {
    if ((s->SymClass & 0x0F) == kClassLine) break;
    ++sym;
  }
  if (!SymbolAt(sym)) {
    if (show && IsYes(ReportWarning(warn::kModuleNotContainLineInformation, module.Name)))
      ShowDisassembly(show, address);
    return;
  }
  c.FoundSymbol = sym;
  if (NearestLineSymbol() == kNoDistance || !SymbolAt(c.FoundSymbol)) {
    ShowDisassembly(show, address);
    return;
  }
  const int32_t line = SymbolAt(c.FoundSymbol)->Number;
  std::vector<std::string> lines;
  int32_t page = -1;
  // A line number past the file's end marks nothing.
  if (!ReadSourceLines(node.FileName, true, lines, page) || line < 1 || line > static_cast<int32_t>(lines.size())) {
    ShowDisassembly(show, address);
    return;
  }
  auto& state = ListMap();
  if (state.MarkLine) {
    state.MarkLine(line, state.ExecLine, node.FileName, kExecPointLineColor, kExecPointTextColor);
  } else {
    state.ExecLine = {UpperCase(node.FileName), page, line};
  }
  state.ExecFileName = node.FileName;
}

void ShowAssemblerSource(bool show, uint32_t address, const tModuleRec& node, tStatement& statement) {
  const std::string listing = ExistingFileName(platform::ChangeFileExt(node.FileName, ".LST"));
  std::vector<std::string> lines;
  if (listing.empty() || !ReadFileLines(listing, lines)) {
    ShowDisassembly(show, address);
    return;
  }
  int32_t index = -1;
  switch (FindListingStatement(lines, address, LoadedSegmentStart, index)) {
    case ListingResult::kErrors:
      if (FirstReport("163 " + listing)) ReportError(err::kListingFileReportsErrors, listing);
      return;
    case ListingResult::kNotListing:
      if (FirstReport("149 " + listing)) ReportError(err::kFileNotCorrectListingFile, listing);
      return;
    case ListingResult::kNotFound:
      if (!show) return;
      // Asked once; later stops there go to the disassembly as after Yes.
      if (!ListMap().StepByInstruction && FirstReport("19 " + listing) &&
          !IsYes(ReportWarning(warn::kNoSegmentReferenceFoundFor)))
        return;
      ShowDisassembly(show, address);
      return;
    case ListingResult::kFound: break;
  }
  // The statement among the lines of its own file: an included one is found
  // in the include file.
  const ListingFilePart part = ListingLinesOfFile(lines, index);
  statement = StatementAt(part.Lines, kListingSourceColumn, part.Index);
  const std::string source = part.IncludeName.empty() ? node.FileName : IncludePath(node.FileName, part.IncludeName);
  if (LocateSourceLine(statement, source, ListMap().ExecLine, show ? kExecPointLineColor : kPlainLineColor,
                       show ? kExecPointTextColor : kPlainTextColor) >= 0)
    ListMap().ExecFileName = source;
}

}  // namespace

void ShowSourceAtAddress(bool show, tStatement& statement) {
  statement = {};
  ClearExecLine();
  const uint32_t address = Run().CurrentPC & 0xFFFF;
  SuspendMessages();
  const bool procedure = Collections().SymbolTable && FindProcedureAt(address);
  const tModuleItem* module = procedure ? ModuleAt(Collections().FoundModule) : nullptr;
  const tModuleRec* node = module ? FindModuleNode(module->Name) : nullptr;
  ResumeMessages();
  if (!node) {
    ShowDisassembly(show, address);
    return;
  }
  const std::string ext = std::filesystem::path(node->FileName).extension().string();
  const tFileTypeRec* type = FindFileType(ext);
  if (!type) {
    if (FirstReport("314 " + ext)) ReportError(err::kUnregisteredFileType, ext);
    ShowDisassembly(show, address);
    return;
  }
  if (type->Kind == kFileC) {
    ShowCSource(show, address, *module, *node);
  } else if (type->Kind == kFileAssembler) {
    ShowAssemblerSource(show, address, *node, statement);
  }
}

}  // namespace dorvik
