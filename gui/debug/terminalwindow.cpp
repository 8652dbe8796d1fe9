#include "gui/debug/terminalwindow.h"

#include <QCloseEvent>
#include <QMenu>

#include "debugger/terminal.h"

namespace dorvik::gui {

TerminalWindow::TerminalWindow(Workbench& bench, QMainWindow* window)
    : TDockableForm("TerminalWindow", "Terminal", window),
      editor_(new TerminalEdit(bench, this)),
      terPopupMenu_(new QMenu(this)),
      terCloseItem_(terPopupMenu_->addAction("Close")) {
  setWidget(editor_);
  setFocusProxy(editor_);
  terPopupMenu_->setObjectName("terPopupMenu");
  terCloseItem_->setObjectName("terCloseItem");
  connect(terCloseItem_, &QAction::triggered, this, [this] { terCloseItemClick(); });
  // The right mouse button brings the console's menu, not the stock edit
  // menu (its Cut and Delete would change the text behind the console).
  editor_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(editor_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { terPopupMenu_->popup(editor_->viewport()->mapToGlobal(at)); });
}

void TerminalWindow::terCloseItemClick() { close(); }

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
