#include "gui/projects/addfiletype.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/text.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/chooser.h"

namespace dorvik::gui {

namespace {

// The type list's items by kind (1 ... 7).
constexpr const char* kTypeItems[] = {"Assembler", "PL/M", "C", "Include", "Link map", "Object", "Listing"};

}  // namespace

TAdd_File_Type::TAdd_File_Type(QWidget* parent) : QDialog(parent) {
  setObjectName("Add_File_Type");
  setWindowTitle("File type");
  auto* grid = new QGridLayout(this);
  editExtension = new QLineEdit(this);
  editExtension->setObjectName("editExtension");
  comboType = Combo("comboType", false, this);
  for (const char* item : kTypeItems) comboType->addItem(item);
  editTool = new QLineEdit(this);
  editTool->setObjectName("editTool");
  btnBrowse = Button("btnBrowse", "&Browse...", this);
  btnOK = Button("btnOK", "OK", this);
  btnCancel = Button("btnCancel", "Cancel", this);
  btnOK->setDefault(true);
  grid->addWidget(new QLabel("Extension", this), 0, 0);
  grid->addWidget(editExtension, 0, 1);
  grid->addWidget(new QLabel("Type", this), 1, 0);
  grid->addWidget(comboType, 1, 1);
  grid->addWidget(new QLabel("Compiler", this), 2, 0);
  grid->addWidget(editTool, 2, 1);
  grid->addWidget(btnBrowse, 2, 2);
  grid->addWidget(btnOK, 3, 1, Qt::AlignRight);
  grid->addWidget(btnCancel, 3, 2);
  connect(btnBrowse, &QPushButton::clicked, this, [this] { BrowseCompiler(); });
  connect(btnOK, &QPushButton::clicked, this, [this] { done(1); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
  resize(460, 150);
}

tFileTypeRec TAdd_File_Type::FileType() const {
  std::string ext = UpperCase(TrimBlanks(editExtension->text().toStdString()));
  if (!ext.empty() && ext.front() != '.') ext.insert(ext.begin(), '.');
  return {static_cast<uint8_t>(comboType->currentIndex() + 1), ext, TrimBlanks(editTool->text().toStdString())};
}

void TAdd_File_Type::SetFileType(const tFileTypeRec& type) {
  editExtension->setText(Text(type.Extension));
  if (type.Kind >= 1 && type.Kind <= 7) comboType->setCurrentIndex(type.Kind - 1);
  editTool->setText(Text(type.Compiler));
}

void TAdd_File_Type::SelectTypeItem(std::string_view item) {
  const int index = comboType->findText(Text(item), Qt::MatchFixedString);
  if (index >= 0) comboType->setCurrentIndex(index);
}

void TAdd_File_Type::BrowseCompiler() {
  const std::string chosen =
      Choosers().OpenFile({.Parent = this, .Caption = "Compiler", .Start = "/usr/bin", .Filter = "Programs (*)"});
  if (!chosen.empty()) editTool->setText(Text(chosen));
}

std::string TAdd_File_Type::AskCompiler(std::string_view typeItem) {
  TAdd_File_Type dialog(QApplication::activeWindow());
  dialog.SelectTypeItem(typeItem);
  dialog.BrowseCompiler();
  if (dialog.exec() != 1) return {};
  return TrimBlanks(dialog.editTool->text().toStdString());
}

}  // namespace dorvik::gui
