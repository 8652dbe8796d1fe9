#include "gui/projects/configdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "base/dialogs.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/text.h"
#include "workspace/openproject.h"
#include "gui/projects/addfiletype.h"
#include "gui/dialogs/widgets.h"
#include "lang/formatting.h"
#include "lang/typedvalue.h"
#include "project/project.h"

namespace dorvik::gui {

namespace {

constexpr const char* kKindNames[] = {"", "Assembler", "PL/M", "C", "Include", "Link map", "Object", "Listing"};
constexpr const char* kSpeeds[] = {"115200", "57600", "38400"};
constexpr int kVariableNameTag = 20;
constexpr int kVariableValueTag = 21;

QLineEdit* SelectorEdit(const QString& name, const std::bitset<256>& set, QWidget* parent) {
  auto* edit = new QLineEdit(Text(SelectorText(set)), parent);
  edit->setObjectName(name);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9, ]*"), edit));
  return edit;
}

QTableWidget* Table(const QString& name, const QStringList& headers, QWidget* parent) {
  auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(headers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->horizontalHeader()->setStretchLastSection(true);
  table->verticalHeader()->hide();
  return table;
}

}  // namespace

TConfigDlg::TConfigDlg(QWidget* parent)
    : QDialog(parent), types_(Project().FileTypeList), variables_(Project().Variables) {
  setObjectName("ConfigDlg");
  setWindowTitle("Project options");
  auto* box = new QVBoxLayout(this);
  Pages = new QTabWidget(this);
  Pages->setObjectName("Pages");
  box->addWidget(Pages);
  BuildTypesPage();
  BuildOptionsPage();
  BuildEnvironmentPage();
  BuildButtons(*box);
  FillTypes();
  FillVariables();
  resize(560, 420);
}

void TConfigDlg::BuildTypesPage() {
  auto* typesPage = new QWidget(Pages);
  auto* typesGrid = new QGridLayout(typesPage);
  FileTypes = Table("FileTypes", {"Extension", "Type", "Compiler"}, typesPage);
  btnAddType = Button("btnAddType", "&Add...", typesPage);
  btnTypeProperties = Button("btnTypeProperties", "&Properties...", typesPage);
  btnRemoveType = Button("btnRemoveType", "&Remove", typesPage);
  typesGrid->addWidget(FileTypes, 0, 0, 4, 1);
  typesGrid->addWidget(btnAddType, 0, 1);
  typesGrid->addWidget(btnTypeProperties, 1, 1);
  typesGrid->addWidget(btnRemoveType, 2, 1);
  Pages->addTab(typesPage, "File Types");
  connect(btnAddType, &QPushButton::clicked, this, [this] { AddFileType(); });
  connect(btnTypeProperties, &QPushButton::clicked, this, [this] { EditFileType(); });
  connect(FileTypes, &QTableWidget::cellDoubleClicked, this, [this] { EditFileType(); });
  connect(btnRemoveType, &QPushButton::clicked, this, [this] { RemoveFileType(); });
}

void TConfigDlg::BuildOptionsPage() {
  auto* optionsPage = new QWidget(Pages);
  auto* form = new QFormLayout(optionsPage);
  RadioGroupDownloadSpeed = new QGroupBox("Download speed", optionsPage);
  RadioGroupDownloadSpeed->setObjectName("RadioGroupDownloadSpeed");
  downloadSpeeds = new QButtonGroup(this);
  auto* speeds = new QVBoxLayout(RadioGroupDownloadSpeed);
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(kSpeeds[i], RadioGroupDownloadSpeed);
    radio->setObjectName(QString("Speed") + kSpeeds[i]);
    downloadSpeeds->addButton(radio, i);
    speeds->addWidget(radio);
  }
  const LoaderOptions& loader = Project().Loader;
  SetDownloadSpeedIndex(loader.DownloadSpeed);
  form->addRow(RadioGroupDownloadSpeed);
  cbLoadAutomatically = new QCheckBox("Load automatically on start", optionsPage);
  cbLoadAutomatically->setObjectName("cbLoadAutomatically");
  cbLoadAutomatically->setChecked(loader.LoadAutomaticallyOnStart);
  form->addRow(cbLoadAutomatically);
  editLastLoadPath = new QLineEdit(Text(loader.LastLoadPath), optionsPage);
  editLastLoadPath->setObjectName("editLastLoadPath");
  form->addRow("Last load path", editLastLoadPath);
  cbIntMSBFirst = new QCheckBox("Integers: most significant byte first", optionsPage);
  cbIntMSBFirst->setObjectName("cbIntMSBFirst");
  cbIntMSBFirst->setChecked(TypedValues().IntMSBFirst);
  form->addRow(cbIntMSBFirst);
  cbFloatMSBFirst = new QCheckBox("Floats: most significant byte first", optionsPage);
  cbFloatMSBFirst->setObjectName("cbFloatMSBFirst");
  cbFloatMSBFirst->setChecked(TypedValues().FloatMSBFirst);
  form->addRow(cbFloatMSBFirst);
  const FormattingState& f = Formatting();
  editCodePtrSelectors = SelectorEdit("editCodePtrSelectors", f.CodePtrSelectors, optionsPage);
  editXDataPtrSelectors = SelectorEdit("editXDataPtrSelectors", f.XDataPtrSelectors, optionsPage);
  editPDataPtrSelectors = SelectorEdit("editPDataPtrSelectors", f.PDataPtrSelectors, optionsPage);
  editDataPtrSelectors = SelectorEdit("editDataPtrSelectors", f.DataPtrSelectors, optionsPage);
  form->addRow("CODE pointer selectors", editCodePtrSelectors);
  form->addRow("XDATA pointer selectors", editXDataPtrSelectors);
  form->addRow("PDATA pointer selectors", editPDataPtrSelectors);
  form->addRow("DATA pointer selectors", editDataPtrSelectors);
  labelSelectorError = new QLabel(optionsPage);
  labelSelectorError->setObjectName("labelSelectorError");
  labelSelectorError->setStyleSheet("QLabel { color: red; }");
  form->addRow(labelSelectorError);
  Pages->addTab(optionsPage, "Options");
}

