#include "lang/fileutil.h"
#include "base/session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "lang/collections.h"
#include "lang/keywords.h"
#include "base/messages.h"
#include "base/runprogram.h"
#include "platform/files.h"
#include "platform/text.h"
#include "project/project.h"
#include "base/text.h"
#include "base/userseam.h"

namespace dorvik {

namespace {

std::string Lower(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return u;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> SplitPath(const char* value, const char* fallback) {
  std::string text = (value != nullptr && *value != '\0') ? value : fallback;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(':', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Desktop association data

// MIME type of a file name by the shared MIME database's globs (the highest weight wins).
std::string MimeTypeOf(const AssociationDirs& dirs, const std::string& fileName) {
  std::string best;
  int bestWeight = -1;
  for (const std::string& dir : dirs.DataDirs) {
    for (const std::string& line : ReadLines(dir + "/mime/globs2")) {
      if (line.empty() || line[0] == '#') continue;
      // weight:type:glob[:flags]
      const size_t a = line.find(':');
      const size_t b = a == std::string::npos ? a : line.find(':', a + 1);
      if (b == std::string::npos) continue;
      const size_t c = line.find(':', b + 1);
      const std::string glob = line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
      const bool caseSensitive = c != std::string::npos && line.find("cs", c) != std::string::npos;
      if (glob.size() < 2 || glob[0] != '*' || glob.find_first_of("*?[", 1) != std::string::npos) continue;
      const std::string suffix = glob.substr(1);
      if (fileName.size() < suffix.size()) continue;
      const std::string tail = fileName.substr(fileName.size() - suffix.size());
      if (caseSensitive ? tail != suffix : Lower(tail) != Lower(suffix)) continue;
      const int weight = std::atoi(line.substr(0, a).c_str());
      if (weight > bestWeight) {
        bestWeight = weight;
        best = line.substr(a + 1, b - a - 1);
      }
    }
  }
  return best;
}

// Value of Key in [Section] of an INI-style desktop file ("" when missing).
std::string DesktopValue(const std::vector<std::string>& lines, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const std::string& raw : lines) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[') {
      inSection = line.size() == section.size() + 2 && line.back() == ']' && line.substr(1, section.size()) == section;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos && Trim(line.substr(0, eq)) == key) return std::string(Trim(line.substr(eq + 1)));
  }
  return {};
}

// Path of the desktop entry of an id, "" when no data dir has it.
std::string FindDesktopFile(const AssociationDirs& dirs, const std::string& id) {
  if (id.empty() || id.find('/') != std::string::npos) return {};
  for (const std::string& dir : dirs.DataDirs) {
    const std::string path = dir + "/applications/" + id;
    if (platform::FileExists(path)) return path;
  }
  return {};
}

// The desktop entry of the default application of a MIME type.
std::string DefaultApplication(const AssociationDirs& dirs, const std::string& mime) {
  std::vector<std::string> lists;
  for (const std::string& dir : dirs.ConfigDirs) lists.push_back(dir + "/mimeapps.list");
  for (const std::string& dir : dirs.DataDirs) lists.push_back(dir + "/applications/mimeapps.list");
  for (const std::string& dir : dirs.DataDirs) lists.push_back(dir + "/applications/defaults.list");
  for (const std::string& list : lists) {
    const std::vector<std::string> lines = ReadLines(list);
    const std::string value = DesktopValue(lines, "Default Applications", mime);
    size_t start = 0;
    while (start < value.size()) {
      size_t end = value.find(';', start);
      if (end == std::string::npos) end = value.size();
      const std::string path = FindDesktopFile(dirs, std::string(Trim(std::string_view(value).substr(start, end - start))));
      if (!path.empty()) return path;
      start = end + 1;
    }
  }
  return {};
}

}  // namespace

FileUtilState& FileUtil() { return CurrentSession().Get<FileUtilState>(); }

// Text clean-up

std::string TrimPunctuation(std::string_view s) {
  std::string text(s);
  for (const PunctuationPair& p : PunctuationTokens) {
    if (text.empty()) break;
    if (text.front() == p.Char) text.erase(0, 1);
    if (text.empty()) break;
    if (text.find(p.Char) == text.size() - 1) text.pop_back();
  }
  return text;
}

std::string StripAmpersand(std::string_view caption) {
  std::string text(caption);
  const size_t at = text.find('&');
  if (at != std::string::npos) text.erase(at, 1);
  return text;
}

// Bits

int32_t HighWord(int32_t value) { return value / 65536; }

uint8_t ByteParity(uint8_t b) {
  b ^= static_cast<uint8_t>(b >> 4);
  b ^= static_cast<uint8_t>(b >> 2);
  b ^= static_cast<uint8_t>(b >> 1);
  return b & 1;
}

// Compiler of a file type

void GetFileTypeCompiler(uint8_t fileType, std::string_view ext, std::string& command) {
  std::vector<tFileTypeRec>& list = Project().FileTypeList;
  std::string foundExtension;  // the dialog may change the list: keep the text, not the node
  bool found = false;
  for (const tFileTypeRec& node : list) {
    if (node.Kind == fileType && !node.Compiler.empty()) command = node.Compiler;
    if (platform::SameText(node.Extension, ext)) {
      found = true;
      foundExtension = node.Extension;
      break;
    }
  }
  if (command.empty()) {
    const std::string_view item = fileType == kFileAssembler ? "Assembler" : fileType == kFileC ? "C" : "";
    command = User().ChooseCompiler(item);
    if (command.empty()) return;
  }
  if (found && !CommandProgramExists(command)) {
    // Not handed on to the other nodes: a missing tool stays the only one's problem.
    ReportError(err::kSpecifiedCompilerForNotExists, foundExtension);
    return;
  }
  for (tFileTypeRec& node : list) {
    if (node.Kind == fileType && node.Compiler.empty()) node.Compiler = command;
  }
}

bool CommandProgramExists(std::string_view command) {
  const std::string line = TrimBlanks(command);
  if (line.empty()) return false;
  std::string program;
  if (line.front() == '"' || line.front() == '\'') {
    const size_t close = line.find(line.front(), 1);
    program = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    program = line.substr(0, line.find_first_of(" \t"));
  }
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return platform::FileExists(program);
  for (const std::string& dir : SplitPath(std::getenv("PATH"), "/usr/local/bin:/usr/bin:/bin"))
    if (!dir.empty() && platform::FileExists(dir + "/" + program)) return true;
  return false;
}

// Desktop association

AssociationDirs EnvironmentAssociationDirs() {
  const char* home = std::getenv("HOME");
  const std::string homeDir = home != nullptr ? home : "";
  AssociationDirs dirs;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  dirs.DataDirs.push_back(dataHome != nullptr && *dataHome ? dataHome : homeDir + "/.local/share");
  for (const std::string& d : SplitPath(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share")) {
    dirs.DataDirs.push_back(d);
  }
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  dirs.ConfigDirs.push_back(configHome != nullptr && *configHome ? configHome : homeDir + "/.config");
  for (const std::string& d : SplitPath(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg")) dirs.ConfigDirs.push_back(d);
  return dirs;
}

bool GetFileAssociation(std::string_view ext, std::string& openCommand, std::string& icon) {
  const AssociationDirs dirs = FileUtil().Association ? *FileUtil().Association : EnvironmentAssociationDirs();
  std::string name = "file";
  if (!ext.empty() && ext.front() != '.') name += '.';
  name += ext;
  const std::string mime = ext.empty() ? std::string() : MimeTypeOf(dirs, name);
  if (!mime.empty()) {
    const std::string desktop = DefaultApplication(dirs, mime);
    const std::vector<std::string> lines = desktop.empty() ? std::vector<std::string>{} : ReadLines(desktop);
    icon = DesktopValue(lines, "Desktop Entry", "Icon");
    openCommand = DesktopValue(lines, "Desktop Entry", "Exec");
  }
  return !openCommand.empty() || !icon.empty();
}

// Tool vendor

uint8_t VendorFromProtocol(const std::vector<std::string>& upperLines, uint8_t current) {
  uint8_t family = current;
  for (const std::string& line : upperLines) {
    if (line.find(" SDCC ") != std::string::npos) {
      family = kToolSdcc;
      break;
    }
    if (line.find(" KEIL ") != std::string::npos) {
      family = kToolKeil;
      break;
    }
    if (line.find(" INTEL ") != std::string::npos) {
      family = kToolIntel;
      break;
    }
  }
  if (family != kToolUnknown) return family;
  for (const std::string& line : upperLines) {
    if (line.find("COPYRIGHT") == std::string::npos) continue;
    if (line.find("SDCC") != std::string::npos) return kToolSdcc;
    if (line.find("KEIL") != std::string::npos) return kToolKeil;
    if (line.find("INTEL") != std::string::npos) return kToolIntel;
    return kToolUnknown;
  }
  return family;
}

void DetectCompilerVendor(std::string_view command) {
  // The run's own outcome, not a last error number that may be left over
  // from an earlier failure, tells whether the command could run at all.
  const ProgramRun run = RunProgramAndWait(command, true);
  if (run.Outcome == ProgramOutcome::RunnerMissing) return;
  std::vector<std::string> lines = ReadLines(run.OutputFile);
  for (std::string& line : lines) line = UpperCase(line);
  FileUtil().ToolFamily = VendorFromProtocol(lines, FileUtil().ToolFamily);
}

}  // namespace dorvik
