#include "editor/codeeditor.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"

namespace dorvik {

bool IsWordDelimiter(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return !(std::isalnum(u) || c == '_' || c == '?' || c == '@' || c == '$');
}

bool TCodeEditor::IsEmpty() const { return Lines.size() <= 1 && (Lines.empty() || Lines.front().empty()); }

TPoint TCodeEditor::Find(std::string_view text, TPoint from, TPoint to, FindOptions options) const {
  if (text.empty() || Lines.empty()) return {};
  const std::string needle = options.MatchCase ? std::string(text) : UpperCase(text);
  const int32_t first = std::max(from.Y, 0);
  const int32_t last = std::min(to.Y, static_cast<int32_t>(Lines.size()));  // the end point's line is excluded at column 0
  for (int32_t y = first; y <= last && y < static_cast<int32_t>(Lines.size()); ++y) {
    const std::string line = options.MatchCase ? Lines[static_cast<size_t>(y)] : UpperCase(Lines[static_cast<size_t>(y)]);
    size_t startCol = y == from.Y ? static_cast<size_t>(std::max(from.X, 0)) : 0;
    size_t endCol = y == to.Y ? static_cast<size_t>(std::max(to.X, 0)) : line.size();
    endCol = std::min(endCol, line.size());
    while (startCol <= endCol) {
      const size_t hit = line.find(needle, startCol);
      if (hit == std::string::npos || hit + needle.size() > endCol) break;
      const bool before = hit == 0 || IsWordDelimiter(line[hit - 1]);
      const size_t after = hit + needle.size();
      const bool behind = after >= line.size() || IsWordDelimiter(line[after]);
      if (!options.WholeWord || (before && behind)) return {static_cast<int32_t>(hit), y};
      startCol = hit + 1;
    }
  }
  return {};
}

void TCodeEditor::SetText(std::string_view text) {
  Lines.clear();
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      Lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty() || Lines.empty()) Lines.push_back(line);
}

std::string TCodeEditor::Text(std::string_view lineBreak, bool finalBreak) const {
  std::string text;
  for (size_t i = 0; i < Lines.size(); ++i) {
    text += Lines[i];
    if (i + 1 < Lines.size() || finalBreak) text += lineBreak;
  }
  return text;
}

}  // namespace dorvik
