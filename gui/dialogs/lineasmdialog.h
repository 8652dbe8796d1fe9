#pragma once
// The line assembler dialog over debugger/lineasm.

#include <functional>

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace dorvik::gui {

class TValidComboBox;

// The line assembler: an address (an expression), a statement, the result and
// the lines assembled so far. Histories are loaded when it is made and saved
// when it goes, if they changed.
class LineAsmDialog : public QDialog {
 public:
  explicit LineAsmDialog(QWidget* parent = nullptr);
  ~LineAsmDialog() override;

  // The Assembly button: the address is checked (it keeps the focus when it
  // does not evaluate), then the statement assembled into code memory.
  void AssemblyLine();
  // Runs the assembly as the main window runs a command (busy state, errors);
  // unset, it runs as it is.
  std::function<void(const std::function<void()>& work)> Guard;

  TValidComboBox* comboASMAddress;
  QComboBox* comboASMStatement;
  QLabel* staticASMResult;
  QListWidget* AsmListBox;
  QPushButton* btnAssembly;
  QPushButton* btnClear;
  QPushButton* btnDone;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void ToWidgets();
  void TestValidInput();
  void SelectItem(int row);
};

}  // namespace dorvik::gui