void TConfigDlg::BuildEnvironmentPage() {
  auto* envPage = new QWidget(Pages);
  auto* envGrid = new QGridLayout(envPage);
  Variables = Table("Variables", {"Name", "Value"}, envPage);
  btnAddVariable = Button("btnAddVariable", "&Add...", envPage);
  btnRemoveVariable = Button("btnRemoveVariable", "&Remove", envPage);
  envGrid->addWidget(Variables, 0, 0, 3, 1);
  envGrid->addWidget(btnAddVariable, 0, 1);
  envGrid->addWidget(btnRemoveVariable, 1, 1);
  Pages->addTab(envPage, "Environment");
  connect(btnAddVariable, &QPushButton::clicked, this, [this] { AddVariable(); });
  connect(btnRemoveVariable, &QPushButton::clicked, this, [this] { RemoveVariable(); });
}

void TConfigDlg::BuildButtons(QVBoxLayout& box) {
  auto* buttons = new QHBoxLayout;
  btnOK = Button("btnOK", "OK", this);
  btnCancel = Button("btnCancel", "Cancel", this);
  btnOK->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  box.addLayout(buttons);
  connect(btnOK, &QPushButton::clicked, this, [this] {
    if (Apply()) done(1);
  });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
}

int TConfigDlg::DownloadSpeedIndex() const { return std::max(downloadSpeeds->checkedId(), 0); }

void TConfigDlg::SetDownloadSpeedIndex(int index) {
  if (QAbstractButton* b = downloadSpeeds->button(index >= 0 && index < 3 ? index : 0)) b->setChecked(true);
}

void TConfigDlg::FillTypes() {
  FileTypes->setRowCount(static_cast<int>(types_.size()));
  for (size_t i = 0; i < types_.size(); ++i) {
    const tFileTypeRec& t = types_[i];
    const int row = static_cast<int>(i);
    FileTypes->setItem(row, 0, new QTableWidgetItem(Text(t.Extension)));
    FileTypes->setItem(row, 1, new QTableWidgetItem(t.Kind <= 7 ? kKindNames[t.Kind] : ""));
    FileTypes->setItem(row, 2, new QTableWidgetItem(Text(t.Compiler)));
  }
}

void TConfigDlg::FillVariables() {
  Variables->setRowCount(static_cast<int>(variables_.size()));
  for (size_t i = 0; i < variables_.size(); ++i) {
    Variables->setItem(static_cast<int>(i), 0, new QTableWidgetItem(Text(variables_[i].first)));
    Variables->setItem(static_cast<int>(i), 1, new QTableWidgetItem(Text(variables_[i].second)));
  }
}

