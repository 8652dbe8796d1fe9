#pragma once
// A dockable memory view: a range of one memory space shown as typed values
// in rows of the console's line width, read again at every stop (unless
// frozen), edited in place through the access layer. Its five view
// parameters (start, count, frozen, element type, space) are kept with its
// layout entry.

#include <array>
#include <cstdint>
#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QTableWidget>

#include "gui/ground/dockable.h"
#include "gui/dialogs/validators.h"

namespace dorvik::gui {

class tMemoryView : public TDockableForm {
 public:
  static constexpr int kViewCount = 5;
  static constexpr int kValueColumns = 16;  // values of a row at most; then its address and characters
  // Index 0..4: the window MemoryView1..MemoryView5.
  tMemoryView(int index, QMainWindow* main);

  // The view parameters: Start, Count, Frozen (0/1), element type (index in
  // the type box), space (its memory-space number: 0 CODE, 1 XDATA, 2 DATA,
  // 3 IDATA, 4 BIT, 7 EEPROM). A missing or unknown one leaves that setting.
  void SetViewParams(const std::array<std::optional<int64_t>, kViewParamCount>& params);
  std::array<std::optional<int64_t>, kViewParamCount> ViewParams() const;
  // Reads the range from the target (nothing while the program runs or the
  // target is busy: it is read at the next stop).
  void ReadFromTarget();
  // A stop or a load: read again unless frozen or hidden.
  void Sync();

  bool Frozen() const { return freeze_->isChecked(); }
  QTableWidget* Table() const { return table_; }
  QComboBox* SpaceBox() const { return space_; }
  QComboBox* TypeBox() const { return type_; }
  ValidLineEdit* StartEdit() const { return start_; }
  ValidLineEdit* CountEdit() const { return count_; }
  QCheckBox* FreezeBox() const { return freeze_; }
  QLabel* Status() const { return status_; }
  int ReadCount = 0;  // how often the range was read
  bool EverShown = false;  // on screen at some time since the workbench started

 private:
  bool TakeRange();
  // The spaces the target has can be chosen (EEPROM only where there is one).
  void OfferTargetSpaces();
  void ValueEdited(QTableWidgetItem* item);
  uint8_t SpaceNumber() const;
  uint8_t ElementType() const;

  QComboBox* space_;
  QComboBox* type_;
  ValidLineEdit* start_;
  ValidLineEdit* count_;
  QCheckBox* freeze_;
  QLabel* status_;
  QTableWidget* table_;
  TFilterValidator startFilter_;
  TFilterValidator countFilter_;
  int32_t startAddr_ = 0;
  int32_t countElems_ = 64;
  bool filling_ = false;
  std::array<qsizetype, kValueColumns + 2> widest_{};  // the longest text of each column at the last fit
};

}  // namespace dorvik::gui
