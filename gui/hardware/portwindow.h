#pragma once
// The port window: one row of eight pin buttons per selected port, with the
// port's value. Its popup menu lists the processor's ports ("Port n", checked
// = shown; ports 0-3 start checked). A pin button drives its pin low or
// releases it (the port latch is written; a pin of P3 that goes low gives
// the INT0/INT1 edge or the T0/T1 count pulse). The window reads the ports
// at every stop, during a run on the simulator only after an instruction
// changed a port (on a board only at rest, on an open line), and by its
// refresh timer (7000 ms as created, 500 ms after the first read), which
// loads and HEX saves stop (the engine counts the stops, access/portviews.h). A read over a board's
// line holds the workbench's input while it waits. It floats; its place is
// kept in the project's [DORVIK] section under "PortForm".

#include <array>
#include <cstdint>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "gui/ground/layoutentry.h"

class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;

namespace dorvik::gui {

inline constexpr int kPortTimerFirstMs = 7000;
inline constexpr int kPortTimerMs = 500;

class Workbench;

class TPortForm : public QWidget {
 public:
  TPortForm(QWidget* mainWindow, Workbench& bench);

  QMenu* PortPopupMenu() const { return menu_; }
  // The menu from the processor's ports as the processor description
  // filled it, then the pin buttons.
  void FillPortMenu();
  // One row of pin buttons per checked port.
  void CreatePinButtons();
  // With the reading flag set (and, over a link, the workbench's input held):
  // reads each selected port byte, sets the pin buttons and re-arms the
  // refresh timer at 500 ms. Nothing while the target cannot be read (a
  // board's program runs, the target is busy); a failed read stops the timer.
  void ReadPorts();
  // The refresh timer; a load or a HEX save since the last read stopped it
  // (the engine counts the stops and waits for a read in progress).
  QTimer& RefreshTimer() { return timer_; }
  bool RefreshStopped() const;
  // Pin Bit of the port at Address clicked: a high pin is driven low, a low one released.
  void PinClick(uint16_t address, int bit);
  QToolButton* PinButton(uint16_t address, int bit) const;
  QLabel* ValueLabel(uint16_t address) const;
  // The ports shown, by address.
  std::vector<uint16_t> ShownPorts() const;
  // On every stop and, while the program runs, after a port changed: reads
  // again while visible, as it does when its timer was stopped (by a load
  // or a HEX save); the menu anew after a processor change.
  void Sync();

  // The [DORVIK] entry: flag, left, top, width, height (no side: it floats).
  LayoutEntry CurrentLayout() const;
  void ApplyLayout(const LayoutEntry& entry);

 protected:
  void contextMenuEvent(QContextMenuEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  struct PortRow {
    uint16_t Address = 0;
    QWidget* Row = nullptr;
    QLabel* Value = nullptr;
    std::array<QToolButton*, 8> Pins{};
    uint8_t Byte = 0xFF;
  };
  void ShowRow(PortRow& row, uint8_t value);

  Workbench& bench_;
  QMenu* menu_;
  QVBoxLayout* rows_;
  QLabel* hint_;
  std::vector<PortRow> ports_;
  QTimer timer_;
  bool reading_ = false;
  bool failed_ = false;  // the last read failed
  uint32_t portMenuBuilds_ = ~0u;
  int32_t seenRefresh_ = -1;
  uint32_t seenChanges_ = 0;
  uint32_t seenStops_ = 0;  // the refresh stops counted when the timer was last armed
};

}  // namespace dorvik::gui
