#pragma once
// The symbol window's options: which module its tree shows ("All modules"
// or one module of the loaded program).

#include <string>

#include <QComboBox>
#include <QDialog>

namespace dorvik::gui {

class TSymPropDlg : public QDialog {
 public:
  explicit TSymPropDlg(QWidget* parent);
  // Empties the module box down to "All modules".
  void ClearModules();
  // Adds a module name unless the box holds it, and selects item 0.
  void AddModule(const std::string& name);
  // The chosen module: "ALL MODULES" for all.
  std::string SelectedModule() const;

  QComboBox* ModuleBox;
};

}  // namespace dorvik::gui
