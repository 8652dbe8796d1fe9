#include "gui/debug/memoryview.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "access/backend.h"
#include "debugger/toolviews.h"
#include "gui/dialogs/widgets.h"
#include "lang/formatting.h"
#include "lang/scanner.h"

namespace dorvik::gui {

namespace {

constexpr const char* kSpaceNames[] = {"CODE", "XDATA", "DATA", "IDATA", "BIT", "EEPROM"};
constexpr int kColumns = tMemoryView::kValueColumns;
constexpr int kAddressRole = Qt::UserRole;

// A number as the fields take it in any display radix: "040H".
QString HexText(int32_t value) { return Text(FormatNumber(16, 8, true, value, true) + "H"); }

}  // namespace

tMemoryView::tMemoryView(int index, QMainWindow* main)
    : TDockableForm(QString("MemoryView%1").arg(index + 1), QString("Memory %1").arg(index + 1), main),
      startFilter_(ExpressionChars),
      countFilter_(ExpressionChars) {
  auto* body = new QWidget(this);
  auto* box = new QVBoxLayout(body);
  box->setContentsMargins(2, 2, 2, 2);
  auto* bar = new QHBoxLayout;
  space_ = Combo("SpaceBox", false, body);
  for (const char* name : kSpaceNames) space_->addItem(name);
  space_->setCurrentIndex(3);
  type_ = Combo("TypeBox", false, body);
  for (uint8_t t : kViewTypes) {
    // BOOLEAN shares its text with BIT in the keyword table: the box names it itself.
    std::string word = t == tok::kBOOLEAN ? std::string("BOOLEAN") : TokenText(t);
    while (!word.empty() && word.back() == ' ') word.pop_back();
    type_->addItem(Text(word));
  }
  start_ = new ValidLineEdit(body);
  start_->setObjectName("StartEdit");
  start_->Validator = &startFilter_;
  start_->setText("0H");
  count_ = new ValidLineEdit(body);
  count_->setObjectName("CountEdit");
  count_->Validator = &countFilter_;
  count_->setText("040H");
  freeze_ = new QCheckBox("Freeze", body);
  freeze_->setObjectName("FreezeBox");
  auto* read = Button("ReadButton", "Read", body);
  bar->addWidget(space_);
  bar->addWidget(start_, 1);
  bar->addWidget(count_);
  bar->addWidget(type_);
  bar->addWidget(freeze_);
  bar->addWidget(read);
  box->addLayout(bar);
  table_ = new QTableWidget(0, kColumns + 1, body);
  table_->setObjectName("Values");
  table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // The columns are fitted to their texts after a read that made one wider
  // or narrower, not at every cell's change (each would measure them all).
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  table_->horizontalHeader()->hide();
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  box->addWidget(table_, 1);
  status_ = new QLabel(body);
  status_->setObjectName("Status");
  box->addWidget(status_);
  setWidget(body);

  connect(read, &QPushButton::clicked, this, [this] { ReadFromTarget(); });
  connect(start_, &QLineEdit::returnPressed, this, [this] { ReadFromTarget(); });
  connect(count_, &QLineEdit::returnPressed, this, [this] { ReadFromTarget(); });
  connect(space_, &QComboBox::activated, this, [this] { ReadFromTarget(); });
  connect(type_, &QComboBox::activated, this, [this] { ReadFromTarget(); });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { ValueEdited(item); });
  ViewParamsLoaded = [this](const std::array<std::optional<int64_t>, kViewParamCount>& p) {
    SetViewParams(p);
    if (isVisible()) ReadFromTarget();
  };
  ViewParamsSaved = [this] { return ViewParams(); };
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    EverShown = EverShown || visible;
    if (visible && ReadCount == 0) ReadFromTarget();
  });
}

uint8_t tMemoryView::SpaceNumber() const { return kViewSpaces[std::clamp(space_->currentIndex(), 0, 5)]; }

uint8_t tMemoryView::ElementType() const {
  return kViewTypes[std::clamp(type_->currentIndex(), 0, static_cast<int>(std::size(kViewTypes)) - 1)];
}

void tMemoryView::SetViewParams(const std::array<std::optional<int64_t>, kViewParamCount>& p) {
  if (p[0] && *p[0] >= 0 && *p[0] <= 0xFFFF) {
    startAddr_ = static_cast<int32_t>(*p[0]);
    start_->setText(HexText(startAddr_));
  }
  if (p[1] && *p[1] >= 1 && *p[1] <= 0x10000) {
    countElems_ = static_cast<int32_t>(*p[1]);
    count_->setText(HexText(countElems_));
  }
  if (p[2]) freeze_->setChecked(*p[2] != 0);
  if (p[3] && *p[3] >= 0 && *p[3] < static_cast<int64_t>(std::size(kViewTypes)))
    type_->setCurrentIndex(static_cast<int>(*p[3]));
  if (p[4])
    for (size_t i = 0; i < std::size(kViewSpaces); ++i)
      if (kViewSpaces[i] == *p[4]) space_->setCurrentIndex(static_cast<int>(i));
}

