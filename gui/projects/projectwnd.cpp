#include "gui/projects/projectwnd.h"

#include <QApplication>
#include <QStyle>

#include <filesystem>
#include <map>

#include "project/project.h"
#include "workspace/build.h"
#include "debugger/editormodel.h"
#include "gui/dialogs/widgets.h"
#include "lang/fileutil.h"

namespace dorvik::gui {

namespace {

// The desktop's icon for a file's extension, else a plain file icon.
QIcon FileIcon(const std::string& file, std::map<std::string, QIcon>& cache) {
  const std::string ext = std::filesystem::path(file).extension().string();
  const auto it = cache.find(ext);
  if (it != cache.end()) return it->second;
  std::string command, icon;
  GetFileAssociation(ext, command, icon);
  const QIcon fallback = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  const QIcon result = icon.empty() ? fallback : QIcon::fromTheme(Text(icon), fallback);
  cache[ext] = result;
  return result;
}

}  // namespace

ProjectWnd::ProjectWnd(QMainWindow* main) : TDockableForm("ProjectWnd", "Project", main), tree_(new QTreeWidget(this)) {
  tree_->setObjectName("ProjectTree");
  tree_->setHeaderLabels({"Module", "File"});
  setWidget(tree_);
  connect(tree_, &QTreeWidget::itemActivated, this, [](QTreeWidgetItem* item, int) {
    const std::string file = item->data(0, Qt::UserRole).toString().toStdString();
    if (!file.empty()) OpenFileInEditor(file, true);
  });
}

void ProjectWnd::Fill() {
  tree_->clear();
  std::map<std::string, QIcon> icons;
  for (const tModuleRec& module : Project().ProjectModules) {
    auto* item = new QTreeWidgetItem(tree_, {Text(module.Name), Text(module.FileName)});
    item->setIcon(0, FileIcon(module.FileName, icons));
    item->setData(0, Qt::UserRole, Text(module.FileName));
    for (const std::string& include : ModuleIncludeFiles(module.FileName)) {
      auto* child = new QTreeWidgetItem(item, {Text(std::filesystem::path(include).filename().string()), Text(include)});
      child->setIcon(0, FileIcon(include, icons));
      child->setData(0, Qt::UserRole, Text(include));
    }
    item->setExpanded(true);
  }
  tree_->resizeColumnToContents(0);
}

}  // namespace dorvik::gui
