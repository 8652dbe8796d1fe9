#pragma once
// Debug | Evaluate/Modify: an expression's value in every radix and its
// typed value; the modify field writes the variable or memory it names.

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/dialogs/validators.h"

namespace dorvik::gui {

class EvaluateDialog : public QDialog {
 public:
  explicit EvaluateDialog(QWidget* parent);
  // Evaluates the expression field into the result (nothing read while the
  // program runs or the target is busy).
  void Evaluate();
  // Writes the modify field's value to what the expression names, then
  // evaluates again.
  void Modify();

  ValidLineEdit* ExpressionEdit;
  ValidLineEdit* NewValueEdit;
  QPlainTextEdit* Result;
  QPushButton* EvaluateButton;
  QPushButton* ModifyButton;

 private:
  TFilterValidator expressionFilter_;
  TFilterValidator valueFilter_;
};

}  // namespace dorvik::gui
