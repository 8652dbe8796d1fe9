#include "gui/editor/finddialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "project/project.h"
#include "debugger/bpnames.h"
#include "debugger/editormodel.h"
#include "editor/codeeditor.h"
#include "gui/editor/editorpages.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

namespace {

// The text box, the two options and the find button of both dialogs on their grid.
void SearchControls(QDialog& dialog, QGridLayout* grid, QComboBox*& text, QCheckBox*& matchCase,
                    QCheckBox*& wholeWord, QPushButton*& find, const QString& findCaption) {
  grid->addWidget(new QLabel("Text to find:", &dialog), 0, 0);
  text = Combo("comboText", true, &dialog);
  text->setMinimumWidth(260);
  grid->addWidget(text, 0, 1);
  matchCase = new QCheckBox("&Match case", &dialog);
  matchCase->setObjectName("checkMatchCase");
  wholeWord = new QCheckBox("&Whole word", &dialog);
  wholeWord->setObjectName("checkWholeWord");
  grid->addWidget(matchCase, 1, 1);
  grid->addWidget(wholeWord, 2, 1);
  find = new QPushButton(findCaption, &dialog);
  find->setObjectName("btnFind");
  find->setDefault(true);
  grid->addWidget(find, 0, 2);
}

}  // namespace

FindDialog::FindDialog(EditorPages& pages, QWidget* parent) : QDialog(parent), pages_(pages) {
  setObjectName("FindDlg");
  setWindowTitle("Find");
  auto* grid = new QGridLayout(this);
  SearchControls(*this, grid, comboText, checkMatchCase, checkWholeWord, btnFind, "&Find next");
  auto* close = Button("btnClose", "Close", this);
  grid->addWidget(close, 1, 2);
  connect(btnFind, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

bool FindDialog::FindNext() {
  const QString text = comboText->currentText();
  if (text.isEmpty()) return false;
  if (comboText->findText(text) < 0) comboText->insertItem(0, text);
  return pages_.FindNext(text.toStdString(), checkMatchCase->isChecked(), checkWholeWord->isChecked());
}

std::vector<FileHit> FindInProjectFiles(const std::string& text, bool matchCase, bool wholeWord) {
  std::vector<FileHit> hits;
  std::vector<std::string> searched;
  for (const tModuleRec& module : Project().ProjectModules) {
    if (std::find(searched.begin(), searched.end(), module.FileName) != searched.end()) continue;
    searched.push_back(module.FileName);
    TEditSheet file;
    TEditSheet* sheet = PageAt(OpenFileInEditor(module.FileName, false));
    if (!sheet) {
      if (ReadEditorFile(module.FileName, file) != EditorFileStatus::kRead) continue;
      sheet = &file;
    }
    TPoint from{0, 0};
    for (;;) {
      TPoint found;
      SearchEditor(*sheet, text, {matchCase, wholeWord}, found, from);
      if (found.Y < 0) break;
      hits.push_back({module.FileName, found.Y, sheet->Editor.Lines[static_cast<size_t>(found.Y)]});
      from = {0, found.Y + 1};  // one hit a line
    }
  }
  return hits;
}

FindInFilesDialog::FindInFilesDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("FindInFilesDlg");
  setWindowTitle("Find in files");
  auto* grid = new QGridLayout(this);
  SearchControls(*this, grid, comboText, checkMatchCase, checkWholeWord, btnFind, "&Find");
  listHits = new QListWidget(this);
  listHits->setObjectName("listHits");
  listHits->setMinimumSize(520, 200);
  grid->addWidget(listHits, 3, 0, 1, 3);
  connect(btnFind, &QPushButton::clicked, this, [this] { Search(); });
  connect(listHits, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { OpenHit(listHits->row(item)); });
}

int FindInFilesDialog::Search() {
  listHits->clear();
  const QString text = comboText->currentText();
  if (text.isEmpty()) return 0;
  if (comboText->findText(text) < 0) comboText->insertItem(0, text);
  hits_ = FindInProjectFiles(text.toStdString(), checkMatchCase->isChecked(), checkWholeWord->isChecked());
  for (const FileHit& hit : hits_)
    listHits->addItem(Text(hit.FileName + ":" + std::to_string(hit.Line + 1) + ": " + hit.Text));
  if (hits_.empty()) listHits->addItem("No occurence of \"" + text + "\" found.");
  return static_cast<int>(hits_.size());
}

void FindInFilesDialog::OpenHit(int row) {
  if (row < 0 || static_cast<size_t>(row) >= hits_.size()) return;
  const FileHit& hit = hits_[static_cast<size_t>(row)];
  SetLineMark(hit.Line + 1, EditorModel().LocateLine, hit.FileName, kLocateLineColor, true, true);
  if (HitOpened) HitOpened();
}

}  // namespace dorvik::gui
