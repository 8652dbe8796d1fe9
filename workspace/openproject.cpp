#include "workspace/openproject.h"

#include <cstdio>
#include <filesystem>

#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/text.h"
#include "debugger/breaklocations.h"
#include "debugger/breakpoints.h"
#include "lang/formatting.h"
#include "lang/symbols.h"
#include "lang/typedvalue.h"
#include "platform/files.h"
#include "platform/text.h"
#include "project/project.h"
#include "project/projectfile.h"

namespace dorvik {

namespace {

constexpr std::string_view kOptions = "OPTIONS";
constexpr std::string_view kDebug = "DEBUG";

struct SelectorKey {
  std::string_view Key;
  std::bitset<256> FormattingState::*Set;
};
constexpr SelectorKey kSelectorKeys[] = {{"CodePtrSelectors", &FormattingState::CodePtrSelectors},
                                         {"XDataPtrSelectors", &FormattingState::XDataPtrSelectors},
                                         {"PDataPtrSelectors", &FormattingState::PDataPtrSelectors},
                                         {"DataPtrSelectors", &FormattingState::DataPtrSelectors}};

std::string BreakKey(size_t index) { return "Break" + std::to_string(index); }

// The folder of a project file (the open project's when Path is empty), absolute.
std::filesystem::path ProjectFolder(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path folder =
      std::filesystem::path(path.empty() ? Project().ProjectFileName : path).parent_path();
  return std::filesystem::absolute(folder.empty() ? "." : folder, ec).lexically_normal();
}

// A breakpoint's source file as the project keeps it: relative to the
// project's folder when it lies inside it; empty for the module's own source.
std::string SavedBreakFile(const tBreak& bp, const std::filesystem::path& folder) {
  if (bp.Absolute || bp.Line.FileName.empty() || bp.Location.find('#') == std::string::npos) return {};
  const std::string module = bp.Location.substr(1, bp.Location.find('#') - 1);
  const tModuleRec* node = FindModuleNode(module);
  if (node && (platform::SameText(node->FileName, bp.Line.FileName) ||
               platform::SameFile(node->FileName, bp.Line.FileName)))
    return {};
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(bp.Line.FileName, ec).lexically_normal();
  const std::filesystem::path relative = file.lexically_relative(folder);
  const bool inside = !ec && !relative.empty() && *relative.begin() != "..";
  return inside ? relative.string() : file.string();
}

}  // namespace

std::string SelectorText(const std::bitset<256>& set) {
  std::string text;
  for (size_t i = 0; i < set.size(); ++i) {
    if (!set.test(i)) continue;
    if (!text.empty()) text += ',';
    text += std::to_string(i);
  }
  return text;
}

bool ParseSelectorText(std::string_view text, std::bitset<256>& set) {
  std::bitset<256> parsed;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string item = TrimBlanks(text.substr(start, end - start));
    // Every item of a list is a number 0-255: an empty one (",,", a comma at
    // either end) makes no list; only a wholly blank text is the empty set.
    if (item.empty()) {
      if (!TrimBlanks(text).empty()) return false;
    } else {
      if (item.size() > 3 || item.find_first_not_of("0123456789") != std::string::npos) return false;
      const int value = std::stoi(item);
      if (value > 255) return false;
      parsed.set(static_cast<size_t>(value));
    }
    start = end + 1;
  }
  set = parsed;
  return true;
}

void ReadProjectOptions(const platform::IniFile& file) {
  TypedValueOptions& typed = TypedValues();
  typed.IntMSBFirst = file.ReadBool(kOptions, "IntMSBFirst", typed.IntMSBFirst);
  typed.FloatMSBFirst = file.ReadBool(kOptions, "FloatMSBFirst", typed.FloatMSBFirst);
  for (const SelectorKey& k : kSelectorKeys) {
    // A set that is not a list of byte values keeps the one in use.
    if (file.ValueExists(kOptions, k.Key)) ParseSelectorText(file.ReadString(kOptions, k.Key), Formatting().*k.Set);
  }
  ReadVariables(file);
}

void WriteProjectOptions(platform::IniFile& file) {
  file.WriteBool(kOptions, "IntMSBFirst", TypedValues().IntMSBFirst);
  file.WriteBool(kOptions, "FloatMSBFirst", TypedValues().FloatMSBFirst);
  for (const SelectorKey& k : kSelectorKeys) file.WriteString(kOptions, k.Key, SelectorText(Formatting().*k.Set));
  WriteVariables(file);
}

