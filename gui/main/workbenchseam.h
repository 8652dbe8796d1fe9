#pragma once
// The workbench's side of the user seam (base/userseam.h): the engine's
// status texts, choices, load progress, stops shown and waits, each answered
// by the window that owns it. The main window makes it and installs it for its lifetime.
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

  // The load dialog shows the load's progress.
  void ShowLoadProgress(const LoadProgress& progress) override;

  // Every stop in the editor pages, else in the disassembly.
  bool ShowsSourceInEditor() override { return true; }
  void ShowDisassembly(uint16_t address) override;

 private:
  MainWindow& main_;
  UserSeam* replaced_;
  WindowEventsBridge bridge_;
};

}  // namespace dorvik::gui
