#include "project/projectfile.h"

#include <algorithm>
#include <filesystem>

#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/text.h"
#include "platform/files.h"
#include "project/config.h"

namespace dorvik {

namespace {

constexpr std::string_view kModules = "PROJECT";
constexpr std::string_view kFileTypes = "FileTypes";

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
  auto& lists = ProjectLists();
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
  auto& lists = ProjectLists();
  lists.ProjectFileName = path;
  RegisterFileTypes();
  const std::string folder = FolderOf(path);
  lists.ProjectModules.clear();
  lists.ModulesFromFolder = !file.SectionExists(kModules);
  if (file.SectionExists(kFileTypes)) lists.FileTypeList = ReadFileTypes(file);
  if (!lists.ModulesFromFolder) {
    bool duplicate = false;
    for (const auto& [name, value] : file.ReadSectionValues(kModules)) {
      const std::string source = TrimBlanks(value);
      if (source.empty()) continue;
      tModuleRec module{UpperCase(TrimBlanks(name)), InFolder(folder, source), {}};
      // A module named twice is taken once, as first named.
      const bool seen = std::any_of(lists.ProjectModules.begin(), lists.ProjectModules.end(),
                                    [&](const tModuleRec& m) { return m.Name == module.Name; });
      if (seen) {
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
  const auto& lists = ProjectLists();
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

void UseProgramFolderAsProject(const std::string& programPath) {
  RegisterFileTypes();
  ProjectLists().ProjectModules = SourceModulesIn(FolderOf(programPath));
  ProjectLists().ModulesFromFolder = true;
}

}  // namespace dorvik
