#include "gui/debug/symoptionsdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

#include "base/text.h"
#include "debugger/toolviews.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

namespace {
constexpr const char* kAllModulesItem = "All modules";
}

TSymPropDlg::TSymPropDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("SymPropDlg");
  setWindowTitle("Symbol options");
  auto* form = new QFormLayout(this);
  ModuleBox = Combo("ModuleBox", false, this);
  form->addRow("Module:", ModuleBox);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("btnOK");
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  ClearModules();
}

void TSymPropDlg::ClearModules() {
  ModuleBox->clear();
  ModuleBox->addItem(kAllModulesItem);
}

void TSymPropDlg::AddModule(const std::string& name) {
  if (ModuleBox->findText(Text(name), Qt::MatchFixedString) < 0) ModuleBox->addItem(Text(name));
  ModuleBox->setCurrentIndex(0);
}

std::string TSymPropDlg::SelectedModule() const {
  if (ModuleBox->currentIndex() <= 0) return std::string(kAllModules);
  return ModuleBox->currentText().toStdString();
}

}  // namespace dorvik::gui
