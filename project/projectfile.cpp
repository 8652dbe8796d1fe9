#include "project/projectfile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <unordered_set>

#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace dorvik {

namespace {

constexpr std::string_view kModules = "PROJECT";
constexpr std::string_view kFileTypes = "FileTypes";
constexpr std::string_view kVariables = "VARIABLES";

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

constexpr int32_t kComBaudRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// A name from the project file: relative names lie in the project's folder.
std::string InFolder(const std::string& folder, const std::string& name) {
  const std::filesystem::path p(name);
  if (p.is_absolute() || folder == ".") return name;
  return (std::filesystem::path(folder) / p).string();
}

bool IsSourceKind(uint8_t kind) { return kind == kFileAssembler || kind == kFileC; }

void RegisterFileTypes() {
  auto& lists = Project();
  if (lists.FileTypeList.empty()) lists.FileTypeList = DefaultFileTypes();
}

}  // namespace

std::vector<tFileTypeRec> DefaultFileTypes() {
  return {{kFileAssembler, ".A51", "diz52"}, {kFileAssembler, ".ASM", "diz52"}, {kFileC, ".C", ""},
          {kFileInclude, ".INC", ""},        {kFileInclude, ".H", ""},          {kFileLinkMap, ".M51", ""},
          {kFileObject, ".OBJ", ""},         {kFileListing, ".LST", ""}};
}

std::vector<tModuleRec> SourceModulesIn(const std::string& folder) {
  std::vector<tModuleRec> modules;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const std::filesystem::path& path = entry.path();
    const tFileTypeRec* type = FindFileType(path.extension().string());
    if (!type || !IsSourceKind(type->Kind)) continue;
    // Sources of the working folder are named as the user would type them.
    std::string name = path.string();
    if (name.rfind("./", 0) == 0) name.erase(0, 2);
    modules.push_back({UpperCase(path.stem().string()), name, {}});
  }
  std::sort(modules.begin(), modules.end(),
            [](const tModuleRec& a, const tModuleRec& b) { return a.Name < b.Name; });
  return modules;
}

bool ReadProjectFile(const std::string& path) {
  platform::IniFile file;
  if (!file.Load(path)) return false;
  auto& lists = Project();
  lists.ProjectFileName = path;
  RegisterFileTypes();
  const std::string folder = FolderOf(path);
  lists.ProjectModules.clear();
  lists.ModulesFromFolder = !file.SectionExists(kModules);
  if (file.SectionExists(kFileTypes)) lists.FileTypeList = ReadFileTypes(file);
  if (!lists.ModulesFromFolder) {
    bool duplicate = false;
    std::unordered_set<std::string> names;  // the modules taken so far
    for (const auto& [name, value] : file.ReadSectionValues(kModules)) {
      const std::string source = TrimBlanks(value);
      if (source.empty()) continue;
      tModuleRec module{UpperCase(TrimBlanks(name)), InFolder(folder, source), {}};
      // A module named twice is taken once, as first named.
      if (!names.insert(module.Name).second) {
        duplicate = true;
        continue;
      }
      lists.ProjectModules.push_back(std::move(module));
    }
    if (duplicate) ReportError(err::kIncorrectConfigurationFile, path);
  } else {
    lists.ProjectModules = SourceModulesIn(folder);
  }
  Run().TargetKind = ReadTargetKind(file, Run().TargetKind);
  ReadComSettings(file, Project().ComPort, Project().BaudRate);
  ReadLoaderOptions(file, Project().Loader);
  // The last program loaded is named like the modules: relative to the folder.
  std::string& last = Project().Loader.LastLoadPath;
  if (!TrimBlanks(last).empty()) last = InFolder(folder, TrimBlanks(last));
  return true;
}

std::vector<tFileTypeRec> ReadFileTypes(const platform::IniFile& file) {
  std::vector<tFileTypeRec> types;
  for (const auto& [key, value] : file.ReadSectionValues(kFileTypes)) {
    std::string ext = UpperCase(TrimBlanks(key));
    if (ext.empty()) continue;
    if (ext.front() != '.') ext.insert(ext.begin(), '.');
    const size_t comma = value.find(',');
    const std::string kindText = TrimBlanks(value.substr(0, comma));
    if (kindText.size() != 1 || kindText[0] < '1' || kindText[0] > '7') continue;
    const std::string compiler = comma == std::string::npos ? std::string() : TrimBlanks(value.substr(comma + 1));
    const bool seen = std::any_of(types.begin(), types.end(), [&](const tFileTypeRec& t) { return t.Extension == ext; });
    if (!seen) types.push_back({static_cast<uint8_t>(kindText[0] - '0'), ext, compiler});
  }
  return types;
}

void WriteFileTypes(platform::IniFile& file, const std::vector<tFileTypeRec>& types) {
  file.EraseSection(kFileTypes);
  for (const tFileTypeRec& t : types)
    file.WriteString(kFileTypes, t.Extension, std::string(1, static_cast<char>('0' + t.Kind)) + "," + t.Compiler);
}

void WriteModules(platform::IniFile& file, const std::string& path) {
  file.EraseSection(kModules);
  const auto& lists = Project();
  // Modules taken from the folder stay so: no section is written for them.
  if (lists.ModulesFromFolder) return;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::absolute(FolderOf(path), ec).lexically_normal();
  for (const tModuleRec& m : lists.ProjectModules) {
    const fs::path source = fs::absolute(m.FileName, ec).lexically_normal();
    const fs::path relative = source.lexically_relative(folder);
    const bool inside = !ec && !relative.empty() && *relative.begin() != "..";
    file.WriteString(kModules, m.Name, inside ? relative.string() : m.FileName);
  }
}

bool WriteProjectSettings(const std::string& path) {
  if (path.empty()) return false;
  platform::IniFile file;
  // The rest of the project file must survive: one that exists but cannot be
  // read is not overwritten.
  if (!file.Load(path)) {
    if (platform::FileExists(path)) return false;
    platform::TakeIOResult();
  }
  const std::string before = file.Text();
  WriteTargetKind(file, Run().TargetKind);
  WriteComSettings(file, Project().ComPort, Project().BaudRate);
  LoaderOptions options = Project().Loader;
  if (!options.LastLoadPath.empty()) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::absolute(FolderOf(path), ec).lexically_normal();
    const fs::path last = fs::absolute(options.LastLoadPath, ec).lexically_normal();
    const fs::path relative = last.lexically_relative(folder);
    if (!ec && !relative.empty() && *relative.begin() != "..") options.LastLoadPath = relative.string();
  }
  WriteLoaderOptions(file, options);
  return file.Text() == before || file.Save(path);
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

void ReadVariables(const platform::IniFile& file) {
  Project().Variables.clear();
  for (const auto& [name, value] : file.ReadSectionValues(kVariables)) {
    const std::string key = TrimBlanks(name);
    if (!key.empty()) Project().Variables.emplace_back(key, value);
  }
}

void WriteVariables(platform::IniFile& file) {
  file.EraseSection(kVariables);
  for (const auto& [name, value] : Project().Variables) file.WriteString(kVariables, name, value);
}

void UseProgramFolderAsProject(const std::string& programPath) {
  RegisterFileTypes();
  Project().ProjectModules = SourceModulesIn(FolderOf(programPath));
  Project().ModulesFromFolder = true;
}

}  // namespace dorvik
