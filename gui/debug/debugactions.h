#pragma once
// The workbench's debug actions on the Debug menu, the debug tool bar and
// their keys: Run and Halt (one tool button that shows Run at rest and Halt
// while the program runs), Step, Trace, Reset, the breakpoint at the
// disassembly's caret line, Run to cursor, and the chip type. Each action is
// the command line the terminal would run: it is typed into the terminal dock
// and handed to the command executor, so the terminal stays the session's record.

#include <cstdint>
#include <functional>
#include <string>

#include <QObject>

#include "objfiles/sourcetext.h"

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace dorvik {
struct tBreak;
}

namespace dorvik::gui {

class DisasWindow;
class TerminalWindow;
class Workbench;

class DebugActions : public QObject {
 public:
  // Puts the actions on Menu (in their order) and the tool bar on Window;
  // their command lines are typed into Terminal, the cursor is Disas's caret
  // line (or an editor page's).
  DebugActions(Workbench& bench, QMainWindow& window, DisasWindow& disas, TerminalWindow& terminal, QMenu* menu);

  QToolBar* ToolBar() const { return toolBar_; }
  QToolButton* RunHaltButton() const { return runHalt_; }

  // Types Line after the prompt and enters it as the keys would; the line the
  // user was typing comes back after the command.
  void Issue(const std::string& line);

  // Sets the breakpoint items for the cursor address and enables or disables
  // the breakpoint and, unless Partial, the run actions.
  void UpdateDebugActions(bool enable, bool partial);
  // The code address of the disassembly's caret line (-1: none), then the actions.
  void UpdateCursorAddress();
  // The caret line of an editor page is the cursor: its code address (-1:
  // the line holds no code) and its location text.
  void SetSourceCursor(int32_t address, const std::string& location);
  // An editor page's caret moved: its line is the cursor (its address follows).
  void SourceCursorMoved();
  // The cursor of the editor page or of the disassembly, whichever it was, read again.
  void RefreshCursor();
  // The editor pages' side, wired by the main window: their caret line looked
  // up again (it comes back through SetSourceCursor), and the active page
  // with its caret's 1-based line.
  std::function<void()> RefreshSourceCursor;
  std::function<tShowedLine()> SourceCaret;
  int32_t CursorAddress() const { return cursor_; }
  // The actions and the run/halt button brought up to the engine's run state.
  void Sync();

  // The actions
  void RunClick();
  void HaltClick();
  // One step of the kind ("STEP" or "TRACE"): the step loop ends after it.
  void StepClick(const char* word);
  // A step of the toolbar or menu runs: the step loop ends after one step.
  bool SteppingOnce() const { return steppingOnce_; }
  void ResetClick();
  // Clears the breakpoint at the cursor address, or sets one there.
  void ToggleBreakpointClick();
  // Runs with the temporary breakpoint at the cursor address.
  void RunToCursorClick();
  // The chip-type dialog; OK runs "CPU = " and the chosen name.
  void SelectTarget1Click();

  QAction* Run;
  QAction* Halt;
  QAction* Step;
  QAction* Trace;
  QAction* Reset;
  QAction* ToggleBreakpoint;
  QAction* RunToCursor;
  QAction* SelectTarget1;

 private:
  // The breakpoint drawn on the editor page's caret line, when that line is the cursor.
  tBreak* DrawnAtCaret() const;
  Workbench& bench_;
  QMainWindow& window_;
  DisasWindow& disas_;         // its caret line is the cursor when it was used last
  TerminalWindow& terminal_;   // the actions' command lines are typed there
  bool steppingOnce_ = false;
  QToolBar* toolBar_;
  QToolButton* runHalt_;
  int32_t cursor_ = -1;
  bool fromSource_ = false;   // the cursor is an editor page's caret line
  std::string location_;      // its location text
};

// A code address as the command line takes it in every radix: "0003H", "0F000H".
std::string CodeAddressText(uint16_t address);

}  // namespace dorvik::gui
