#pragma once
// The workbench's faces of the engine's dialogs: numbered message boxes as
// Qt message boxes, the input and progress dialogs over their logic in
// base/dialogs, and the line assembler dialog over debugger/lineasm.

#include <memory>
#include <string>

#include <QDialog>

#include "platform/dialogs.h"
#include "platform/reporter.h"

class QComboBox;
class QLabel;
class QListWidget;
class QProgressDialog;
class QPushButton;

namespace dorvik::gui {

class TValidComboBox;

// Message boxes of the message service as modal Qt message boxes.
class QtReporter : public platform::MessageReporter {
 public:
  int ShowBox(const platform::MessageBox& box) override;
};

// The one-line input, the name/value input and the progress dialog.
class QtDialogs : public platform::DialogUi {
 public:
  QtDialogs();
  ~QtDialogs() override;
  platform::InputReply AskInput(const platform::InputPrompt& prompt) override;
  platform::PairReply AskPair(const platform::PairPrompt& prompt) override;
  std::string BrowseFile(std::string_view title) override;
  void ShowProgress(std::string_view caption) override;
  void UpdateProgress(int position, int max) override;
  bool CancelPressed() override;
  void HideProgress() override;
  QProgressDialog* Progress() const { return progress_.get(); }

 private:
  std::unique_ptr<QProgressDialog> progress_;
};

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
