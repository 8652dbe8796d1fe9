#pragma once
// INI-style text files: [SECTION] headers and Key=Value lines. Lines before
// the first section belong to the section "" (the project file's "Target="
// line). Names compare without regard to case; every other line is kept as
// it stands when the file is written again.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvik::platform {

// Booleans are written "Yes"/"No"; read without regard to case as Yes or True,
// No or False, or else as a number (non-zero is true); any other text keeps
// the default.
bool ParseBool(std::string_view text, bool default_value);
std::string_view BoolText(bool value);

class IniFile {
 public:
  // Reading and writing whole files. Load of a missing or unreadable file
  // leaves the object empty and returns false (IO result set); Save writes
  // through a .TMP copy.
  bool Load(const std::string& path);
  bool Save(const std::string& path) const;
  void Parse(std::string_view text);
  std::string Text() const;

  // Values
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value = {}) const;
  // A line break inside the value is written as a blank (one line per key).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;
  void WriteBool(std::string_view section, std::string_view key, bool value);
  // A value that is not a whole number keeps the default.
  int64_t ReadInteger(std::string_view section, std::string_view key, int64_t default_value) const;
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);
  void DeleteKey(std::string_view section, std::string_view key);

  // Sections
  bool SectionExists(std::string_view section) const;
  // The key names of a section, in file order.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // Its keys with their values, in file order, in one pass (a key that comes
  // again has the value ReadString gives: its first one).
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  void EraseSection(std::string_view section);

 private:
  struct Range {
    size_t Header;  // index of the [SECTION] line, or npos for the section ""
    size_t Begin;   // first line after the header
    size_t End;     // one past the section's last line
  };
  bool FindSection(std::string_view section, Range& range) const;
  // Index of the key's line inside the range, or npos.
  size_t FindKey(const Range& range, std::string_view key) const;

  std::vector<std::string> lines_;
};

}  // namespace dorvik::platform
