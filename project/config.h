#pragma once
// The project's state that the engine reads, and the project-file keys of the
// loader options, the target and the serial speed.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini.h"

namespace dorvik {

// Load options of the [LOADER] section.
struct LoaderOptions {
  bool LoadCode = true;
  bool LoadLines = true;
  bool LoadSymbols = true;
  bool LoadAppend = false;
  bool LoadXData = false;
  bool ClearDataFlash = false;
  bool ClearCodeFlash = false;
  bool LoadAutomaticallyOnStart = false;
  std::string LastLoadPath;
  // The ADuC download speed choice: 0 115200, 1 57600, 2 38400 baud.
  int DownloadSpeed = 0;
};

// The project's settings (its file name and lists are in base/projectlists.h).
struct ProjectState {
  LoaderOptions Loader;
  int32_t BaudRate = 19200;  // [COM] "Baud"
  std::string ComPort;       // [COM] "Port": "COMn" or a device path ("" none)
};

ProjectState& Project();

// [LOADER]: Booleans written "Yes"/"No"; a key that is missing or unreadable
// keeps the option as it is.
void ReadLoaderOptions(const platform::IniFile& file, LoaderOptions& options);
void WriteLoaderOptions(platform::IniFile& file, const LoaderOptions& options);

// The "Target=" line before the first section: "OVIX52" 0, "ADUC" 2,
// "VOV51" 3 (any case); kind 1 (no target) is written as nothing. Another
// text keeps `current`.
uint8_t ReadTargetKind(const platform::IniFile& file, uint8_t current);
void WriteTargetKind(platform::IniFile& file, uint8_t kind);

// [COM] "Baud"; a missing or non-numeric value keeps `current`.
int32_t ReadBaudRate(const platform::IniFile& file, int32_t current);

// The serial settings of [COM]: "Baud" (one of the ten speeds offered; another
// number falls back to 19200 with message 101) and "Port" (the port number,
// 1 = COM1, or a device path). Missing keys keep what is passed in.
void ReadComSettings(const platform::IniFile& file, std::string& port, int32_t& baud);
void WriteComSettings(platform::IniFile& file, const std::string& port, int32_t baud);

}  // namespace dorvik
