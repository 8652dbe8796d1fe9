#include "console/commoptions.h"

#include <algorithm>
#include <string_view>

#include "debugger/commsettings.h"
#include "platform/serialport.h"

namespace dorvik::console {

bool TakeCommOptions(int& argc, char** argv, std::string& error) {
  CommSettings settings = Comm().Applied;
  bool given = false;
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
    given = true;
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
  if (given) ApplyCommSettings(settings);
  return true;
}

}  // namespace dorvik::console
