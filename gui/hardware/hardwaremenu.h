#pragma once
// The hardware menus of the main window and the windows they open: the port window (View |
// Ports), the main window's port menu (Debug | Write port: "Port n" writes a
// value into that port), the inputs driven by hand (Debug | Inputs and the
// chords Ctrl+Alt+F1 / F2 for an INT0 / INT1 falling edge, Ctrl+Alt+F11 /
// F12 for a timer 0 / 1 count pulse in counter mode), and the
// virtual-hardware windows (Tools | LED panel, Tools | Virtual hardware).
// Its Sync, called with the main window's, has the engine feed the
// virtual-hardware windows at each refresh of the views and, during a run,
// after a port changed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QObject>

#include "access/portviews.h"
#include "platform/ini.h"

class QAction;
class QMainWindow;
class QMenu;

namespace dorvik::gui {

class TEightLED;
class TPortForm;
class TSimForm;
class Workbench;

class HardwareMenu : public QObject {
 public:
  // Puts its items on the View and Debug menus and a Tools menu on Main's
  // menu bar; Bench holds the input while the port window reads a board.
  HardwareMenu(QMainWindow& main, Workbench& bench, QMenu* viewMenu, QMenu* debugMenu);

  TPortForm* PortForm() const { return portForm_; }
  // The virtual-hardware windows, made when first opened.
  TEightLED* EightLED();
  TSimForm* SimForm();
  QMenu* PortPopupMenu() const { return portMenu_; }
  QMenu* InputsMenu() const { return inputsMenu_; }
  QAction* InputAction(PinInput input) const;

  // The windows opened from the menus.
  void ShowPortForm();
  void ShowEightLED();
  void ShowSimForm();
  // An input driven by hand; the views follow when the program is at rest.
  void DriveInput(PinInput input);
  // Port n of the main window's menu: asks for a value and writes it.
  void WritePortClick(uint16_t address, const std::string& caption);
  // Writes Text (hexadecimal, 0-FFH) into the port at Address: the
  // validator's message for anything else, and nothing is written.
  bool WritePortValue(uint16_t address, const std::string& text);
  // The text as a port value (hexadecimal, 00-FF); else the validator's message once.
  static bool PortValueOf(const std::string& text, uint8_t& value);

  void Sync();

  // The port window's [DORVIK] entry.
  void LoadLayout(const platform::IniFile& file);
  void SaveLayout(platform::IniFile& file) const;

 private:
  void FillPortMenu();

  QMainWindow& main_;
  TPortForm* portForm_;
  TEightLED* eightLed_ = nullptr;
  TSimForm* simForm_ = nullptr;
  QMenu* portMenu_;
  QMenu* inputsMenu_;
  QAction* inputs_[4] = {};
  uint32_t portMenuBuilds_ = ~0u;
  int32_t sentRefresh_ = -1;
  uint32_t sentChanges_ = 0;
  bool resend_ = false;
  bool portFormPlaced_ = false;  // placed by the user or the layout: not moved again
  bool eightLedPlaced_ = false;
  bool simFormPlaced_ = false;
};

}  // namespace dorvik::gui
