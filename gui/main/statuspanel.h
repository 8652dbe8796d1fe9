#pragma once
// The processor status fields across the top of the main window (PC, ACC,
// ... R7), each showing the engine's text of its field; red while the
// workbench is busy.

#include <map>
#include <string>

#include <QFrame>

#include "debugger/statusfields.h"

class QLabel;

namespace dorvik::gui {

class StatusPanel : public QFrame {
 public:
  explicit StatusPanel(QWidget* parent);
  // The field "st" + Name or Name (nullptr when there is none).
  QLabel* Field(const std::string& name) const;
  // The fields written from the engine's texts: all of them, or only the PC
  // (a long run on the simulator that the PC field follows).
  void Show(const DebugStatusState& status, bool onlyPC);
  void ShowBusy(bool busy);

 private:
  std::map<std::string, QLabel*> fields_;
};

}  // namespace dorvik::gui
