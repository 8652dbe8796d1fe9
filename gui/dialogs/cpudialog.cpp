#include "gui/dialogs/cpudialog.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/dialogs/widgets.h"
#include "lang/cpucompiler.h"

namespace dorvik::gui {

TSelCPUDlg::TSelCPUDlg(QWidget* parent) : QDialog(parent) {
  dorvik::TSelCPUDlg& logic = SelCPUDlg();
  logic.DialogCreate();
  setObjectName("SelCPUDlg");
  setWindowTitle(Text(logic.Caption));
  CpuList = new QListWidget(this);
  CpuList->setObjectName("CpuList");
  btnOK = Button("btnOK", Text(logic.OkCaption), this);
  btnOK->setDefault(true);
  btnCancel = Button("btnCancel", Text(logic.CancelCaption), this);
  btnOther = Button("btnOther", "Other...", this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(CpuList, 0, 0, 4, 1);
  grid->addWidget(btnOK, 0, 1);
  grid->addWidget(btnCancel, 1, 1);
  grid->addWidget(btnOther, 2, 1);
  grid->setRowStretch(3, 1);
  connect(btnOK, &QPushButton::clicked, this, [this] { done(kOk); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(kCancel); });
  connect(btnOther, &QPushButton::clicked, this, [this] { btnOtherClick(); });
  connect(CpuList, &QListWidget::itemDoubleClicked, this, [this] { done(kOk); });
  FillCpuList();
}

void TSelCPUDlg::FillCpuList() {
  dorvik::TSelCPUDlg& logic = SelCPUDlg();
  logic.FillCpuList();
  CpuList->clear();
  for (const std::string& name : logic.CpuList) CpuList->addItem(Text(name));
  CpuList->setCurrentRow(logic.ItemIndex);
  btnOK->setEnabled(CpuList->count() > 0);
}

std::string TSelCPUDlg::Chosen() const {
  const QListWidgetItem* item = CpuList->currentItem();
  return item != nullptr && item->isSelected() ? item->text().toStdString() : std::string();
}

void TSelCPUDlg::btnOtherClick() {
  if (SelCPUDlg().btnOtherClick()) FillCpuList();
  CpuList->setFocus();
}

}  // namespace dorvik::gui
