#include "console/commoptions.h"

#include <algorithm>
#include <string_view>

#include "base/runstate.h"
#include "base/session.h"
#include "debugger/commsettings.h"
#include "project/project.h"

namespace dorvik::console {

namespace {

// What the command line named (empty or 0: not named).
struct CommOptions {
  std::string Port;
  int32_t BaudRate = 0;
  int TargetKind = -1;
};

CommOptions& Options() { return CurrentSession().Get<CommOptions>(); }

}  // namespace

bool TakeCommOptions(int& argc, char** argv, std::string& error) {
  CommOptions& settings = Options();
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string_view name = arg, value;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name != "--port" && name != "--baud" && name != "--target") {
      argv[kept++] = argv[i];
      continue;
    }
    if (eq == std::string_view::npos) {
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (name == "--port") {
      settings.Port = std::string(value);
    } else if (name == "--baud") {
      const std::string text(value);
      const bool digits = !text.empty() && text.size() <= 7 &&
                          std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
      const int32_t baud = digits ? std::stoi(text) : 0;
      const auto& offered = OfferedBaudRates();
      if (std::find(offered.begin(), offered.end(), baud) == offered.end()) {
        error = "--baud " + text + ": not one of 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200";
        return false;
      }
      settings.BaudRate = baud;
    } else {
      uint8_t kind = 0;
      if (!TargetKindOfName(std::string(value), kind)) {
        error = "--target " + std::string(value) + ": not OVIX52, ADUC or VOV51";
        return false;
      }
      settings.TargetKind = kind;
    }
  }
  argv[kept] = nullptr;
  argc = kept;
  return true;
}

void ApplyStartCommSettings() {
  const CommOptions& o = Options();
  CommSettings s;
  s.TargetKind = o.TargetKind >= 0 ? static_cast<uint8_t>(o.TargetKind) : Run().TargetKind;
  s.Port = o.Port.empty() ? Project().ComPort : o.Port;
  s.BaudRate = o.BaudRate ? o.BaudRate : Project().BaudRate;
  const bool serial = s.TargetKind == kTargetMonitor || s.TargetKind == kTargetAduc;
  if (serial || o.TargetKind >= 0) ApplyCommSettings(s);
}

}  // namespace dorvik::console
