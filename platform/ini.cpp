#include "platform/ini.h"

#include <cctype>
#include <charconv>
#include <unordered_map>

#include "platform/files.h"
#include "platform/text.h"

namespace dorvik::platform {

namespace {

constexpr size_t npos = std::string::npos;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The name of a "[NAME]" line; false for other lines.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return false;
  const size_t close = line.find(']');
  if (close == npos) return false;
  name = line.substr(1, close - 1);
  return true;
}

// Splits "Key=Value"; false for lines without '='.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const size_t eq = line.find('=');
  if (eq == npos) return false;
  key = Trim(line.substr(0, eq));
  value = line.substr(eq + 1);
  while (!value.empty() && value.back() == '\r') value.remove_suffix(1);
  return !key.empty();
}

bool ParseInteger(std::string_view text, int64_t& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseBool(std::string_view text, bool default_value) {
  text = Trim(text);
  if (SameText(text, "Yes") || SameText(text, "True")) return true;
  if (SameText(text, "No") || SameText(text, "False")) return false;
  int64_t n = 0;
  if (ParseInteger(text, n)) return n != 0;
  return default_value;
}

std::string_view BoolText(bool value) {
  return value ? "Yes" : "No";
}

bool IniFile::Load(const std::string& path) {
  lines_.clear();
  std::string content;
  if (!ReadWholeFile(path, content)) return false;
  Parse(content);
  return true;
}

bool IniFile::Save(const std::string& path) const {
  return WriteFileReplacing(path, Text());
}

void IniFile::Parse(std::string_view text) {
  lines_.clear();
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    if (nl == npos) break;
    text.remove_prefix(nl + 1);
  }
}

std::string IniFile::Text() const {
  std::string out;
  for (const std::string& line : lines_) {
    out += line;
    out += '\n';
  }
  return out;
}

bool IniFile::FindSection(std::string_view section, Range& range) const {
  size_t i = 0;
  if (section.empty()) {
    range.Header = npos;
    range.Begin = 0;
  } else {
    for (;; ++i) {
      if (i == lines_.size()) return false;
      std::string_view name;
      if (SectionName(lines_[i], name) && SameText(name, section)) break;
    }
    range.Header = i;
    range.Begin = ++i;
  }
  std::string_view name;
  while (i < lines_.size() && !SectionName(lines_[i], name)) ++i;
  range.End = i;
  return true;
}

size_t IniFile::FindKey(const Range& range, std::string_view key) const {
  for (size_t i = range.Begin; i < range.End; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && SameText(k, key)) return i;
  }
  return npos;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
  Range r;
  return FindSection(section, r) && FindKey(r, key) != npos;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  Range r;
  if (!FindSection(section, r)) return std::string(default_value);
  const size_t i = FindKey(r, key);
  if (i == npos) return std::string(default_value);
  std::string_view k, v;
  KeyValue(lines_[i], k, v);
  return std::string(v);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value_text) {
  // One line per key: a line break inside the value would start other keys or
  // sections in the file, so it is stored as a blank.
  std::string value(value_text);
  for (char& c : value)
    if (c == '\n' || c == '\r') c = ' ';
  std::string line(key);
  line += '=';
  line += value;
  Range r;
  if (!FindSection(section, r)) {
    std::string header(1, '[');
    header.append(section).push_back(']');
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(line));
    return;
  }
  const size_t i = FindKey(r, key);
  if (i != npos) {
    // The key keeps its spelling in the file.
    std::string_view old_key, old_value;
    KeyValue(lines_[i], old_key, old_value);
    std::string kept(old_key);
    kept += '=';
    kept += value;
    lines_[i] = std::move(kept);
    return;
  }
  // After the section's last non-empty line, so a blank line before the next
  // section stays where it is.
  size_t at = r.End;
  while (at > r.Begin && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  if (!ValueExists(section, key)) return default_value;
  return ParseBool(ReadString(section, key), default_value);
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, BoolText(value));
}

int64_t IniFile::ReadInteger(std::string_view section, std::string_view key, int64_t default_value) const {
  int64_t n = 0;
  return ParseInteger(ReadString(section, key), n) ? n : default_value;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
  Range r;
  if (!FindSection(section, r)) return;
  const size_t i = FindKey(r, key);
  if (i != npos) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
}

bool IniFile::SectionExists(std::string_view section) const {
  Range r;
  return FindSection(section, r);
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  Range r;
  if (!FindSection(section, r)) return keys;
  for (size_t i = r.Begin; i < r.End; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v)) keys.emplace_back(k);
  }
  return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> values;
  Range r;
  if (!FindSection(section, r)) return values;
  std::unordered_map<std::string, size_t> first;  // key without regard to case -> its first entry
  for (size_t i = r.Begin; i < r.End; ++i) {
    std::string_view k, v;
    if (!KeyValue(lines_[i], k, v)) continue;
    std::string folded(k);
    for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto [it, added] = first.emplace(std::move(folded), values.size());
    values.emplace_back(std::string(k), added ? std::string(v) : values[it->second].second);
  }
  return values;
}

void IniFile::EraseSection(std::string_view section) {
  Range r;
  if (!FindSection(section, r)) return;
  const size_t first = r.Header == npos ? r.Begin : r.Header;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first),
               lines_.begin() + static_cast<std::ptrdiff_t>(r.End));
}

}  // namespace dorvik::platform
