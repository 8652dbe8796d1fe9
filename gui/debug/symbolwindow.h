#pragma once
// The dockable symbol window: the loaded program's modules with their
// procedures and symbols (address, class, type text) as a tree, the symbols
// of the selected node as a list, and the options dialog that chooses the
// module shown. Both views can show a symbol in its source file once a
// program was loaded for source-level debugging.

#include <cstdint>
#include <functional>
#include <string>

#include <QAction>
#include <QListWidget>
#include <QMainWindow>
#include <QTreeWidget>

#include "gui/ground/dockable.h"
#include "gui/debug/symoptionsdialog.h"

namespace dorvik::gui {

class TUserSymWin : public TDockableForm {
 public:
  explicit TUserSymWin(QMainWindow* main);

  // Rebuilds the tree for ModuleName ("ALL MODULES": all of them).
  void CreateSymbolTable(const std::string& moduleName);
  // Refills the tree for the module shown (after a processor change too).
  void FillSymbolTree();
  // A load ended: the options' module box refilled from the program, the
  // tree rebuilt for all modules when the window is visible, and the
  // show-in-source items enabled with source-level debugging.
  void AfterLoad();
  // The options dialog; on OK the tree shows the chosen module.
  void ShowOptions();

  // Shows a code address in the disassembly window (a symbol without source).
  std::function<void(uint16_t)> ShowDisassembly;
  QTreeWidget* Tree() const { return tree_; }
  QListWidget* List() const { return list_; }
  TSymPropDlg* Options() const { return options_; }
  QAction* TreeShowInSourceFile;
  QAction* ListShowInSourceFile;
  const std::string& ShownModule() const { return module_; }

 private:
  void FillList(QTreeWidgetItem* node);
  void ShowInSource(int32_t symbol);
  QTreeWidget* tree_;
  QListWidget* list_;
  TSymPropDlg* options_;
  std::string module_ = "ALL MODULES";
  bool stale_ = true;  // the tree was not built for the program loaded
};

}  // namespace dorvik::gui