void TConfigDlg::AddFileType() {
  TAdd_File_Type dialog(this);
  if (dialog.exec() != 1) return;
  const tFileTypeRec type = dialog.FileType();
  if (type.Extension.size() < 2) return;
  // A registered extension takes the new settings.
  const auto it = std::find_if(types_.begin(), types_.end(), [&](const tFileTypeRec& t) { return t.Extension == type.Extension; });
  if (it != types_.end())
    *it = type;
  else
    types_.push_back(type);
  FillTypes();
}

void TConfigDlg::EditFileType() {
  const int row = FileTypes->currentRow();
  if (row < 0 || row >= static_cast<int>(types_.size())) return;
  TAdd_File_Type dialog(this);
  dialog.SetFileType(types_[static_cast<size_t>(row)]);
  if (dialog.exec() != 1) return;
  const tFileTypeRec type = dialog.FileType();
  if (type.Extension.size() < 2) return;
  types_[static_cast<size_t>(row)] = type;
  FillTypes();
}

void TConfigDlg::RemoveFileType() {
  const int row = FileTypes->currentRow();
  if (row < 0 || row >= static_cast<int>(types_.size())) return;
  types_.erase(types_.begin() + row);
  FillTypes();
}

void TConfigDlg::AddVariable() {
  TInputDialog2& dialog = Dialogs().InputDialog2;
  dialog.BrowseVisible = true;
  dialog.comboName.Tag = kVariableNameTag;
  dialog.ComboValue.Tag = kVariableValueTag;
  dialog.comboName.Text.clear();
  dialog.ComboValue.Text.clear();
  const int result = dialog.ShowModal();
  dialog.BrowseVisible = false;
  if (result != kModalOk) return;
  const std::string name = TrimBlanks(dialog.comboName.Text);
  if (name.empty()) return;
  const std::string value = dialog.ComboValue.Text;
  const auto it = std::find_if(variables_.begin(), variables_.end(), [&](const auto& v) { return v.first == name; });
  if (it != variables_.end())
    it->second = value;
  else
    variables_.emplace_back(name, value);
  FillVariables();
}

void TConfigDlg::RemoveVariable() {
  const int row = Variables->currentRow();
  if (row < 0 || row >= static_cast<int>(variables_.size())) return;
  variables_.erase(variables_.begin() + row);
  FillVariables();
}

bool TConfigDlg::Apply() {
  std::bitset<256> code, xdata, pdata, data;
  struct SelectorField {
    QLineEdit* Edit;
    std::bitset<256>* Set;
    const char* Name;
  };
  const SelectorField sets[] = {{editCodePtrSelectors, &code, "CODE pointer selectors"},
                                {editXDataPtrSelectors, &xdata, "XDATA pointer selectors"},
                                {editPDataPtrSelectors, &pdata, "PDATA pointer selectors"},
                                {editDataPtrSelectors, &data, "DATA pointer selectors"}};
  labelSelectorError->clear();
  for (const SelectorField& field : sets) {
    if (!ParseSelectorText(field.Edit->text().toStdString(), *field.Set)) {
      // Not a list of byte values: its message names the field, and nothing is applied.
      const tErrType* row = FindErrorMessage(err::kSyntaxError);
      labelSelectorError->setText(QString("%1: Error #%2: %3")
                                      .arg(field.Name)
                                      .arg(err::kSyntaxError)
                                      .arg(row != nullptr ? Text(std::string(row->Text)) : QString()));
      Pages->setCurrentIndex(1);
      field.Edit->setFocus();
      field.Edit->selectAll();
      return false;
    }
  }
  FormattingState& f = Formatting();
  f.CodePtrSelectors = code;
  f.XDataPtrSelectors = xdata;
  f.PDataPtrSelectors = pdata;
  f.DataPtrSelectors = data;
  TypedValues().IntMSBFirst = cbIntMSBFirst->isChecked();
  TypedValues().FloatMSBFirst = cbFloatMSBFirst->isChecked();
  LoaderOptions& loader = Project().Loader;
  loader.DownloadSpeed = DownloadSpeedIndex();
  loader.LoadAutomaticallyOnStart = cbLoadAutomatically->isChecked();
  loader.LastLoadPath = TrimBlanks(editLastLoadPath->text().toStdString());
  Project().FileTypeList = types_;
  Project().Variables = variables_;
  return true;
}

}  // namespace dorvik::gui
