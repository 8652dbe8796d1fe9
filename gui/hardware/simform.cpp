#include "gui/hardware/simform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/hardware/hwwidgets.h"
#include "gui/dialogs/widgets.h"
#include "lang/formatting.h"

namespace dorvik::gui {

TSimForm::TSimForm(QWidget* parent)
    : HardwareWindow(parent),
      switchAddress_(new BindingChooser(this, false)),
      switchValue_(new QLabel(this)),
      digitChooser_(new BindingChooser(this)),
      digitView_(new SegmentDigit(this)) {
  setObjectName("SimForm");
  setWindowTitle("Virtual hardware");
  auto* box = new QVBoxLayout(this);

  auto* switchGroup = new QGroupBox("Switches on the data bus", this);
  auto* switchBox = new QVBoxLayout(switchGroup);
  auto* addressRow = new QHBoxLayout;
  addressRow->addWidget(new QLabel("Address", switchGroup));
  addressRow->addWidget(switchAddress_);
  switchValue_->setObjectName("SwitchValue");
  addressRow->addWidget(switchValue_);
  addressRow->addStretch(1);
  switchBox->addLayout(addressRow);
  auto* grid = new QGridLayout;
  switchBox->addLayout(grid);
  for (int i = 0; i < 8; ++i) {
    const int bit = 7 - i;
    auto* button = new QToolButton(switchGroup);
    button->setObjectName(QString("Switch%1").arg(bit));
    button->setCheckable(true);  // checked: closed to ground, the bit reads 0
    button->setMinimumSize(30, 40);
    button->setToolTip(QString("Switch %1: up open (1), down closed (0)").arg(bit));
    connect(button, &QToolButton::toggled, this, [this, bit](bool closed) { SetSwitch(bit, !closed); });
    switchButtons_[static_cast<size_t>(bit)] = button;
    grid->addWidget(button, 0, i);
    auto* number = new QLabel(QString::number(bit), switchGroup);
    number->setAlignment(Qt::AlignCenter);
    grid->addWidget(number, 1, i);
  }
  box->addWidget(switchGroup);

  auto* digitGroup = new QGroupBox("Seven-segment digit", this);
  auto* digitRow = new QHBoxLayout(digitGroup);
  auto* digitLeft = new QVBoxLayout;
  digitLeft->addWidget(digitChooser_);
  digitLeft->addWidget(new QLabel("bit 0 segment a ... bit 6 segment g,\nbit 7 the point; a set bit lights", digitGroup));
  digitLeft->addStretch(1);
  digitRow->addLayout(digitLeft);
  digitRow->addWidget(digitView_);
  box->addWidget(digitGroup);

  switches_.Address = static_cast<uint16_t>(switchAddress_->Binding().Address);
  switchAddress_->Changed = [this](const vhw::PartBinding& b) { switches_.Address = static_cast<uint16_t>(b.Address); };
  BindDisplay(digit_, digitChooser_);
  ShowSwitches();
}

void TSimForm::SetSwitch(int bit, bool open) {
  const uint8_t mask = static_cast<uint8_t>(1u << bit);
  switches_.Value = open ? (switches_.Value | mask) : (switches_.Value & static_cast<uint8_t>(~mask));
  ShowSwitches();
}

void TSimForm::ShowSwitches() {
  for (int bit = 0; bit < 8; ++bit) {
    QToolButton* button = switchButtons_[static_cast<size_t>(bit)];
    const bool open = (switches_.Value >> bit) & 1;
    const QSignalBlocker block(button);
    button->setChecked(!open);
    button->setText(open ? "1\n\u25B2" : "\u25BC\n0");
  }
  switchValue_->setText("reads " + Text(FormatHex2(switches_.Value)) + "H");
}

void TSimForm::Sync() { SyncDisplay(digit_, digitChooser_, digitView_); }

}  // namespace dorvik::gui
