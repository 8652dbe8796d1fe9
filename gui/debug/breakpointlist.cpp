#include "gui/debug/breakpointlist.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "debugger/bpnames.h"
#include "debugger/toolviews.h"
#include "debugger/editormodel.h"
#include "gui/dialogs/widgets.h"
#include "lang/formatting.h"

namespace dorvik::gui {

BreakpointListDialog::BreakpointListDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("BreakpointListDlg");
  setWindowTitle("Breakpoints");
  auto* box = new QVBoxLayout(this);
  Rows = new QTableWidget(0, 4, this);
  Rows->setObjectName("Rows");
  Rows->setHorizontalHeaderLabels({"Name", "Address", "Location", "State"});
  Rows->setSelectionBehavior(QAbstractItemView::SelectRows);
  Rows->setSelectionMode(QAbstractItemView::SingleSelection);
  Rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Rows->horizontalHeader()->setStretchLastSection(true);
  Rows->verticalHeader()->hide();
  box->addWidget(Rows, 1);
  auto* bar = new QHBoxLayout;
  auto* enable = Button("btnEnable", "Enable", this);
  auto* disable = Button("btnDisable", "Disable", this);
  auto* clear = Button("btnClear", "Clear", this);
  auto* go = Button("btnGoTo", "Go to", this);
  auto* close = Button("btnClose", "Close", this);
  for (QPushButton* b : {enable, disable, clear, go}) bar->addWidget(b);
  bar->addStretch(1);
  bar->addWidget(close);
  box->addLayout(bar);
  connect(enable, &QPushButton::clicked, this, [this] { EnableSelected(true); });
  connect(disable, &QPushButton::clicked, this, [this] { EnableSelected(false); });
  connect(clear, &QPushButton::clicked, this, [this] { ClearSelected(); });
  connect(go, &QPushButton::clicked, this, [this] { GoToSelected(); });
  connect(Rows, &QTableWidget::cellDoubleClicked, this, [this] { GoToSelected(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  resize(460, 260);
  Fill();
}

void BreakpointListDialog::Fill() {
  const std::string selected = SelectedName();
  const std::vector<BreakpointRow> rows = BreakpointRows();
  Rows->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const BreakpointRow& b = rows[static_cast<size_t>(r)];
    Rows->setItem(r, 0, new QTableWidgetItem(Text(b.Name)));
    Rows->setItem(r, 1, new QTableWidgetItem(Text(FormatHex4(b.Address) + "H")));
    Rows->setItem(r, 2, new QTableWidgetItem(Text(b.Location)));
    Rows->setItem(r, 3, new QTableWidgetItem(b.Enabled ? "Enabled" : "Disabled"));
    if (b.Name == selected) Rows->selectRow(r);
  }
}

std::string BreakpointListDialog::SelectedName() const {
  const int row = Rows->currentRow();
  const QTableWidgetItem* item = row >= 0 ? Rows->item(row, 0) : nullptr;
  return item != nullptr ? item->text().toStdString() : std::string();
}

void BreakpointListDialog::EnableSelected(bool enable) {
  if (!EnableBreakpointByName(SelectedName(), enable)) return;
  Fill();
}

void BreakpointListDialog::ClearSelected() {
  if (!ClearBreakpointByName(SelectedName())) return;
  Fill();
}

void BreakpointListDialog::GoToSelected() {
  const tBreak* bp = BreakpointByName(SelectedName());
  if (bp == nullptr || !bp->Used) return;
  if (!bp->Line.FileName.empty() && bp->Line.Line >= 0)
    SetLineMark(bp->Line.Line, EditorModel().LocateLine, bp->Line.FileName, kLocateLineColor, true, true);
  if (ShowDisassembly) ShowDisassembly(bp->Address);
}

}  // namespace dorvik::gui
