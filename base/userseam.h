#pragma once
// The one seam from the engine to the person at a front end: the status
// texts, choices, load-dialog face, views shown and waits that the engine
// needs of a user. Each front end implements it once (the workbench in
// gui/main, the console in app/dorvik51.cpp, the tests a scripted one); the
// engine calls only this. The default does nothing and answers a step key
// with Esc, so the engine runs headless (the console shows no dialog, status
// line or disassembly window: it only waits for its step keys).

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

class UserSeam {
 public:
  virtual ~UserSeam() = default;

  // Waits
  // Long work (a build between its modules, an external tool about every
  // 20 ms) lets the front end draw and take its stop key; false when the user
  // asked to stop the work.
  virtual bool KeepWaiting() { return true; }
  // The key that ends or continues the STEP loop ('\r' Enter, 27 Esc, else
  // another key), waited for while the program stands still; the default
  // Esc: a STEP with no one to press a key does one step.
  virtual char ReadStepKey() { return 27; }

  // Status texts
  // The build's progress in the status line; "" clears it.
  virtual void ShowStatus(std::string_view /*text*/) {}

  // Questions and choices
  // The file type's compiler, chosen by the user for a type list item
  // ("Assembler", "C" or ""); "" when nothing was chosen.
  virtual std::string ChooseCompiler(std::string_view /*typeItem*/) { return {}; }
  // Question 41 answered Yes: the module goes to the project (through its manager).
  virtual void AddModuleToProject(const std::string& /*moduleName*/) {}

  // The load dialog's face (when the load runs from one)
  // The address being loaded or cleared; the dialog's Cancel is taken meanwhile.
  virtual void ShowLoadAddress(std::string_view /*label*/, std::string_view /*address*/) {}
  virtual void HideLoadDialog() {}
  virtual void ShowLoadButton() {}

  // Views
  // A stop without a source line: the code address in the disassembly.
  virtual void ShowDisassembly(uint16_t /*address*/) {}
  // The views that read the target by themselves (the port window) stop
  // their refresh; ViewReading says one reads it now.
  virtual void StopViewRefresh() {}
  virtual bool ViewReading() { return false; }
  // A message box (not one shown inside another's) has closed.
  virtual void AfterBox() {}
};

// The front end's seam, or the do-nothing default when none is installed.
UserSeam& User();
// Installs Seam (nullptr: back to the default); returns the one it replaced.
UserSeam* SetUserSeam(UserSeam* seam);

}  // namespace dorvik
