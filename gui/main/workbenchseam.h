#pragma once
// The workbench's side of the user seam: the engine's status texts, choices,
// load-dialog face, disassembly shown and waits, each answered by the window
// that owns it. The main window makes it and installs it for its lifetime.
// Waits run the engine's platform pump with the window's events
// (gui/ground/windowpump.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "base/userseam.h"
#include "gui/ground/windowpump.h"

namespace dorvik::gui {

class MainWindow;

class WorkbenchSeam final : public UserSeam {
 public:
  explicit WorkbenchSeam(MainWindow& main);
  ~WorkbenchSeam() override;
  WorkbenchSeam(const WorkbenchSeam&) = delete;
  WorkbenchSeam& operator=(const WorkbenchSeam&) = delete;

  // Waits
  // The window stays drawn and takes Esc (the build's stop) meanwhile.
  bool KeepWaiting() override;
  // The terminal's key; Esc during a step of the toolbar or menu.
  char ReadStepKey() override;

  // Status texts, questions and choices
  void ShowStatus(std::string_view text) override;
  std::string ChooseCompiler(std::string_view typeItem) override;
  void AddModuleToProject(const std::string& moduleName) override;

  // The load dialog
  void ShowLoadAddress(std::string_view label, std::string_view address) override;
  void HideLoadDialog() override;
  void ShowLoadButton() override;

  // Views
  void ShowDisassembly(uint16_t address) override;
  void StopViewRefresh() override;
  bool ViewReading() override;
  void AfterBox() override;

 private:
  MainWindow& main_;
  UserSeam* replaced_;
  WindowEventsBridge bridge_;
};

}  // namespace dorvik::gui
