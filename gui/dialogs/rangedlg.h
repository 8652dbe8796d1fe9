#pragma once
// The memory range dialog of Save HEX: the first and the last code address,
// typed in hexadecimal into validated controls.

#include <cstdint>

#include <QDialog>

class QPushButton;

namespace dorvik::gui {

class TNumValidEdit;

class RangeDlg : public QDialog {
 public:
  RangeDlg(int32_t start, int32_t length, QWidget* parent = nullptr);

  // OK: both addresses valid and the last not below the first (else the
  // validator's message and the field keeps the focus).
  void btnOKClick();
  int32_t RangeStart() const { return start_; }
  int32_t RangeLength() const { return length_; }

  TNumValidEdit* editStart;
  TNumValidEdit* editEnd;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 private:
  int32_t start_;
  int32_t length_;
};

}  // namespace dorvik::gui
