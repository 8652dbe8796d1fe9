#pragma once
// The dockable build report: the lines of the last build's tools. A double
// click (or Enter) on a line opens its source at the line it names: a tool's
// "file:line:", the statement of a listing's error line (found by its line
// number in the listing), or a listing statement found in the source.

#include <QListWidget>
#include <QMainWindow>

#include "gui/ground/dockable.h"

namespace dorvik::gui {

class BuildReport : public TDockableForm {
 public:
  explicit BuildReport(QMainWindow* main);

  // Shows the engine's report lines.
  void Fill();
  // Opens the source line of report line Row and marks it (EditorModel().LocateLine);
  // false when the line leads to no source line.
  bool OpenLine(int row);

  QListWidget* Lines() const { return lines_; }

 private:
  QListWidget* lines_;
};

}  // namespace dorvik::gui
