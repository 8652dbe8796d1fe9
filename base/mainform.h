#pragma once
// The engine's part of the main window's state, kept in the session so that the
// engine needs nothing above it: the nesting busy pair and the names of the
// settings files. The workbench shows what it holds.

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

struct MainFormState {
  // Nesting count of BeginBusy/EndBusy; Busy while it is above 0.
  int32_t BusyCount = 0;
  bool Busy = false;
  // A GO left the program running on a target that runs it itself: the
  // command's busy pair stays open until the run ends (EndRunBusy).
  bool RunHoldsBusy = false;
  // Settings files, beside the program: .INI settings, .HST dialog histories,
  // .HLP help; the tools' error protocol "$$ERR.$$$" in the temporary folder.
  std::string IniFileName;
  std::string HistoryFileName;
  std::string HelpFileName;
  std::string ErrorProtocolFile;
};

MainFormState& MainForm();

// Derives the settings file names from the program's own path and the
// temporary folder.
void SetSettingsFileNames(std::string_view program_path, std::string_view temp_folder);

// The nesting busy pair around loads, HEX saves, command execution...
void BeginBusy();
void EndBusy();
// The busy pair begun when made and ended when left, however it is left.
class BusyPair {
 public:
  BusyPair() { BeginBusy(); }
  ~BusyPair() { EndBusy(); }
  BusyPair(const BusyPair&) = delete;
  BusyPair& operator=(const BusyPair&) = delete;
};
// The run that held the busy pair ended (halt, Esc, halt report, a link
// failure): the pair is closed once, menus and status fields come back.
void EndRunBusy();

}  // namespace dorvik
