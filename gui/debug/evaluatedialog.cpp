#include "gui/debug/evaluatedialog.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>

#include "debugger/toolviews.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

EvaluateDialog::EvaluateDialog(QWidget* parent)
    : QDialog(parent), expressionFilter_(ExpressionChars), valueFilter_(ExpressionChars) {
  setObjectName("EvaluateDlg");
  setWindowTitle("Evaluate/Modify");
  auto* form = new QFormLayout(this);
  ExpressionEdit = new ValidLineEdit(this);
  ExpressionEdit->setObjectName("ExpressionEdit");
  ExpressionEdit->Validator = &expressionFilter_;
  form->addRow("Expression:", ExpressionEdit);
  Result = new QPlainTextEdit(this);
  Result->setObjectName("Result");
  Result->setReadOnly(true);
  Result->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  form->addRow("Result:", Result);
  NewValueEdit = new ValidLineEdit(this);
  NewValueEdit->setObjectName("NewValueEdit");
  NewValueEdit->Validator = &valueFilter_;
  form->addRow("New value:", NewValueEdit);
  auto* bar = new QHBoxLayout;
  EvaluateButton = Button("btnEvaluate", "Evaluate", this);
  ModifyButton = Button("btnModify", "Modify", this);
  auto* close = Button("btnClose", "Close", this);
  bar->addWidget(EvaluateButton);
  bar->addWidget(ModifyButton);
  bar->addStretch(1);
  bar->addWidget(close);
  form->addRow(bar);
  connect(EvaluateButton, &QPushButton::clicked, this, [this] { Evaluate(); });
  connect(ExpressionEdit, &QLineEdit::returnPressed, this, [this] { Evaluate(); });
  connect(ModifyButton, &QPushButton::clicked, this, [this] { Modify(); });
  connect(NewValueEdit, &QLineEdit::returnPressed, this, [this] { Modify(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  resize(420, 280);
}

void EvaluateDialog::Evaluate() {
  if (!ViewsMayRead()) {
    Result->setPlainText(Text(BusyErrorLine()));
    return;
  }
  const std::string text = ExpressionEdit->text().trimmed().toStdString();
  if (text.empty()) return;
  const ViewValue v = EvaluateForView(text, false);
  if (!v.Ok) {
    Result->setPlainText(Text(v.Error));
    return;
  }
  QString shown = Text(v.Typed);
  for (const std::string& line : AllRadixTexts(v.Value)) shown += "\n" + Text(line);
  Result->setPlainText(shown);
}

void EvaluateDialog::Modify() {
  if (!ViewsMayRead()) {
    Result->setPlainText(Text(BusyErrorLine()));
    return;
  }
  const std::string value = NewValueEdit->text().trimmed().toStdString();
  if (value.empty()) return;
  std::string error;
  if (!ModifyExpressionValue(ExpressionEdit->text().trimmed().toStdString(), value, error)) {
    Result->setPlainText(Text(error));
    return;
  }
  Evaluate();
}

}  // namespace dorvik::gui