std::array<std::optional<int64_t>, kViewParamCount> tMemoryView::ViewParams() const {
  return {startAddr_, countElems_, Frozen() ? 1 : 0, type_->currentIndex(), SpaceNumber()};
}

// The start and count fields evaluated; a failure shows its message once.
bool tMemoryView::TakeRange() {
  const ViewValue start = EvaluateForView(start_->text().toStdString(), true);
  if (!start.Ok) {
    status_->setText(Text(start.Error));
    return false;
  }
  const ViewValue count = EvaluateForView(count_->text().toStdString(), true);
  if (!count.Ok) {
    status_->setText(Text(count.Error));
    return false;
  }
  // A space prefix (XDATA 100) travels above bit 16: the address is the low 16 bits.
  startAddr_ = static_cast<int32_t>(LowBits32(start.Value) & 0xFFFF);
  countElems_ = static_cast<int32_t>(std::clamp<long double>(count.Value, 0, 0x10001));
  return true;
}

void tMemoryView::OfferTargetSpaces() {
  const auto* model = qobject_cast<const QStandardItemModel*>(space_->model());
  if (model == nullptr) return;
  const uint8_t spaces = CurrentBackend().Capabilities().MemorySpaces;
  for (int i = 0; i < space_->count(); ++i) {
    const bool has = ((spaces >> kViewSpaces[i]) & 1) != 0;
    if (QStandardItem* item = model->item(i); item != nullptr && item->isEnabled() != has) item->setEnabled(has);
  }
}

void tMemoryView::ReadFromTarget() {
  OfferTargetSpaces();
  if (!ViewsMayRead()) return;
  if (!TakeRange()) return;
  ++ReadCount;
  const uint8_t type = ElementType();
  const MemoryViewRead read = ReadMemoryView(SpaceNumber(), startAddr_, countElems_, type);
  const bool chars = type == tok::kBYTE || type == tok::kCHAR;
  filling_ = true;
  const bool reshaped = table_->rowCount() != static_cast<int>(read.Rows.size());
  table_->setRowCount(static_cast<int>(read.Rows.size()));
  table_->setColumnCount(kColumns + 2);
  // The cells of the last read are reused: a view is read again at every
  // stop, and only a cell whose text or kind changed is told so (and drawn
  // again).
  std::array<qsizetype, kColumns + 2> widest{};
  const auto fill = [&](int r, int c, const QString& text, const QVariant& address, Qt::ItemFlags flags) {
    QTableWidgetItem* item = table_->item(r, c);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      table_->setItem(r, c, item);
    }
    if (item->text() != text) item->setText(text);
    if (item->data(kAddressRole) != address) item->setData(kAddressRole, address);
    if (item->flags() != flags) item->setFlags(flags);
    widest[static_cast<size_t>(c)] = std::max(widest[static_cast<size_t>(c)], text.size());
  };
  const int size = ElementSize(type);
  for (int r = 0; r < static_cast<int>(read.Rows.size()); ++r) {
    const MemoryViewRow& row = read.Rows[static_cast<size_t>(r)];
    fill(r, 0, Text(FormatHex4(static_cast<uint16_t>(row.Address))), QVariant(), Qt::ItemIsEnabled);
    for (int c = 0; c < kColumns; ++c) {
      if (c < row.Count)
        fill(r, c + 1, row.Readable ? Text(MemoryValueText(row.Items[static_cast<size_t>(c)])) : "??",
             row.Address + c * size,
             row.Readable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::ItemIsEnabled);
      else
        fill(r, c + 1, QString(), QVariant(), Qt::NoItemFlags);
    }
    fill(r, kColumns + 1, chars && row.Readable ? Text(MemoryCharsText(row.Items)) : QString(), QVariant(),
         Qt::ItemIsEnabled);
  }
  // The font is fixed-pitch: a column's width follows its longest text.
  if (reshaped || widest != widest_) {
    widest_ = widest;
    table_->resizeColumnsToContents();
  }
  filling_ = false;
  status_->setText(Text(read.Error));
}

void tMemoryView::Sync() {
  if (isHidden() || Frozen()) return;
  ReadFromTarget();
}

void tMemoryView::ValueEdited(QTableWidgetItem* item) {
  if (filling_ || !item->data(kAddressRole).isValid()) return;
  std::string error;
  if (!ViewsMayRead())
    error = BusyErrorLine();
  else
    WriteMemoryViewValue(SpaceNumber(), item->data(kAddressRole).toInt(), ElementType(), item->text().toStdString(),
                         error);
  // The rows are read back (the item is replaced) once its signal is over;
  // a failure is shown once, below them.
  QTimer::singleShot(0, this, [this, error] {
    ReadFromTarget();
    if (!error.empty()) status_->setText(Text(error));
  });
}

}  // namespace dorvik::gui
