#pragma once
// The communication settings: the serial port, its speed and the debug
// target, and the model of the set-up dialog that changes them. The dialog
// works on its own copy; only OK applies it (the target kind, the number of
// breakpoints and the opened line change then, never on Cancel).

#include <cstdint>
#include <string>
#include <vector>

namespace dorvik {

struct CommSettings {
  std::string Port;          // the serial device ("" none)
  int32_t BaudRate = 19200;
  uint8_t TargetKind = 3;    // kTargetSimulator
};

struct CommState {
  CommSettings Applied;
  // The devices of COM1, COM2, ... ("COMn" maps to entry n - 1); empty: /dev/ttyS(n-1).
  std::vector<std::string> ComDevices;
};

CommState& Comm();

// The speeds offered (and accepted in the project file).
const std::vector<int32_t>& OfferedBaudRates();
// The device of a port text: "COMn" through the COM device list, anything else as it stands.
std::string PortDevice(const std::string& port);
// The target kind of a name ("OVIX52", "ADUC", "VOV51", any case); false for another text.
bool TargetKindOfName(const std::string& name, uint8_t& kind);
// The highest breakpoint index of a target kind: 1 for the monitor (BR0, BR1), else 7.
uint8_t LastBreakIndexOf(uint8_t kind);

// Makes Settings the ones in use: the target kind, the breakpoint table's
// size and the line (closed, then opened on the port for a serial target).
// False when the port could not be opened (reported; the rest stays applied).
bool ApplyCommSettings(const CommSettings& settings);

// The set-up dialog's model.
class CommSetupDialog {
 public:
  // Starts from the settings in use.
  CommSetupDialog();
  // The lists the dialog shows.
  std::vector<std::string> PortList() const;
  const std::vector<int32_t>& BaudList() const { return OfferedBaudRates(); }
  static const std::vector<std::string>& TargetList();
  // Choices
  void SelectPort(const std::string& port) { chosen_.Port = port; }
  void SelectBaud(int32_t baud) { chosen_.BaudRate = baud; }
  // Item 0 "OVIX52", 1 "ADUC", 2 "VOV51".
  void SelectTarget(int item);
  const CommSettings& Chosen() const { return chosen_; }
  // The breakpoint count the chosen target would have.
  uint8_t ChosenLastBreakIndex() const { return LastBreakIndexOf(chosen_.TargetKind); }
  // OK: applies what was chosen (false when the port could not be opened).
  bool Ok();
  // Cancel: nothing changes.
  void Cancel() {}

 private:
  CommSettings chosen_;
};

}  // namespace dorvik
