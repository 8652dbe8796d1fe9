#include "debugger/commsettings.h"

#include <algorithm>

#include "access/transport.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/breakpoints.h"
#include "platform/serialport.h"

namespace dorvik {

namespace {

struct TargetName {
  uint8_t Kind;
  const char* Name;
};
constexpr TargetName kTargetNames[] = {{kTargetMonitor, "OVIX52"}, {kTargetAduc, "ADUC"}, {kTargetSimulator, "VOV51"}};

bool IsSerialTarget(uint8_t kind) { return kind == kTargetMonitor || kind == kTargetAduc; }

}  // namespace

CommState& Comm() { return CurrentSession().Get<CommState>(); }

const std::vector<int32_t>& OfferedBaudRates() {
  static const std::vector<int32_t> rates = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return rates;
}

std::string PortDevice(const std::string& port) {
  const std::string upper = UpperCase(port);
  if (upper.size() > 3 && upper.rfind("COM", 0) == 0 &&
      std::all_of(upper.begin() + 3, upper.end(), [](char c) { return c >= '0' && c <= '9'; }) && upper.size() <= 5)
    return platform::ComDevicePath(std::stoi(upper.substr(3)), Comm().ComDevices);
  return port;
}

bool TargetKindOfName(const std::string& name, uint8_t& kind) {
  const std::string upper = UpperCase(TrimBlanks(name));
  for (const TargetName& t : kTargetNames)
    if (upper == t.Name) {
      kind = t.Kind;
      return true;
    }
  return false;
}

uint8_t LastBreakIndexOf(uint8_t kind) { return kind == kTargetMonitor ? 1 : 7; }

bool ApplyCommSettings(const CommSettings& settings) {
  CommState& c = Comm();
  c.Applied = settings;
  Run().TargetKind = settings.TargetKind;
  Breakpoints().LastBreakIndex = LastBreakIndexOf(settings.TargetKind);
  BreakpointsChanged();
  CloseLink();
  if (!IsSerialTarget(settings.TargetKind) || settings.Port.empty()) return true;
  return OpenLink(PortDevice(settings.Port), settings.BaudRate);
}

CommSetupDialog::CommSetupDialog() : chosen_(Comm().Applied) { chosen_.TargetKind = Run().TargetKind; }

std::vector<std::string> CommSetupDialog::PortList() const {
  std::vector<std::string> ports = Comm().ComDevices;
  for (const std::string& d : platform::OfferedSerialDevices())
    if (std::find(ports.begin(), ports.end(), d) == ports.end()) ports.push_back(d);
  return ports;
}

const std::vector<std::string>& CommSetupDialog::TargetList() {
  static const std::vector<std::string> names = {"OVIX52", "ADUC", "VOV51"};
  return names;
}

void CommSetupDialog::SelectTarget(int item) {
  if (item >= 0 && item < 3) chosen_.TargetKind = kTargetNames[item].Kind;
}

bool CommSetupDialog::Ok() { return ApplyCommSettings(chosen_); }

}  // namespace dorvik
