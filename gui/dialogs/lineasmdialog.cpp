#include "gui/dialogs/lineasmdialog.h"

#include <QCompleter>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <string>
#include <vector>

#include "debugger/lineasm.h"
#include "gui/dialogs/validators.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

LineAsmDialog::LineAsmDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("AssemblyDialog");
  setWindowTitle("Line Assembler");
  auto* grid = new QGridLayout(this);
  comboASMAddress = new TValidComboBox(this);
  comboASMAddress->setObjectName("comboASMAddress");
  comboASMAddress->SetValidator(std::make_unique<TFilterValidator>(ExpressionChars));
  comboASMStatement = EditableCombo("comboASMStatement", this);
  staticASMResult = new QLabel(this);
  staticASMResult->setObjectName("staticASMResult");
  staticASMResult->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  AsmListBox = new QListWidget(this);
  AsmListBox->setObjectName("AsmListBox");
  AsmListBox->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  btnAssembly = Button("btnAssembly", "Assembly", this);
  btnClear = Button("btnClear", "Clear", this);
  btnDone = Button("btnDone", "Done", this);
  btnAssembly->setDefault(true);
  btnClear->setVisible(false);
  grid->addWidget(new QLabel("Assembly at address (HEX)", this), 0, 0);
  grid->addWidget(comboASMAddress, 0, 1);
  grid->addWidget(new QLabel("Mnemonics", this), 1, 0);
  grid->addWidget(comboASMStatement, 1, 1);
  grid->addWidget(new QLabel("Result", this), 2, 0);
  grid->addWidget(staticASMResult, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnAssembly);
  buttons->addWidget(btnClear);
  buttons->addWidget(btnDone);
  grid->addLayout(buttons, 3, 0, 1, 2);
  grid->addWidget(AsmListBox, 4, 0, 1, 2);

  // The histories offer their items in a list; nothing is completed into
  // the text, so what is typed is what gets assembled, where it was typed.
  for (QComboBox* combo : {static_cast<QComboBox*>(comboASMAddress), comboASMStatement}) {
    combo->setInsertPolicy(QComboBox::NoInsert);
    if (QCompleter* completer = combo->completer()) completer->setCompletionMode(QCompleter::PopupCompletion);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(24);
  }
  staticASMResult->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  CreateLineAssembler();
  ToWidgets();
  connect(btnAssembly, &QPushButton::clicked, this, [this] { AssemblyLine(); });
  connect(btnClear, &QPushButton::clicked, this, [this] {
    comboASMStatement->setEditText({});
    staticASMResult->clear();
    comboASMStatement->setFocus();
  });
  connect(btnDone, &QPushButton::clicked, this, &QDialog::accept);
  connect(comboASMAddress->lineEdit(), &QLineEdit::textEdited, this, [this] { TestValidInput(); });
  connect(AsmListBox, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { SelectItem(AsmListBox->row(item)); });
}

LineAsmDialog::~LineAsmDialog() { DestroyLineAssembler(); }

void LineAsmDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  ShowLineAssembler();
  ToWidgets();
  comboASMStatement->setFocus();
}

namespace {

// No statement or address is longer: a longer history item (a damaged
// history file) or text is shown cut.
constexpr size_t kLineAsmTextLimit = 255;

std::string Cut(const std::string& text) {
  return text.size() > kLineAsmTextLimit ? text.substr(0, kLineAsmTextLimit) + "..." : text;
}

std::vector<std::string> CutItems(const std::vector<std::string>& items) {
  std::vector<std::string> cut;
  cut.reserve(items.size());
  for (const std::string& item : items) cut.push_back(Cut(item));
  return cut;
}

}  // namespace

void LineAsmDialog::ToWidgets() {
  const LineAsmState& s = LineAsm();
  FillCombo(*comboASMAddress, CutItems(s.Address.Items), s.Address.Text);
  FillCombo(*comboASMStatement, CutItems(s.Statement.Items), s.Statement.Text);
  staticASMResult->setText(Text(Cut(s.Result)));
  for (size_t i = static_cast<size_t>(AsmListBox->count()); i < s.Lines.size(); ++i)
    AsmListBox->addItem(Text(Cut(s.Lines[i])));
}

void LineAsmDialog::TestValidInput() {
  QString text = comboASMAddress->currentText();
  TValidator* v = comboASMAddress->Validator();
  while (!text.isEmpty() && v != nullptr && !v->IsValid(text.toStdString())) text.chop(1);
  if (text != comboASMAddress->currentText()) comboASMAddress->setEditText(text);
}

void LineAsmDialog::AssemblyLine() {
  LineAsmState& s = LineAsm();
  s.Address.Text = comboASMAddress->currentText().toStdString();
  s.Statement.Text = comboASMStatement->currentText().toStdString();
  bool addressOk = false;
  const auto work = [&] {
    addressOk = AcceptAsmAddress();
    if (addressOk) AssembleStatement();
  };
  if (Guard)
    Guard(work);
  else
    work();
  ToWidgets();
  if (!addressOk) {
    comboASMAddress->setFocus();
    comboASMAddress->lineEdit()->selectAll();
    return;
  }
  comboASMStatement->setFocus();
  comboASMStatement->lineEdit()->selectAll();
}

void LineAsmDialog::SelectItem(int row) {
  if (row < 0) return;
  SelectAssembledLine(static_cast<size_t>(row));
  comboASMStatement->setEditText(Text(LineAsm().Statement.Text));
  comboASMStatement->setFocus();
}

}  // namespace dorvik::gui
