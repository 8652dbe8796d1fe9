#pragma once
// The dockable watch window: expressions evaluated at every stop and after
// a load, each with its typed value or its error in its row. The watches are
// kept in the project file, section [WATCHES].

#include <string>
#include <vector>

#include <QMainWindow>
#include <QTreeWidget>

#include "gui/ground/dockable.h"
#include "gui/dialogs/validators.h"
#include "platform/ini.h"

namespace dorvik::gui {

struct tWatchItem {
  std::string Expression;
  bool Enabled = true;
};

class TWatchWnd : public TDockableForm {
 public:
  explicit TWatchWnd(QMainWindow* main);

  // Watches
  void AddWatch(const std::string& expression, bool enabled = true);
  // Row Index: a new expression (an empty one removes the watch).
  void EditWatch(int index, const std::string& expression);
  void RemoveWatch(int index);
  void EnableWatch(int index, bool enabled);
  const std::vector<tWatchItem>& Watches() const { return watches_; }

  // Evaluates every enabled watch again (nothing while the program runs or
  // the target is busy).
  void RefreshWatches();

  // The project file's watches: read (replacing the list) and written.
  void LoadWatches(const platform::IniFile& file);
  void SaveWatches(platform::IniFile& file) const;

  QTreeWidget* Rows() const { return rows_; }
  ValidLineEdit* NewExpression() const { return entry_; }

 private:
  void Fill();
  QTreeWidget* rows_;
  ValidLineEdit* entry_;
  TFilterValidator filter_;
  std::vector<tWatchItem> watches_;
  bool filling_ = false;
};

}  // namespace dorvik::gui
