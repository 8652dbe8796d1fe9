#include "gui/main/waitform.h"

#include <QApplication>

#include "base/messages.h"
#include "base/runstate.h"

namespace dorvik::gui {

namespace {

constexpr int kWaitFormDelayMs = 200;

}  // namespace

WaitForm::WaitForm(QWidget* mainWindow)
    : QLabel("Wait please...", mainWindow), main_(mainWindow) {
  setObjectName("WaitForm");
  setAlignment(Qt::AlignCenter);
  setMargin(16);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setAutoFillBackground(true);
  hide();
  due_.setSingleShot(true);
  connect(&due_, &QTimer::timeout, this, [this] {
    // Not over a dialog or box that the work opened: it would cover part of it.
    if (!busy_ || Messages().MessageBoxShowing || Run().ProgramRunning || QApplication::activeModalWidget() != nullptr)
      return;
    adjustSize();
    move(main_->rect().center() - rect().center());
    raise();
    show();
  });
}

void WaitForm::ShowBusy(bool busy) {
  busy_ = busy;
  if (busy) {
    due_.start(kWaitFormDelayMs);
  } else {
    due_.stop();
    hide();
  }
}

}  // namespace dorvik::gui
