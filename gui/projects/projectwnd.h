#pragma once
// The dockable project list: the project's modules with the include files
// each pulls in, shown with their file types' icons. A double click opens
// the file in an editor page.

#include <QMainWindow>
#include <QTreeWidget>

#include "gui/ground/dockable.h"

namespace dorvik::gui {

class ProjectWnd : public TDockableForm {
 public:
  explicit ProjectWnd(QMainWindow* main);

  // Reads the module list (and each module's include files) again.
  void Fill();
  QTreeWidget* Tree() const { return tree_; }

 private:
  QTreeWidget* tree_;
};

}  // namespace dorvik::gui
