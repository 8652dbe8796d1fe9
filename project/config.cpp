#include "project/config.h"
#include "base/session.h"

#include <algorithm>

#include "base/messages.h"
#include "base/msgids.h"
#include "platform/text.h"

namespace dorvik {

namespace {

constexpr std::string_view kLoader = "LOADER";

// Download speeds as the project file stores them, by choice.
constexpr std::string_view kDownloadSpeeds[] = {"115200", "57600", "38400"};

struct TargetName {
  uint8_t Kind;
  std::string_view Name;
};
constexpr TargetName kTargetNames[] = {{0, "OVIX52"}, {2, "ADUC"}, {3, "VOV51"}};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

ProjectState& Project() {
  return CurrentSession().Get<ProjectState>();
}

void ReadLoaderOptions(const platform::IniFile& f, LoaderOptions& o) {
  o.LoadCode = f.ReadBool(kLoader, "Code", o.LoadCode);
  o.LoadLines = f.ReadBool(kLoader, "Lines", o.LoadLines);
  o.LoadSymbols = f.ReadBool(kLoader, "Symbols", o.LoadSymbols);
  o.LoadAppend = f.ReadBool(kLoader, "Append", o.LoadAppend);
  o.LoadXData = f.ReadBool(kLoader, "XDATALoad", o.LoadXData);
  o.ClearDataFlash = f.ReadBool(kLoader, "ClearDataFLASH", o.ClearDataFlash);
  o.ClearCodeFlash = f.ReadBool(kLoader, "ClearCodeFLASH", o.ClearCodeFlash);
  o.LoadAutomaticallyOnStart = f.ReadBool(kLoader, "LoadAutomaticallyOnStart", o.LoadAutomaticallyOnStart);
  o.LastLoadPath = f.ReadString(kLoader, "LastLoadPath", o.LastLoadPath);
  if (f.ValueExists(kLoader, "Download Speed")) {
    const std::string speed(Trim(f.ReadString(kLoader, "Download Speed")));
    const auto* it = std::find(std::begin(kDownloadSpeeds), std::end(kDownloadSpeeds), speed);
    if (it != std::end(kDownloadSpeeds)) o.DownloadSpeed = static_cast<int>(it - std::begin(kDownloadSpeeds));
    // Older project files store the highest speed cut to five digits.
    if (speed == "11520") o.DownloadSpeed = 0;
  }
}

void WriteLoaderOptions(platform::IniFile& f, const LoaderOptions& o) {
  f.WriteBool(kLoader, "Code", o.LoadCode);
  f.WriteBool(kLoader, "Lines", o.LoadLines);
  f.WriteBool(kLoader, "Symbols", o.LoadSymbols);
  f.WriteBool(kLoader, "Append", o.LoadAppend);
  f.WriteBool(kLoader, "XDATALoad", o.LoadXData);
  f.WriteBool(kLoader, "ClearDataFLASH", o.ClearDataFlash);
  f.WriteBool(kLoader, "ClearCodeFLASH", o.ClearCodeFlash);
  f.WriteBool(kLoader, "LoadAutomaticallyOnStart", o.LoadAutomaticallyOnStart);
  f.WriteString(kLoader, "LastLoadPath", o.LastLoadPath);
  const int speed = o.DownloadSpeed >= 0 && o.DownloadSpeed < 3 ? o.DownloadSpeed : 0;
  f.WriteString(kLoader, "Download Speed", kDownloadSpeeds[speed]);
}

uint8_t ReadTargetKind(const platform::IniFile& f, uint8_t current) {
  if (!f.ValueExists("", "Target")) return current;
  const std::string text = f.ReadString("", "Target");
  const std::string_view name = Trim(text);
  if (name.empty()) return 1;
  for (const TargetName& t : kTargetNames)
    if (platform::SameText(t.Name, name)) return t.Kind;
  return current;
}

void WriteTargetKind(platform::IniFile& f, uint8_t kind) {
  std::string_view name;
  for (const TargetName& t : kTargetNames)
    if (t.Kind == kind) name = t.Name;
  f.WriteString("", "Target", name);
}

int32_t ReadBaudRate(const platform::IniFile& f, int32_t current) {
  const int64_t baud = f.ReadInteger("COM", "Baud", current);
  return baud > 0 && baud <= INT32_MAX ? static_cast<int32_t>(baud) : current;
}

namespace {
constexpr int32_t kComBaudRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
}

void ReadComSettings(const platform::IniFile& f, std::string& port, int32_t& baud) {
  if (f.ValueExists("COM", "Baud")) {
    const int64_t b = f.ReadInteger("COM", "Baud", -1);
    if (std::find(std::begin(kComBaudRates), std::end(kComBaudRates), b) != std::end(kComBaudRates)) {
      baud = static_cast<int32_t>(b);
    } else {
      ReportError(err::kBadValueBaudCommunicationSpeed);
      baud = 19200;
    }
  }
  if (f.ValueExists("COM", "Port")) {
    const std::string text(Trim(f.ReadString("COM", "Port")));
    // A number is a COM port (a sign makes it no less a number: "-5" is a
    // bad port, not a device); anything else names the device itself.
    const std::string digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? text.substr(1) : text;
    const bool number =
        !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number && digits == text && text.size() <= 2 && std::stoi(text) >= 1)
      port = "COM" + text;
    else if (!number && !text.empty())
      port = text;
    else
      ReportError(err::kBadCommunicationPortNumber);
  }
}

void WriteComSettings(platform::IniFile& f, const std::string& port, int32_t baud) {
  f.WriteInteger("COM", "Baud", baud);
  // No port chosen: nothing to read back (an empty entry would be refused).
  if (port.empty()) return;
  const bool com = port.size() > 3 && (port.rfind("COM", 0) == 0 || port.rfind("com", 0) == 0);
  f.WriteString("COM", "Port", com ? port.substr(3) : port);
}

}  // namespace dorvik
