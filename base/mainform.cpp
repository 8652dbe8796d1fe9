#include "base/mainform.h"
#include "base/session.h"

#include "platform/files.h"

namespace dorvik {

namespace {
}

MainFormState& MainForm() {
  return CurrentSession().Get<MainFormState>();
}

void SetSettingsFileNames(std::string_view program_path, std::string_view temp_folder) {
  auto& m = MainForm();
  m.IniFileName = platform::ChangeFileExt(program_path, ".INI");
  m.HistoryFileName = platform::ChangeFileExt(program_path, ".HST");
  m.HelpFileName = platform::ChangeFileExt(program_path, ".HLP");
  m.ErrorProtocolFile = std::string(temp_folder);
  if (!m.ErrorProtocolFile.empty() && m.ErrorProtocolFile.back() != '/') m.ErrorProtocolFile += '/';
  m.ErrorProtocolFile += "$$ERR.$$$";
}

void BeginBusy() {
  if (MainForm().BusyCount++ == 0) MainForm().Busy = true;
}

void EndRunBusy() {
  if (!MainForm().RunHoldsBusy) return;
  MainForm().RunHoldsBusy = false;
  EndBusy();
}

void EndBusy() {
  // An unmatched end must not drive the count below 0.
  if (MainForm().BusyCount == 0) return;
  if (--MainForm().BusyCount == 0) MainForm().Busy = false;
}

}  // namespace dorvik
