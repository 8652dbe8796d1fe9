#include "gui/hardware/hwwidgets.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "gui/dialogs/validators.h"
#include "gui/dialogs/widgets.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"

namespace dorvik::gui {

namespace {

constexpr int kLedSize = 22;
constexpr int kLedGap = 6;
const QColor kLit(230, 30, 30);
const QColor kDark(70, 20, 20);

}  // namespace

// ByteLights

ByteLights::ByteLights(const char* objectName, QWidget* parent) : QWidget(parent) { setObjectName(objectName); }

void ByteLights::SetValue(uint8_t value) {
  if (value == value_) return;
  value_ = value;
  update();
}

// LedRow

LedRow::LedRow(QWidget* parent) : ByteLights("LedRow", parent) {}

QSize LedRow::sizeHint() const {
  return {8 * (kLedSize + kLedGap) + kLedGap, kLedSize + 2 * kLedGap + fontMetrics().height()};
}

void LedRow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  for (int i = 0; i < 8; ++i) {
    const int bit = 7 - i;
    const int left = kLedGap + i * (kLedSize + kLedGap);
    p.setBrush((Value() >> bit) & 1 ? kLit : kDark);
    p.drawEllipse(left, kLedGap, kLedSize, kLedSize);
    p.drawText(QRect(left, kLedGap + kLedSize, kLedSize, fontMetrics().height() + kLedGap), Qt::AlignCenter,
               QString::number(bit));
  }
}

// SegmentDigit

SegmentDigit::SegmentDigit(QWidget* parent) : ByteLights("SegmentDigit", parent) {}

QSize SegmentDigit::sizeHint() const { return {70, 110}; }

void SegmentDigit::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(20, 20, 20));
  // The digit in a box of 40 x 80 units, scaled to the widget.
  const qreal scale = std::min(width() / 60.0, height() / 100.0);
  p.translate((width() - 60 * scale) / 2, (height() - 100 * scale) / 2);
  p.scale(scale, scale);
  p.setPen(Qt::NoPen);
  constexpr qreal t = 7;  // segment thickness
  // a, b, c, d, e, f, g as rectangles: left, top, width, height.
  const QRectF segments[7] = {{14, 8, 28, t},  {42, 14, t, 30}, {42, 54, t, 30}, {14, 86, 28, t},
                              {7, 54, t, 30},  {7, 14, t, 30},  {14, 47, 28, t}};
  for (int s = 0; s < 7; ++s) {
    p.setBrush((Value() >> s) & 1 ? kLit : kDark);
    p.drawRoundedRect(segments[s], 2, 2);
  }
  p.setBrush((Value() & 0x80) ? kLit : kDark);
  p.drawEllipse(QRectF(51, 86, t, t));
}

// BindingChooser

BindingChooser::BindingChooser(QWidget* parent, bool portsToo)
    : QWidget(parent), choice_(new QComboBox(this)), address_(new TNumValidEdit(this)), portsToo_(portsToo) {
  setObjectName("BindingChooser");
  choice_->setObjectName("BindingChoice");
  address_->setObjectName("BindingAddress");
  address_->SetValidator(std::make_unique<THEXRangeValidator>(0, 0xFFFF));
  address_->setMaxLength(6);
  address_->setFixedWidth(70);
  address_->setToolTip("External-data address, 0-FFFF hexadecimal; Enter applies it");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(choice_);
  row->addWidget(address_);
  if (!portsToo) {
    choice_->hide();
    binding_ = {vhw::kSpaceXData, 0x8000};
  }
  FillPorts();
  connect(choice_, &QComboBox::activated, this, [this] { ChoiceMade(); });
  connect(address_, &QLineEdit::returnPressed, this, [this] { ApplyAddress(); });
}

void BindingChooser::FillPorts() {
  const QSignalBlocker block(choice_);
  choice_->clear();
  if (portsToo_)
    for (const CpuPortMenuItem& item : CpuDb().MainPortMenu)
      choice_->addItem(Text(item.Caption), QVariant(int(item.Tag)));
  choice_->addItem("XDATA", QVariant(-1));
  SetBinding(binding_);
}

void BindingChooser::SetBinding(const vhw::PartBinding& binding) {
  binding_ = binding;
  const QSignalBlocker block(choice_);
  const bool xdata = binding.Space == vhw::kSpaceXData;
  // A port that this processor lacks: no choice shown (its bytes no longer come).
  choice_->setCurrentIndex(choice_->findData(xdata ? -1 : int(binding.Address)));
  address_->setEnabled(xdata);
  if (xdata) address_->setText(Text(FormatHex4(static_cast<uint16_t>(binding.Address))));
}

bool BindingChooser::ApplyAddress() {
  TValidator* v = address_->GetValidator();
  const std::string text = address_->text().trimmed().toUpper().toStdString();
  if (text.empty()) {
    v->Error();  // nothing typed: the range is the answer
    return false;
  }
  if (!v->Validate(text, true)) return false;
  vhw::PartBinding b{vhw::kSpaceXData, static_cast<uint32_t>(v->Result)};
  SetBinding(b);
  if (Changed) Changed(b);
  return true;
}

void BindingChooser::ChoiceMade() {
  const int tag = choice_->currentData().toInt();
  if (tag < 0) {
    address_->setEnabled(true);
    address_->setFocus();
    if (address_->text().isEmpty()) address_->setText("8000");
    ApplyAddress();
    return;
  }
  const vhw::PartBinding b{vhw::kSpaceSfr, static_cast<uint32_t>(tag)};
  SetBinding(b);
  if (Changed) Changed(b);
}

}  // namespace dorvik::gui
