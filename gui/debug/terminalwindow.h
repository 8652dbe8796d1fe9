#pragma once
// The dockable window that holds the terminal console.

#include <string>

#include "debugger/terminal.h"
#include "gui/ground/dockable.h"
#include "gui/debug/terminaledit.h"

class QAction;
class QMainWindow;
class QMenu;

namespace dorvik::gui {

class Workbench;

class TerminalWindow : public TDockableForm {
 public:
  TerminalWindow(Workbench& bench, QMainWindow* window);
  TerminalEdit* Editor() const { return editor_; }
  // Types a whole line after the prompt and enters it, as the keys would.
  KeyAction EnterLine(const std::string& line);
  // Shows the window; a console that was closed takes its output again.
  void ShowTerminal();
  // The console's own popup menu, shown in place of the text view's stock
  // edit menu: Close.
  QMenu* terPopupMenu() const { return terPopupMenu_; }
  QAction* terCloseItem() const { return terCloseItem_; }
  void terCloseItemClick();

 protected:
  // Closed by the user: the console drops its output until it is shown again.
  void closeEvent(QCloseEvent* e) override;

 private:
  TerminalEdit* editor_;
  QMenu* terPopupMenu_;
  QAction* terCloseItem_;
};

}  // namespace dorvik::gui
