#include "gui/debug/watchwindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "debugger/toolviews.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

namespace {

constexpr std::string_view kWatchSection = "WATCHES";
constexpr size_t kMaxWatches = 100;  // the project file's watches read at most

}  // namespace

TWatchWnd::TWatchWnd(QMainWindow* main) : TDockableForm("WatchWnd", "Watches", main), filter_(ExpressionChars) {
  auto* body = new QWidget(this);
  auto* box = new QVBoxLayout(body);
  box->setContentsMargins(2, 2, 2, 2);
  auto* bar = new QHBoxLayout;
  entry_ = new ValidLineEdit(body);
  entry_->setObjectName("NewExpression");
  entry_->Validator = &filter_;
  entry_->setPlaceholderText("Expression");
  auto* add = Button("AddWatch", "Add", body);
  auto* remove = Button("RemoveWatch", "Remove", body);
  bar->addWidget(entry_, 1);
  bar->addWidget(add);
  bar->addWidget(remove);
  box->addLayout(bar);
  rows_ = new QTreeWidget(body);
  rows_->setObjectName("Rows");
  rows_->setRootIsDecorated(false);
  rows_->setColumnCount(2);
  rows_->setHeaderLabels({"Expression", "Value"});
  rows_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  rows_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  // Only the expression is edited, wherever the row is double-clicked.
  rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(rows_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { rows_->editItem(item, 0); });
  box->addWidget(rows_, 1);
  setWidget(body);

  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible) RefreshWatches();
  });
  auto addTyped = [this] {
    AddWatch(entry_->text().trimmed().toStdString());
    entry_->clear();
  };
  connect(add, &QPushButton::clicked, this, addTyped);
  connect(entry_, &QLineEdit::returnPressed, this, addTyped);
  connect(remove, &QPushButton::clicked, this, [this] {
    const int row = rows_->indexOfTopLevelItem(rows_->currentItem());
    if (row >= 0) RemoveWatch(row);
  });
  // A changed check box enables or disables; a changed text edits.
  connect(rows_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (filling_) return;
    const int row = rows_->indexOfTopLevelItem(item);
    if (row < 0) return;
    const bool enabled = item->checkState(0) == Qt::Checked;
    const std::string text = item->text(0).trimmed().toStdString();
    QTimer::singleShot(0, this, [this, row, column, enabled, text] {
      if (column == 0 && row < static_cast<int>(watches_.size())) {
        if (watches_[static_cast<size_t>(row)].Enabled != enabled)
          EnableWatch(row, enabled);
        else if (watches_[static_cast<size_t>(row)].Expression != text)
          EditWatch(row, text);
      }
    });
  });
}

void TWatchWnd::AddWatch(const std::string& expression, bool enabled) {
  if (expression.empty()) return;
  watches_.push_back({expression, enabled});
  RefreshWatches();
}

void TWatchWnd::EditWatch(int index, const std::string& expression) {
  if (index < 0 || index >= static_cast<int>(watches_.size())) return;
  if (expression.empty()) {
    RemoveWatch(index);
    return;
  }
  watches_[static_cast<size_t>(index)].Expression = expression;
  RefreshWatches();
}

void TWatchWnd::RemoveWatch(int index) {
  if (index < 0 || index >= static_cast<int>(watches_.size())) return;
  watches_.erase(watches_.begin() + index);
  RefreshWatches();
}

void TWatchWnd::EnableWatch(int index, bool enabled) {
  if (index < 0 || index >= static_cast<int>(watches_.size())) return;
  watches_[static_cast<size_t>(index)].Enabled = enabled;
  RefreshWatches();
}

void TWatchWnd::RefreshWatches() {
  filling_ = true;
  const bool read = ViewsMayRead();
  while (rows_->topLevelItemCount() > static_cast<int>(watches_.size())) delete rows_->takeTopLevelItem(rows_->topLevelItemCount() - 1);
  for (size_t i = 0; i < watches_.size(); ++i) {
    const tWatchItem& w = watches_[i];
    QTreeWidgetItem* item = rows_->topLevelItem(static_cast<int>(i));
    if (item == nullptr) item = new QTreeWidgetItem(rows_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
    item->setText(0, Text(w.Expression));
    item->setCheckState(0, w.Enabled ? Qt::Checked : Qt::Unchecked);
    if (!w.Enabled) {
      item->setText(1, "<disabled>");
      item->setForeground(1, QBrush(Qt::gray));
    } else if (read) {
      // A watch takes one value: a typed range of more than one element is error 133.
      const ViewValue v = EvaluateForView(w.Expression, true);
      item->setText(1, Text(v.Ok ? v.Typed : v.Error));
      item->setForeground(1, v.Ok ? QBrush() : QBrush(Qt::red));
    }
  }
  filling_ = false;
}

void TWatchWnd::LoadWatches(const platform::IniFile& file) {
  watches_.clear();
  const int64_t count = std::clamp<int64_t>(file.ReadInteger(kWatchSection, "Count", 0), 0, kMaxWatches);
  for (int64_t i = 1; i <= count; ++i) {
    // "1,expression": enabled, then the expression (which may hold commas).
    const std::string value = file.ReadString(kWatchSection, "Watch" + std::to_string(i), "");
    const size_t comma = value.find(',');
    if (comma == std::string::npos || comma + 1 >= value.size()) continue;
    watches_.push_back({value.substr(comma + 1), value.substr(0, comma) != "0"});
  }
  RefreshWatches();
}

void TWatchWnd::SaveWatches(platform::IniFile& file) const {
  file.EraseSection(kWatchSection);
  if (watches_.empty()) return;
  file.WriteInteger(kWatchSection, "Count", static_cast<int64_t>(watches_.size()));
  for (size_t i = 0; i < watches_.size(); ++i)
    file.WriteString(kWatchSection, "Watch" + std::to_string(i + 1),
                     std::string(watches_[i].Enabled ? "1," : "0,") + watches_[i].Expression);
}

}  // namespace dorvik::gui
