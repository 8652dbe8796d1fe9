#include "workbench/mainform.h"

#include "platform/files.h"

namespace dorvik {

namespace {
MainFormState g_main_form;
}

MainFormState& MainForm() {
  return g_main_form;
}
void ResetMainForm() {
  g_main_form = MainFormState{};
}

void SetSettingsFileNames(std::string_view program_path, std::string_view temp_folder) {
  auto& m = g_main_form;
  m.IniFileName = platform::ChangeFileExt(program_path, ".INI");
  m.HistoryFileName = platform::ChangeFileExt(program_path, ".HST");
  m.HelpFileName = platform::ChangeFileExt(program_path, ".HLP");
  m.ErrorProtocolFile = std::string(temp_folder);
  if (!m.ErrorProtocolFile.empty() && m.ErrorProtocolFile.back() != '/') m.ErrorProtocolFile += '/';
  m.ErrorProtocolFile += "$$ERR.$$$";
}

void BeginBusy() {
  if (g_main_form.BusyCount++ == 0) g_main_form.Busy = true;
}

void EndBusy() {
  // An unmatched end must not drive the count below 0.
  if (g_main_form.BusyCount == 0) return;
  if (--g_main_form.BusyCount == 0) g_main_form.Busy = false;
}

}  // namespace dorvik
