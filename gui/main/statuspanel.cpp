#include "gui/main/statuspanel.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>

#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

namespace {

// The status fields in the order the panel shows them, with the digits of
// their widest value: a field is never narrower than its name and that value.
struct StatusFieldInfo {
  const char* Name;
  int Digits;
};
constexpr StatusFieldInfo kStatusNames[] = {
    {"PC", 4}, {"ACC", 2}, {"B", 2},  {"SP", 2},  {"DPTR", 4}, {"PSW", 2}, {"RBS", 1}, {"CY", 1}, {"AC", 1}, {"F0", 1},
    {"OV", 1}, {"P", 1},   {"R0", 2}, {"R1", 2}, {"R2", 2},   {"R3", 2},  {"R4", 2},  {"R5", 2}, {"R6", 2}, {"R7", 2}};

}  // namespace

StatusPanel::StatusPanel(QWidget* parent) : QFrame(parent) {
  setObjectName("StatusPanel");
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* grid = new QGridLayout(this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  const QFontMetrics metrics(fixed);
  int n = 0;
  for (const auto& [name, digits] : kStatusNames) {
    auto* label = new QLabel(this);
    label->setObjectName(QString("st") + name);
    label->setFont(fixed);
    label->setMinimumWidth(metrics.horizontalAdvance(QString(name) + " " + QString(digits, 'W')));
    grid->addWidget(label, n / 10, n % 10);
    fields_[name] = label;
    ++n;
  }
}

QLabel* StatusPanel::Field(const std::string& name) const {
  const std::string bare = name.rfind("st", 0) == 0 ? name.substr(2) : name;
  const auto it = fields_.find(bare);
  return it == fields_.end() ? nullptr : it->second;
}

void StatusPanel::Show(const DebugStatusState& status, bool onlyPC) {
  for (const auto& [name, label] : fields_) {
    if (onlyPC && name != "PC") continue;
    const auto it = status.StatusFields.find("st" + name);
    std::string text = it == status.StatusFields.end() ? name : it->second;
    std::replace(text.begin(), text.end(), '\r', ' ');
    label->setText(Text(text));
  }
}

void StatusPanel::ShowBusy(bool busy) { setStyleSheet(busy ? "QLabel { color: red; }" : ""); }

}  // namespace dorvik::gui
