#pragma once
// Dialog histories: the items of a combo box kept in the dialog-history file
// (section [HISTORY], keys <tag>H0 for the selected index and <tag>H1..H20 for
// the items), so that the dialogs offer what was typed before.

#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

// The data of a combo box with a history; a widget mirrors it.
struct HistoryCombo {
  std::vector<std::string> Items;
  int ItemIndex = -1;  // the selected item, -1 none
  std::string Text;    // the edit text
  int Tag = 0;         // selects the history in the file
};

inline constexpr size_t kHistoryItems = 20;

// Adds the trimmed text: empty gives false; a text already there is only
// selected (false); otherwise the list is cut to 19 items, the text inserted
// at the top (at_top) or appended, and selected (true).
bool AddToHistory(HistoryCombo& combo, std::string_view text, bool at_top);
// Fills the combo from the history file (the file MainForm().HistoryFileName)
// and selects the stored index; a missing file gives an empty list.
void LoadHistory(HistoryCombo& combo, int tag);
// Rewrites the history file through a .TMP copy with the combo's items and
// selected index under `tag`, keeping every other line. False (and the IO
// result set) when the file cannot be written.
bool SaveHistory(const HistoryCombo& combo, int tag);

// Selects an item: ItemIndex and Text follow it (-1 or out of range: none).
void SelectItem(HistoryCombo& combo, int index);

}  // namespace dorvik