void ReadProjectBreakpoints(const platform::IniFile& file, const std::string& path) {
  BreakpointState& bps = Breakpoints();
  const std::filesystem::path folder = ProjectFolder(path);
  for (size_t i = 0; i < bps.BreakTable.size(); ++i) {
    const std::string value = TrimBlanks(file.ReadString(kDebug, BreakKey(i)));
    const size_t comma = value.find(',');
    const std::string address = value.substr(0, comma);
    if (address.empty() || address.size() > 4 || address.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
      continue;
    tBreak& bp = bps.BreakTable[i];
    if (bp.Used) ClearBreakpoint(bp);
    bp.Used = true;
    bp.Address = static_cast<uint16_t>(std::stoul(address, nullptr, 16));
    // Address, location and, for a line of an include file, that file.
    const std::string rest = comma == std::string::npos ? address : value.substr(comma + 1);
    const size_t fileComma = rest.find(',');
    bp.Location = TrimBlanks(rest.substr(0, fileComma));
    const std::string source = fileComma == std::string::npos ? std::string() : TrimBlanks(rest.substr(fileComma + 1));
    bp.Enabled = file.ReadBool(kDebug, BreakKey(i) + "Enabled", true);
    bp.Absolute = bp.Location.empty() || bp.Location.front() != ':';
    if (!source.empty() && !bp.Absolute) {
      const std::filesystem::path named(source);
      KeepSourceLine(bp, named.is_absolute() ? source : (folder / named).string(), bp.Location);
    } else {
      MarkBreakpointLocation(bp);
    }
    // A line deleted since it was set: the next load asks where it went.
    bp.Line.Deleted = file.ReadBool(kDebug, BreakKey(i) + "LineDeleted", false);
  }
  BreakpointsChanged();
}

void WriteProjectBreakpoints(platform::IniFile& file, const std::string& path) {
  file.EraseSection(kDebug);
  const std::filesystem::path folder = ProjectFolder(path);
  const BreakpointState& bps = Breakpoints();
  for (size_t i = 0; i < bps.BreakTable.size(); ++i) {
    const tBreak& bp = bps.BreakTable[i];
    if (!bp.Used) continue;
    char address[8];
    std::snprintf(address, sizeof address, "%04X", bp.Address);
    const std::string source = SavedBreakFile(bp, folder);
    file.WriteString(kDebug, BreakKey(i),
                     std::string(address) + "," + SavedLocation(bp) + (source.empty() ? "" : "," + source));
    file.WriteString(kDebug, BreakKey(i) + "Enabled", bp.Enabled ? "TRUE" : "FALSE");
    if (bp.Line.Deleted) file.WriteString(kDebug, BreakKey(i) + "LineDeleted", "TRUE");
  }
}

bool OpenProject(const std::string& path) {
  platform::IniFile file;
  if (!file.Load(path)) {
    platform::TakeIOResult();
    ReportError(err::kCouldNotOpenConfigurationFile, path);
    return false;
  }
  FreeSymbolCollections();
  if (!ReadProjectFile(path)) {
    ReportError(err::kCouldNotOpenConfigurationFile, path);
    return false;
  }
  ReadProjectOptions(file);
  ReadProjectBreakpoints(file, path);
  return true;
}

void NewProject() {
  FreeSymbolCollections();
  Project() = ProjectState{};
  Project().FileTypeList = DefaultFileTypes();
  TypedValues() = TypedValueOptions{};
  const uint8_t radix = Formatting().DisplayRadix;
  Formatting() = FormattingState{};
  Formatting().DisplayRadix = radix;
  for (tBreak& bp : Breakpoints().BreakTable)
    if (bp.Used) ClearBreakpoint(bp);
}

bool WriteProject(const std::string& path) {
  platform::IniFile file;
  if (!file.Load(path)) {
    // A file that is there but cannot be read is not written over.
    const bool exists = platform::FileExists(path);
    platform::TakeIOResult();
    if (exists) {
      ReportError(err::kCouldNotCreateDesktopFile, path);
      return false;
    }
  }
  WriteTargetKind(file, Run().TargetKind);
  WriteComSettings(file, Project().ComPort, Project().BaudRate);
  WriteLoaderOptions(file, Project().Loader);
  WriteModules(file, path);
  WriteFileTypes(file, Project().FileTypeList);
  WriteProjectOptions(file);
  WriteProjectBreakpoints(file, path);
  if (!file.Save(path)) {
    platform::TakeIOResult();
    ReportError(err::kCouldNotCreateDesktopFile, path);
    return false;
  }
  // The loader's own keys (LastLoadPath relative to the folder) as the loader writes them.
  WriteProjectSettings(path);
  return true;
}

}  // namespace dorvik
