#include "gui/dialogs/rangedlg.h"

#include <QGridLayout>
#include <QLabel>

#include <memory>

#include "gui/dialogs/validators.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

namespace {

QString Hex4(int32_t value) { return QString::asprintf("%04X", static_cast<unsigned>(value & 0xFFFF)); }

}  // namespace

RangeDlg::RangeDlg(int32_t start, int32_t length, QWidget* parent) : QDialog(parent), start_(start), length_(length) {
  setObjectName("RangeDlg");
  setWindowTitle("Memory range");
  auto* grid = new QGridLayout(this);
  editStart = new TNumValidEdit(this);
  editStart->setObjectName("editStart");
  editStart->SetValidator(std::make_unique<THEXRangeValidator>(0, 0xFFFF));
  editEnd = new TNumValidEdit(this);
  editEnd->setObjectName("editEnd");
  editEnd->SetValidator(std::make_unique<THEXRangeValidator>(0, 0xFFFF));
  editStart->setText(Hex4(start));
  editEnd->setText(Hex4(start + std::max(length, 1) - 1));
  btnOK = Button("btnOK", "OK", this);
  btnCancel = Button("btnCancel", "Cancel", this);
  btnOK->setDefault(true);
  grid->addWidget(new QLabel("Start address", this), 0, 0);
  grid->addWidget(editStart, 0, 1);
  grid->addWidget(new QLabel("End address", this), 1, 0);
  grid->addWidget(editEnd, 1, 1);
  grid->addWidget(btnOK, 2, 0);
  grid->addWidget(btnCancel, 2, 1);
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
}

void RangeDlg::btnOKClick() {
  TValidator* first = editStart->GetValidator();
  if (!first->Validate(editStart->text().toStdString(), true)) {
    editStart->setFocus();
    return;
  }
  const auto start = static_cast<uint16_t>(first->Result);
  // The last address is at or above the first.
  THEXRangeValidator last(start, 0xFFFF);
  if (!last.Validate(editEnd->text().toStdString(), true)) {
    editEnd->setFocus();
    return;
  }
  start_ = start;
  length_ = static_cast<int32_t>(last.Result) - start + 1;
  done(1);
}

}  // namespace dorvik::gui
