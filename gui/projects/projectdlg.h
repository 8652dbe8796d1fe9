#pragma once
// The project manager: the project's modules in build order, added from
// files, removed and moved up or down; OK makes the list the project's.

#include <functional>
#include <vector>

#include <QDialog>
#include <QStringList>

#include "project/project.h"

class QListWidget;
class QPushButton;

namespace dorvik::gui {

class ProjectDlg : public QDialog {
 public:
  explicit ProjectDlg(QWidget* parent = nullptr);

  // Set while the loader opened it for a module the project does not list:
  // the Add button's open dialog comes up at once.
  bool AddingFromLoader = false;
  // The file name the Add button's open dialog starts with ("NAME.*").
  QString PrjManOpenDlgFileName;

  // Adds source files as modules, named after the file (upper case, without
  // extension); 314 for an unregistered extension (an include file is listed
  // as any registered type), a module named twice is not added again.
  void AddFiles(const QStringList& files);
  void RemoveSelected();
  void MoveSelected(int by);
  // The list as edited.
  const std::vector<tModuleRec>& Modules() const { return modules_; }

  QListWidget* ModuleList;
  QPushButton* btnAdd;
  QPushButton* btnRemove;
  QPushButton* btnUp;
  QPushButton* btnDown;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void Refill(int select);
  std::vector<tModuleRec> modules_;
  bool addShown_ = false;
};

}  // namespace dorvik::gui
