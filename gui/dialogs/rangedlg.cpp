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
  editEnd = new TNumValidEdit(this);
  editEnd->setObjectName("editEnd");
  for (TNumValidEdit* edit : {editStart, editEnd}) {
    auto validator = std::make_unique<THEXRangeValidator>(0, 0xFFFF);
    validator->HexRangeText = true;
    edit->SetValidator(std::move(validator));
  }
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

// A field's address: valid and not empty (the keys a hexadecimal field drops
// can leave it empty, which is no address); else the range's message once and
// the field keeps the focus.
static bool TakeAddress(TValidator& validator, TNumValidEdit& edit) {
  const bool valid = validator.Validate(edit.text().toStdString(), true);
  if (valid && validator.Empty) validator.Error();
  if (valid && !validator.Empty) return true;
  edit.setFocus();
  edit.selectAll();
  return false;
}

void RangeDlg::btnOKClick() {
  TValidator* first = editStart->GetValidator();
  if (!TakeAddress(*first, *editStart)) return;
  const auto start = static_cast<uint16_t>(first->Result);
  // The last address is at or above the first.
  THEXRangeValidator last(start, 0xFFFF);
  last.HexRangeText = true;
  if (!TakeAddress(last, *editEnd)) return;
  start_ = start;
  length_ = static_cast<int32_t>(last.Result) - start + 1;
  done(1);
}

}  // namespace dorvik::gui
