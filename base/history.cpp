#include "base/history.h"

#include <algorithm>
#include <cctype>

#include "platform/files.h"
#include "platform/ini.h"
#include "base/mainform.h"

namespace dorvik {

namespace {

constexpr std::string_view kSection = "HISTORY";

// Blanks and control characters off both ends.
std::string_view TrimText(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string Key(int tag, size_t n) {
  return std::to_string(tag) + "H" + std::to_string(n);
}

// True for the keys of `tag`: the tag, "H" and a number.
bool IsKeyOf(std::string_view key, int tag) {
  const std::string prefix = std::to_string(tag) + "H";
  if (key.size() <= prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(key[i])) != prefix[i]) return false;
  return std::all_of(key.begin() + static_cast<std::ptrdiff_t>(prefix.size()), key.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void SelectItem(HistoryCombo& combo, int index) {
  if (index < 0 || index >= static_cast<int>(combo.Items.size())) {
    combo.ItemIndex = -1;
    combo.Text.clear();
    return;
  }
  combo.ItemIndex = index;
  combo.Text = combo.Items[static_cast<size_t>(index)];
}

bool AddToHistory(HistoryCombo& combo, std::string_view text, bool at_top) {
  text = TrimText(text);
  if (text.empty()) return false;
  const auto found = std::find(combo.Items.begin(), combo.Items.end(), text);
  if (found != combo.Items.end()) {
    SelectItem(combo, static_cast<int>(found - combo.Items.begin()));
    return false;
  }
  if (combo.Items.size() > kHistoryItems - 1) combo.Items.resize(kHistoryItems - 1);
  if (at_top) {
    combo.Items.insert(combo.Items.begin(), std::string(text));
    SelectItem(combo, 0);
  } else {
    combo.Items.emplace_back(text);
    SelectItem(combo, static_cast<int>(combo.Items.size()) - 1);
  }
  return true;
}

void LoadHistory(HistoryCombo& combo, int tag) {
  platform::IniFile file;
  // A missing or unreadable history is an empty one, not an I/O error.
  if (!file.Load(MainForm().HistoryFileName)) platform::TakeIOResult();
  combo.Items.clear();
  for (size_t n = 1; n <= kHistoryItems; ++n) {
    const std::string item = file.ReadString(kSection, Key(tag, n));
    if (!item.empty()) combo.Items.push_back(item);
  }
  SelectItem(combo, static_cast<int>(file.ReadInteger(kSection, Key(tag, 0), -1)));
}

bool SaveHistory(const HistoryCombo& combo, int tag) {
  const std::string& name = MainForm().HistoryFileName;
  platform::IniFile file;
  // The other dialogs' lines must survive: an existing file that cannot be
  // read is not overwritten.
  if (!file.Load(name)) {
    if (platform::FileExists(name)) return false;
    platform::TakeIOResult();
  }
  for (const std::string& key : file.ReadSection(kSection))
    if (IsKeyOf(key, tag)) file.DeleteKey(kSection, key);
  file.WriteInteger(kSection, Key(tag, 0), combo.ItemIndex);
  const size_t count = std::min(combo.Items.size(), kHistoryItems);
  for (size_t n = 1; n <= count; ++n) file.WriteString(kSection, Key(tag, n), combo.Items[n - 1]);
  return file.Save(name);
}

}  // namespace dorvik
