#include "lang/collections.h"
#include "base/session.h"

#include <algorithm>
#include <cctype>


namespace dorvik {

namespace {

bool IsHintBreak(char c) {
  return c == ' ' || c == '=';
}

// Wraps one line that holds no line end.
void WrapOneLine(std::string_view line, size_t column, std::vector<std::string>& out) {
  while (line.size() > column) {
    // The last break character that still fits; the line breaks after it.
    size_t cut = std::string_view::npos;
    for (size_t i = column; i-- > 0;) {
      if (IsHintBreak(line[i])) {
        cut = i + 1;
        break;
      }
    }
    if (cut == std::string_view::npos) {
      // No break inside the column: break at the first one after it, if any.
      size_t next = column;
      while (next < line.size() && !IsHintBreak(line[next])) ++next;
      if (next >= line.size()) break;
      cut = next + 1;
    }
    std::string_view head = line.substr(0, cut);
    while (!head.empty() && head.back() == ' ') head.remove_suffix(1);
    out.emplace_back(head);
    line.remove_prefix(cut);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  }
  if (!line.empty() || out.empty()) out.emplace_back(line);
}
}  // namespace

void tSymbolItem::Assign(const tSymbolItem& source) {
  Name = source.Name;
  Value = source.Value;
  Nesting = source.Nesting;
  SymClass = source.SymClass;
}

std::string tSymbolItem::DisplayName() const {
  return Name.empty() ? "tSymbolItem" : Name;
}

void tModuleItem::Assign(const tModuleItem& source) {
  Name = source.Name;
  Start = source.Start;
  Stop = source.Stop;
  Flag = source.Flag;
}

std::string tModuleItem::DisplayName() const {
  return Name.empty() ? "tModuleItem" : Name;
}

void tTypeDefItem::Assign(const tTypeDefItem& source) {
  TypeName = source.TypeName;
  TypeDefID = source.TypeDefID;
  EmbedTypeID = source.EmbedTypeID;
  ResultType = source.ResultType;
  MSpace = source.MSpace;
  Size = source.Size;
  Dimensions = source.Dimensions;
  ParamStr = source.ParamStr;
  std::copy_n(source.DimensionSizes.begin(), source.Dimensions, DimensionSizes.begin());
}

std::string tTypeDefItem::DisplayName() const {
  return TypeName.empty() ? "tTypeDefItem" : TypeName;
}

CollectionsState& Collections() {
  return CurrentSession().Get<CollectionsState>();
}


void CreateSymbolCollections() {
  auto& c = Collections();
  if (!c.SymbolTable) c.SymbolTable.emplace();
  if (!c.ModuleTable) c.ModuleTable.emplace();
  if (!c.TypeDefs) c.TypeDefs.emplace();
}

const std::vector<int32_t>& TSymbolCollection::Named(const std::string& upperName) const {
  if (indexed_ > Items.size()) {
    byName_.clear();
    indexed_ = 0;
  }
  for (; indexed_ < Items.size(); ++indexed_)
    byName_[UpperCase(Items[indexed_].Name)].push_back(static_cast<int32_t>(indexed_));
  static const std::vector<int32_t> kNone;
  const auto it = byName_.find(upperName);
  return it == byName_.end() ? kNone : it->second;
}

tSymbolItem* SymbolAt(int32_t index) {
  return Collections().SymbolTable ? Collections().SymbolTable->GetItem(index) : nullptr;
}

tModuleItem* ModuleAt(int32_t index) {
  return Collections().ModuleTable ? Collections().ModuleTable->GetItem(index) : nullptr;
}

int32_t tUpperCaseStrings::Add(std::string_view s) {
  Strings.push_back(UpperCase(s));
  return static_cast<int32_t>(Strings.size()) - 1;
}

int32_t tUpperCaseStrings::StringIndex(int32_t charPos) const {
  int64_t textLength = 0;
  for (const auto& line : Strings) textLength += static_cast<int64_t>(line.size()) + 2;
  if (charPos <= 0 || charPos >= textLength) return -1;
  int64_t total = 0;
  int32_t summed = 0;
  while (total < charPos && summed < Count()) {
    total += static_cast<int64_t>(Strings[summed].size()) + 2;
    ++summed;
  }
  return summed - 1;
}

std::string tUpperCaseStrings::Text() const {
  std::string text;
  for (const auto& line : Strings) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> WrapHintText(std::string_view text, size_t column) {
  std::vector<std::string> lines;
  std::string trimmed = TrimBlanks(text);
  std::string_view rest = trimmed;
  while (true) {
    size_t end = rest.find_first_of("\r\n");
    WrapOneLine(rest.substr(0, end), column, lines);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end);
    if (rest.starts_with("\r\n")) {
      rest.remove_prefix(2);
    } else {
      rest.remove_prefix(1);
    }
  }
  return lines;
}

void TScriptWindow::LayoutText(int32_t parentWidth, const TextWidthFn& textWidth) {
  Top = Y + 10;
  Left = X + 5;
  std::vector<std::string> lines = WrapHintText(Text);
  int32_t widest = 0;
  Caption.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    widest = std::max(widest, textWidth(lines[i]));
    if (i > 0) Caption += "\r\n";
    Caption += lines[i];
  }
  Width = widest + 5;
  Height = static_cast<int32_t>(lines.size()) * kHintLineHeight + 2;
  // Keep the hint inside the parent; a hint wider than the parent starts at its left edge.
  if (Left + Width > parentWidth) Left = std::max(0, parentWidth - Width);
}

tCommForm& CommForm() {
  return CurrentSession().Get<tCommForm>();
}

}  // namespace dorvik
