#include "gui/terminalwindow.h"

#include <QCloseEvent>

#include "debugger/terminal.h"
#include "gui/mainwindow.h"

namespace dorvik::gui {

TerminalWindow::TerminalWindow(MainWindow& main)
    : TDockableForm("TerminalWindow", "Terminal", &main), editor_(new TerminalEdit(main, this)) {
  setWidget(editor_);
  setFocusProxy(editor_);
}

KeyAction TerminalWindow::EnterLine(const std::string& line) {
  for (char c : line) {
    if (c == '\t') c = ' ';
    if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) DoOnKeyPressed(c);
  }
  const KeyAction action = DoOnKeyDown(kKeyEnter);
  editor_->Render();
  return action;
}

void TerminalWindow::closeEvent(QCloseEvent* e) {
  TDockableForm::closeEvent(e);
  SetTerminalVisible(false);
}

void TerminalWindow::ShowTerminal() {
  const bool wasHidden = isHidden() || !dorvik::Terminal().Visible;
  ShowDockable();
  if (wasHidden) SetTerminalVisible(true);
  editor_->Render();
}

}  // namespace dorvik::gui
