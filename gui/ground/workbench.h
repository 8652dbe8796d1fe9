#pragma once
// What the windows may ask of the main window, the centre they stand around:
// the main window implements it and hands it to the parts it makes (the debug
// actions, the terminal, the project actions, the hardware menu), which never
// include the main window itself.

#include <functional>
#include <string>

namespace dorvik::gui {

class Workbench {
 public:
  // Runs the line that Enter handed to the scanner, then the lines typed meanwhile.
  virtual void ExecuteScannerLine() = 0;
  // Brings the widgets up to the engine's state (caption, status fields,
  // busy view, terminal text, execution line, tool windows) where it changed.
  virtual void SyncViews() = 0;
  // Runs Work; whatever it throws, the busy pair is left as it was found, the
  // window enabled again and the error reported (message 143). False then.
  virtual bool Guarded(const std::function<void()>& work) = 0;
  // Loads FileName through the load dialog; true when the dialog ended with
  // OK (the load was not aborted). Start: the load starts at once, without
  // waiting for the Load button.
  virtual bool LoadProgram(const std::string& fileName, bool start = false) = 0;
  // Every changed editor page asked about (saved, dropped, or kept open:
  // false), and every page closed: a project being replaced, a build reading
  // the files.
  virtual bool CanClosePages() = 0;
  virtual void ClosePages() = 0;
  // The [DORVIK] layout entries (and the open pages, the watches) of a
  // project file: applied to the windows as a project being opened, and
  // written back keeping the rest of the file.
  virtual void LoadLayout(const std::string& projectFile) = 0;
  virtual bool SaveLayout(const std::string& projectFile) const = 0;
  // File|Exit: the window closes (after the command at work, which is stopped).
  virtual void FileExit1Execute() = 0;
  // Input held (nested): the window takes no keys or clicks meanwhile, as
  // while a board read waits for its answer and pumps.
  virtual void HoldInput(bool hold) = 0;

 protected:
  ~Workbench() = default;
};

// The window's input held for as long as the object lives.
class InputHeld {
 public:
  explicit InputHeld(Workbench& bench) : bench_(bench) { bench_.HoldInput(true); }
  ~InputHeld() { bench_.HoldInput(false); }
  InputHeld(const InputHeld&) = delete;
  InputHeld& operator=(const InputHeld&) = delete;

 private:
  Workbench& bench_;
};

}  // namespace dorvik::gui
