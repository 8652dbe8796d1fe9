#pragma once
// The drawn parts of the virtual-hardware windows: a row of eight LEDs, a
// seven-segment digit, and the chooser that wires a part to a port or to an
// external-data address typed in hexadecimal.

#include <cstdint>
#include <functional>
#include <optional>

#include <QWidget>

#include "vhw/parts.h"

class QComboBox;

namespace dorvik::gui {

class TNumValidEdit;

// A drawn byte: repainted when SetValue changes it.
class ByteLights : public QWidget {
 public:
  void SetValue(uint8_t value);
  uint8_t Value() const { return value_; }

 protected:
  ByteLights(const char* objectName, QWidget* parent);

 private:
  uint8_t value_ = 0;
};

// Eight LEDs, bit 7 on the left, each above its bit number; a set bit lights its LED.
class LedRow : public ByteLights {
 public:
  explicit LedRow(QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// One seven-segment digit with its point: bit 0 segment a ... bit 6
// segment g, bit 7 the point; a set bit lights its segment.
class SegmentDigit : public ByteLights {
 public:
  explicit SegmentDigit(QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// A port of the processor or an external-data address. A port that the
// processor no longer has (after a processor change) shows no choice until
// the user makes one. Changing the choice
// (a port picked, an address typed and Enter) calls Changed with the new
// binding; an address outside 0-FFFFH is refused with the validator's
// message and the binding stays.
// Without PortsToo only an address is chosen (the choice list is hidden).
class BindingChooser : public QWidget {
 public:
  explicit BindingChooser(QWidget* parent = nullptr, bool portsToo = true);
  // The processor's ports again (after a processor change), keeping the choice where it can.
  void FillPorts();
  void SetBinding(const vhw::PartBinding& binding);
  const vhw::PartBinding& Binding() const { return binding_; }
  // The typed address applied as Enter would: false when it was refused.
  bool ApplyAddress();
  QComboBox* Choice() const { return choice_; }
  TNumValidEdit* AddressEdit() const { return address_; }

  std::function<void(const vhw::PartBinding&)> Changed;

 private:
  void ChoiceMade();

  QComboBox* choice_;
  TNumValidEdit* address_;
  bool portsToo_;
  vhw::PartBinding binding_;
};

}  // namespace dorvik::gui
