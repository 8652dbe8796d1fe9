#pragma once
// The terminal window's interior.

#include <string>
#include <vector>

#include <QPlainTextEdit>

namespace dorvik::gui {

class Workbench;

// The terminal console as a text view over the terminal model that the
// console front end uses: keys go to the model, the model's text is shown.
class TerminalEdit : public QPlainTextEdit {
 public:
  TerminalEdit(Workbench& bench, QWidget* parent);
  // Shows what changed in the model's text and puts the caret where the model has it.
  void Render();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  Workbench& bench_;
  std::vector<std::string> shown_;
};

}  // namespace dorvik::gui
