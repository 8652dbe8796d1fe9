#include "gui/dialogs/qtchooser.h"

#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <memory>

#include "gui/dialogs/validators.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

QtChooser::QtChooser() { SetChooser(this); }

QtChooser::~QtChooser() {
  if (&Choosers() == this) SetChooser(nullptr);
}

std::string QtChooser::OpenFile(const FileQuestion& q) {
  return QFileDialog::getOpenFileName(q.Parent, q.Caption, q.Start, q.Filter).toStdString();
}

std::string QtChooser::SaveFile(const FileQuestion& q) {
  return QFileDialog::getSaveFileName(q.Parent, q.Caption, q.Start, q.Filter).toStdString();
}

QStringList QtChooser::OpenFiles(const FileQuestion& q) {
  QFileDialog dialog(q.Parent, q.Caption, {}, q.Filter);
  dialog.setObjectName(q.Name);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  if (!q.Start.isEmpty()) dialog.setDirectory(q.Start);
  if (!q.Selected.isEmpty()) dialog.selectFile(q.Selected);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

std::optional<std::string> QtChooser::AskValue(const ValueQuestion& q) {
  // A validated control: OK with a bad value gives its message while the
  // dialog stays open with the text, for another try or Cancel.
  QDialog dialog(q.Parent);
  dialog.setObjectName(q.Name);
  dialog.setWindowTitle(Text(q.Caption));
  auto* grid = new QGridLayout(&dialog);
  auto* edit = new TNumValidEdit(&dialog);
  edit->setObjectName(q.FieldName);
  edit->SetValidator(std::make_unique<THEXRangeValidator>(q.Low, q.High));
  edit->setText(Text(q.Value));
  QPushButton* ok = Button("btnOK", "OK", &dialog);
  QPushButton* cancel = Button("btnCancel", "Cancel", &dialog);
  ok->setDefault(true);
  grid->addWidget(new QLabel(Text(q.Label), &dialog), 0, 0, 1, 2);
  grid->addWidget(edit, 1, 0, 1, 2);
  grid->addWidget(ok, 2, 0);
  grid->addWidget(cancel, 2, 1);
  QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog, edit, &q] {
    if (!q.Accept || q.Accept(edit->text().toStdString())) {
      dialog.accept();
      return;
    }
    edit->setFocus();
    edit->selectAll();
  });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->text().toStdString();
}

}  // namespace dorvik::gui
