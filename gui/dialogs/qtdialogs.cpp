#include "gui/dialogs/qtdialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>

#include "gui/dialogs/widgets.h"
#include "gui/ground/chooser.h"
#include "gui/ground/windowpump.h"

namespace dorvik::gui {

namespace {

// The OK, Browse and Cancel buttons of an input dialog on row Row of Grid from
// column Column; the button pressed goes into Action (Cancel when none was).
void AddDialogButtons(QDialog& dialog, QGridLayout& grid, int row, int column, bool browseVisible,
                      platform::DialogAction& action) {
  QPushButton* ok = Button("btnOK", "OK", &dialog);
  QPushButton* browse = Button("btnBrowse", "Browse", &dialog);
  QPushButton* cancel = Button("btnCancel", "Cancel", &dialog);
  ok->setDefault(true);
  browse->setVisible(browseVisible);
  grid.addWidget(ok, row, column);
  grid.addWidget(browse, row, column + 1);
  grid.addWidget(cancel, row, column + 2);
  action = platform::DialogAction::Cancel;
  QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog, &action] {
    action = platform::DialogAction::Ok;
    dialog.accept();
  });
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, &action] {
    action = platform::DialogAction::Browse;
    dialog.accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
}

}  // namespace

// --- Message boxes -------------------------------------------------------------

namespace {

// One modal Qt message box; the button pressed.
int ShowModalBox(const platform::MessageBox& box) {
  using platform::BoxButtons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (box.Icon) {
    case platform::BoxIcon::Stop: icon = QMessageBox::Critical; break;
    case platform::BoxIcon::Question: icon = QMessageBox::Question; break;
    case platform::BoxIcon::Exclamation: icon = QMessageBox::Warning; break;
    case platform::BoxIcon::Information: icon = QMessageBox::Information; break;
    case platform::BoxIcon::None: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (box.Buttons) {
    case BoxButtons::Ok: buttons = QMessageBox::Ok; break;
    case BoxButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case BoxButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case BoxButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case BoxButtons::YesNoCancelHelp:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Help;
      break;
  }
  // The wait form never covers a box: it goes while the box is up.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() == "WaitForm") top->hide();
    for (QWidget* w : top->findChildren<QWidget*>("WaitForm", Qt::FindDirectChildrenOnly)) w->hide();
  }
  // Above the dialog that is running (the load dialog during a load), also
  // when another window has the focus.
  QWidget* parent = QApplication::activeModalWidget();
  if (parent == nullptr) parent = QApplication::activeWindow();
  // The window in front and the widget with the keyboard when the box came
  // (the terminal for a command typed there) have them back after it.
  const QPointer<QWidget> front = parent;
  const QPointer<QWidget> focused = QApplication::focusWidget();
  QMessageBox dialog(icon, Text(box.Caption), Text(box.Text), buttons, parent);
  dialog.setObjectName("MessageBox");
  const int answer = dialog.exec();
  dialog.hide();
  if (front && front->isVisible()) {
    front->raise();
    front->activateWindow();
  }
  if (focused && focused->isVisible() && focused->isEnabled()) focused->setFocus(Qt::ActiveWindowFocusReason);
  switch (answer) {
    case QMessageBox::Ok: return platform::kBoxOk;
    case QMessageBox::Yes: return platform::kBoxYes;
    case QMessageBox::No: return platform::kBoxNo;
    default: return box.Buttons == BoxButtons::YesNo ? platform::kBoxNo : platform::kBoxCancel;
  }
}

}  // namespace

int QtReporter::ShowBox(const platform::MessageBox& box) {
  ++depth_;
  const int result = ShowModalBox(box);
  // A box shown inside another's leaves the window to the outer one.
  if (--depth_ == 0 && AfterBox) AfterBox();
  return result;
}

// --- Input and progress dialogs --------------------------------------------------

QtDialogs::QtDialogs() = default;
QtDialogs::~QtDialogs() = default;

platform::InputReply QtDialogs::AskInput(const platform::InputPrompt& prompt) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setObjectName("InputDialog");
  dialog.setWindowTitle(Text(prompt.Caption));
  auto* grid = new QGridLayout(&dialog);
  auto* combo = EditableCombo("comboBox1", &dialog);
  FillCombo(*combo, prompt.History, prompt.Text);
  grid->addWidget(new QLabel(Text(prompt.Label), &dialog), 0, 0, 1, 3);
  grid->addWidget(combo, 1, 0, 1, 3);
  platform::DialogAction action;
  AddDialogButtons(dialog, *grid, 2, 0, prompt.BrowseVisible, action);
  combo->setFocus();
  dialog.exec();
  return {action, combo->currentText().toStdString()};
}

platform::PairReply QtDialogs::AskPair(const platform::PairPrompt& prompt) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setObjectName("InputDialog2");
  dialog.setWindowTitle(Text(prompt.Caption));
  auto* grid = new QGridLayout(&dialog);
  auto* name = EditableCombo("comboName", &dialog);
  auto* value = EditableCombo("ComboValue", &dialog);
  FillCombo(*name, prompt.NameHistory, prompt.Name);
  FillCombo(*value, prompt.ValueHistory, prompt.Value);
  grid->addWidget(new QLabel(Text(prompt.NameLabel), &dialog), 0, 0);
  grid->addWidget(name, 0, 1, 1, 3);
  grid->addWidget(new QLabel(Text(prompt.ValueLabel), &dialog), 1, 0);
  grid->addWidget(value, 1, 1, 1, 3);
  platform::PairReply reply;
  AddDialogButtons(dialog, *grid, 2, 1, prompt.BrowseVisible, reply.Action);
  QObject::connect(name->lineEdit(), &QLineEdit::textEdited, &dialog, [&] { reply.NameEdited = true; });
  QObject::connect(name, &QComboBox::activated, &dialog, [&] { reply.NameEdited = true; });
  name->setFocus();
  dialog.exec();
  reply.Name = name->currentText().toStdString();
  reply.Value = value->currentText().toStdString();
  return reply;
}

std::string QtDialogs::BrowseFile(std::string_view title) {
  return Choosers().OpenFile({.Parent = QApplication::activeWindow(), .Caption = Text(title)});
}

void QtDialogs::ShowProgress(std::string_view caption) {
  if (!progress_) {
    progress_ = std::make_unique<QProgressDialog>(QApplication::activeWindow());
    progress_->setObjectName("ProgressDlg");
    progress_->setCancelButtonText("Cancel");
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    progress_->setWindowModality(Qt::ApplicationModal);
  }
  progress_->reset();
  progress_->setWindowTitle(Text(caption));
  progress_->setLabelText(Text(caption));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->show();
}

void QtDialogs::UpdateProgress(int position, int max) {
  if (!progress_) return;
  progress_->setRange(0, std::max(max, 1));
  progress_->setValue(std::clamp(position, 0, std::max(max, 1)));
}

bool QtDialogs::CancelPressed() {
  if (!progress_) return false;
  PumpWithWindowEvents();
  return progress_->wasCanceled();
}

void QtDialogs::HideProgress() {
  if (progress_) progress_->hide();
}

}  // namespace dorvik::gui
