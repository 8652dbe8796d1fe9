#pragma once
// The "Wait please..." form: shown over the middle of the main window when
// the workbench has been busy for 200 ms, never over a dialog or box that the
// work opened, nor while the program runs. A part of the main window over
// its centre, not a window of its own: a window manager maps a window in its
// own time, also one that Qt has hidden meanwhile, and such a form would
// stay on screen, blank.

#include <QLabel>
#include <QTimer>

namespace dorvik::gui {

class WaitForm : public QLabel {
 public:
  explicit WaitForm(QWidget* mainWindow);
  // Busy: the form is due in 200 ms; at rest it goes at once.
  void ShowBusy(bool busy);

 private:
  QWidget* main_;
  QTimer due_;
  bool busy_ = false;
};

}  // namespace dorvik::gui
