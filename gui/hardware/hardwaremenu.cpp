#include "gui/hardware/hardwaremenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <array>
#include <memory>
#include <vector>

#include "access/backend.h"
#include "access/target.h"
#include "base/runstate.h"
#include "debugger/hardwarefeed.h"
#include "debugger/statusfields.h"
#include "debugger/toolviews.h"
#include "gui/ground/dockable.h"
#include "gui/hardware/eightled.h"
#include "gui/hardware/portwindow.h"
#include "gui/hardware/simform.h"
#include "gui/dialogs/validators.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/chooser.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"
#include "machine/images.h"
#include "vhw/hardware.h"

namespace dorvik::gui {

namespace {

constexpr const char* kPortFormKey = "PortForm";

struct InputItem {
  PinInput Input;
  const char* Name;
  const char* Caption;
  QKeyCombination Keys;
};
// The chords: Ctrl+Alt with F1, F2 (the INT0/INT1 edges), F11, F12 (the count pulses).
const std::array<InputItem, 4> kInputItems = {{
    {PinInput::Int0Edge, "InputInt0", "INT&0 edge", Qt::CTRL | Qt::ALT | Qt::Key_F1},
    {PinInput::Int1Edge, "InputInt1", "INT&1 edge", Qt::CTRL | Qt::ALT | Qt::Key_F2},
    {PinInput::Timer0Pulse, "InputT0", "T0 count &pulse", Qt::CTRL | Qt::ALT | Qt::Key_F11},
    {PinInput::Timer1Pulse, "InputT1", "T1 count p&ulse", Qt::CTRL | Qt::ALT | Qt::Key_F12},
}};

// A window of its own floats beside the main window's top right corner the first time.
void ShowBeside(QWidget& window, const QWidget& main, bool& placed) {
  if (!placed && !window.isVisible()) {
    window.adjustSize();
    window.move(main.geometry().topRight() - QPoint(window.width() + 40, -80));
    placed = true;
  }
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace

HardwareMenu::HardwareMenu(QMainWindow& main, Workbench& bench, QMenu* viewMenu, QMenu* debugMenu)
    : QObject(&main), main_(main), portForm_(new TPortForm(&main, bench)) {
  viewMenu->addAction("&Ports", this, [this] { ShowPortForm(); })->setObjectName("ViewPorts");

  debugMenu->addSeparator();
  inputsMenu_ = debugMenu->addMenu("&Inputs");
  inputsMenu_->setObjectName("InputsMenu");
  for (size_t i = 0; i < kInputItems.size(); ++i) {
    const InputItem& item = kInputItems[i];
    auto* action = new QAction(item.Caption, &main);
    action->setObjectName(item.Name);
    action->setShortcut(QKeySequence(item.Keys));
    // The chords work wherever the focus is in the main window, also during a run.
    main.addAction(action);
    connect(action, &QAction::triggered, this, [this, input = item.Input] { DriveInput(input); });
    inputsMenu_->addAction(action);
    inputs_[i] = action;
  }
  portMenu_ = debugMenu->addMenu("Write &port");
  portMenu_->setObjectName("PortPopupMenu");

  QMenu* tools = main.menuBar()->addMenu("&Tools");
  tools->setObjectName("ToolsMenu");
  tools->addAction("&LED panel", this, [this] { ShowEightLED(); })->setObjectName("ViewEightLED");
  tools->addAction("&Virtual hardware", this, [this] { ShowSimForm(); })->setObjectName("ViewSimForm");
  FillPortMenu();
}

QAction* HardwareMenu::InputAction(PinInput input) const {
  for (size_t i = 0; i < kInputItems.size(); ++i)
    if (kInputItems[i].Input == input) return inputs_[i];
  return nullptr;
}

TEightLED* HardwareMenu::EightLED() {
  if (eightLed_ == nullptr) {
    eightLed_ = new TEightLED(&main_);
    eightLed_->WantsBytes = [this] { resend_ = true; };
  }
  return eightLed_;
}

TSimForm* HardwareMenu::SimForm() {
  if (simForm_ == nullptr) {
    simForm_ = new TSimForm(&main_);
    simForm_->WantsBytes = [this] { resend_ = true; };
  }
  return simForm_;
}

void HardwareMenu::ShowPortForm() { ShowBeside(*portForm_, main_, portFormPlaced_); }

void HardwareMenu::ShowEightLED() {
  ShowBeside(*EightLED(), main_, eightLedPlaced_);
}

void HardwareMenu::ShowSimForm() {
  ShowBeside(*SimForm(), main_, simFormPlaced_);
}

void HardwareMenu::DriveInput(PinInput input) {
  if (!TargetPinInput(input)) return;
  if (!Run().ProgramRunning) RefreshDebugViews(false);
}

void HardwareMenu::WritePortClick(uint16_t address, const std::string& caption) {
  uint8_t now = 0xFF;
  if (!ViewsMayRead(ViewRead::Live) || !ReadViewByte(kSpaceDirect, address, now)) return;
  const std::optional<std::string> text = Choosers().AskValue({.Parent = &main_,
                                                               .Caption = caption,
                                                               .Label = "Value (00-FF, hexadecimal):",
                                                               .Value = FormatHex2(now),
                                                               .Low = 0,
                                                               .High = 0xFF,
                                                               .Accept =
                                                                   [](const std::string& typed) {
                                                                     uint8_t value = 0;
                                                                     return PortValueOf(typed, value);
                                                                   },
                                                               .Name = "PortValueDialog",
                                                               .FieldName = "editPortValue"});
  if (text) WritePortValue(address, *text);
}

bool HardwareMenu::PortValueOf(const std::string& text, uint8_t& value) {
  THEXRangeValidator validator(0, 0xFF);
  const std::string trimmed = QString::fromStdString(text).trimmed().toUpper().toStdString();
  if (trimmed.empty()) {
    validator.Error();
    return false;
  }
  if (!validator.Validate(trimmed, true)) return false;
  value = static_cast<uint8_t>(validator.Result);
  return true;
}

bool HardwareMenu::WritePortValue(uint16_t address, const std::string& text) {
  uint8_t value = 0;
  if (!PortValueOf(text, value)) return false;
  if (!ViewsMayRead(ViewRead::Live)) return false;
  if (!WritePortLatch(static_cast<uint8_t>(address), value)) return false;
  if (!Run().ProgramRunning) RefreshDebugViews(false);
  return true;
}

void HardwareMenu::FillPortMenu() {
  portMenuBuilds_ = CpuDb().PortMenuBuilds;
  portMenu_->clear();
  for (const CpuPortMenuItem& item : CpuDb().MainPortMenu) {
    QAction* action = portMenu_->addAction(Text(item.Caption) + "...");
    action->setObjectName(Text(item.ComponentName));
    action->setData(int(item.Tag));
    connect(action, &QAction::triggered, this,
            [this, tag = item.Tag, caption = item.Caption] { WritePortClick(tag, caption); });
  }
}

void HardwareMenu::Sync() {
  if (portMenuBuilds_ != CpuDb().PortMenuBuilds) FillPortMenu();
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  for (QAction* action : inputs_) action->setEnabled(caps.LocalImages);

  portForm_->Sync();

  if (!vhw::HardwareActive()) return;
  const int32_t refresh = DebugStatus().RefreshCount;
  const uint32_t changes = PortViews().PortChanges;
  const bool due = refresh != sentRefresh_ || changes != sentChanges_ || resend_;
  std::vector<vhw::ByteDisplay*> shown;
  if (eightLed_ != nullptr && eightLed_->isVisible()) shown.push_back(&eightLed_->Display());
  if (simForm_ != nullptr && simForm_->isVisible()) shown.push_back(&simForm_->DigitDisplay());
  if (FeedVirtualHardware(due, shown) && due) {
    sentRefresh_ = refresh;
    sentChanges_ = changes;
    resend_ = false;
  }
  if (eightLed_ != nullptr && eightLed_->isVisible()) eightLed_->Sync();
  if (simForm_ != nullptr && simForm_->isVisible()) simForm_->Sync();
}

void HardwareMenu::LoadLayout(const platform::IniFile& file) {
  LayoutEntry entry;
  if (!ParseLayoutValue(file.ReadString(kLayoutSection, kPortFormKey), entry)) return;
  portFormPlaced_ = true;
  portForm_->ApplyLayout(entry);
}

void HardwareMenu::SaveLayout(platform::IniFile& file) const {
  file.WriteString(kLayoutSection, kPortFormKey, LayoutValue(portForm_->CurrentLayout()));
}

}  // namespace dorvik::gui
