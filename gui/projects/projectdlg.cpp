#include "gui/projects/projectdlg.h"

#include <QGridLayout>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include "base/messages.h"
#include "base/msgids.h"
#include "base/text.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/chooser.h"

namespace dorvik::gui {

ProjectDlg::ProjectDlg(QWidget* parent) : QDialog(parent), modules_(Project().ProjectModules) {
  setObjectName("ProjectDlg");
  setWindowTitle("Project manager");
  auto* grid = new QGridLayout(this);
  ModuleList = new QListWidget(this);
  ModuleList->setObjectName("ModuleList");
  grid->addWidget(ModuleList, 0, 0, 7, 1);
  btnAdd = Button("btnAdd", "&Add...", this);
  btnRemove = Button("btnRemove", "&Remove", this);
  btnUp = Button("btnUp", "Move &up", this);
  btnDown = Button("btnDown", "Move &down", this);
  btnOK = Button("btnOK", "OK", this);
  btnCancel = Button("btnCancel", "Cancel", this);
  btnOK->setDefault(true);
  int row = 0;
  for (QPushButton* b : {btnAdd, btnRemove, btnUp, btnDown}) grid->addWidget(b, row++, 1);
  grid->setRowStretch(row++, 1);
  grid->addWidget(btnOK, row++, 1);
  grid->addWidget(btnCancel, row, 1);
  connect(btnAdd, &QPushButton::clicked, this, [this] {
    // The project's folder first, where its modules usually are; a project
    // named relative to the working folder (p.QPC) is in that folder.
    const std::string& project = Project().ProjectFileName;
    std::error_code failed;
    const std::filesystem::path folder = std::filesystem::absolute(project, failed).parent_path();
    AddFiles(Choosers().OpenFiles(
        {.Parent = this,
         .Caption = "Add module",
         .Start = !project.empty() && !failed ? Text(folder.string()) : QString(),
         .Filter = "Sources (*.a51 *.asm *.c *.plm *.p51 *.A51 *.ASM *.C);;All files (*)",
         .Selected = PrjManOpenDlgFileName,
         .Name = "PrjManOpenDlg"}));
  });
  connect(btnRemove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(btnUp, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
  connect(btnDown, &QPushButton::clicked, this, [this] { MoveSelected(1); });
  connect(btnOK, &QPushButton::clicked, this, [this] { done(1); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
  resize(520, 300);
  Refill(0);
}

void ProjectDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (AddingFromLoader && !addShown_) {
    addShown_ = true;
    QTimer::singleShot(0, this, [this] { btnAdd->click(); });
  }
}

namespace {

constexpr const char* kKindNames[] = {"", "Assembler", "PL/M", "C", "Include", "Link map", "Object", "Listing"};

// The module's line: its name, its file and its file type.
std::string ModuleLine(const tModuleRec& m) {
  const tFileTypeRec* type = FindFileType(std::filesystem::path(m.FileName).extension().string());
  const std::string kind = type != nullptr && type->Kind <= 7 ? kKindNames[type->Kind] : "unregistered";
  return m.Name + "  " + m.FileName + "  (" + kind + ")";
}

}  // namespace

void ProjectDlg::Refill(int select) {
  ModuleList->clear();
  for (const tModuleRec& m : modules_) ModuleList->addItem(Text(ModuleLine(m)));
  if (select >= 0 && select < ModuleList->count()) ModuleList->setCurrentRow(select);
}

void ProjectDlg::AddFiles(const QStringList& files) {
  int select = ModuleList->currentRow();
  for (const QString& f : files) {
    const std::filesystem::path path(f.toStdString());
    // Every registered file type is listed (include files too: a build passes them over).
    if (FindFileType(path.extension().string()) == nullptr) {
      ReportError(err::kUnregisteredFileType, path.extension().string());
      continue;
    }
    const std::string name = UpperCase(path.stem().string());
    const auto it = std::find_if(modules_.begin(), modules_.end(), [&](const tModuleRec& m) { return m.Name == name; });
    if (it != modules_.end()) {
      select = static_cast<int>(it - modules_.begin());
      continue;
    }
    modules_.push_back({name, path.string(), {}});
    select = static_cast<int>(modules_.size()) - 1;
  }
  Refill(select);
}

void ProjectDlg::RemoveSelected() {
  const int row = ModuleList->currentRow();
  if (row < 0 || row >= static_cast<int>(modules_.size())) return;
  modules_.erase(modules_.begin() + row);
  Refill(std::min(row, static_cast<int>(modules_.size()) - 1));
}

void ProjectDlg::MoveSelected(int by) {
  const int row = ModuleList->currentRow();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= static_cast<int>(modules_.size())) return;
  std::swap(modules_[static_cast<size_t>(row)], modules_[static_cast<size_t>(to)]);
  Refill(to);
}

}  // namespace dorvik::gui
