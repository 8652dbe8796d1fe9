#include "gui/main/statuspanel.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>

#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

namespace {

// The status fields in the order the panel shows them.
constexpr const char* kStatusNames[] = {"PC", "ACC", "B", "SP", "DPTR", "PSW", "RBS", "CY", "AC", "F0",
                                        "OV", "P",   "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7"};

}  // namespace

StatusPanel::StatusPanel(QWidget* parent) : QFrame(parent) {
  setObjectName("StatusPanel");
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* grid = new QGridLayout(this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  int n = 0;
  for (const char* name : kStatusNames) {
    auto* label = new QLabel(this);
    label->setObjectName(QString("st") + name);
    label->setFont(fixed);
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
