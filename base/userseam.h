#pragma once
// The one seam from the engine to the person at a front end: the status
// texts, choices, load progress, stops shown and waits that the engine needs
// of a user. Each front end implements it once (the workbench in gui/main,
// the console in console/frontend, the tests a scripted one); the engine
// calls only this. The default does nothing and answers a step key with Esc,
// so the engine runs headless.
//
// Two more seams reach the user, both in platform/: the message boxes
// (platform::Reporter, platform/reporter.h: every numbered message, asked
// and answered) and the input and progress dialogs (platform::DialogUi,
// platform/dialogs.h: a line or a name and value asked, a file browsed for,
// a long operation's progress with its Cancel). Every call from the engine
// to the user goes through one of the three:
//   UserSeam      KeepWaiting, ReadStepKey, ShowStatus, ChooseCompiler,
//                 AddModuleToProject, ShowLoadProgress, ShowsSourceInEditor,
//                 ShowDisassembly
//   Reporter      ShowBox
//   DialogUi      AskInput, AskPair, BrowseFile, ShowProgress,
//                 UpdateProgress, CancelPressed, HideProgress
// The front ends read the rest from the engine's state (the terminal text,
// the status fields and caption, the views' counters).

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

// A load's progress as its dialog shows it.
enum class LoadStep : uint8_t {
  Address,  // the address being loaded or cleared (Label, Address); the dialog's Cancel is taken meanwhile
  Loaded,   // the code went in: the dialog's Load button shows again
  Ended,    // the load is over, done or failed: the dialog goes
};
struct LoadProgress {
  LoadStep Step = LoadStep::Address;
  std::string_view Label{};    // "Load address" or "Clear address"
  std::string_view Address{};  // in the display radix, five digits
};

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
  // Esc: a STEP with no one to press a key does one step. A front end whose
  // input is no terminal reads the key itself and types it into the console
  // (TakeStepKey, debugger/terminal.h); one with a console waits for a key
  // pressed there (ReadKey).
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

  // A load's progress, when the load runs from the load dialog.
  virtual void ShowLoadProgress(const LoadProgress& /*progress*/) {}

  // Stops shown
  // The front end shows every stop in its editor: the execution line marked
  // in the source, and the disassembly when the stop has no source line.
  virtual bool ShowsSourceInEditor() { return false; }
  // A stop without a source line: the code address in the disassembly.
  virtual void ShowDisassembly(uint16_t /*address*/) {}
};

// The front end's seam, or the do-nothing default when none is installed.
UserSeam& User();
// Installs Seam (nullptr: back to the default); returns the one it replaced.
UserSeam* SetUserSeam(UserSeam* seam);

}  // namespace dorvik
