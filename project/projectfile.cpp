#include "project/projectfile.h"

#include <algorithm>
#include <filesystem>

#include "base/runstate.h"
#include "base/text.h"
#include "platform/files.h"
#include "project/config.h"

namespace dorvik {

namespace {

constexpr std::string_view kModules = "PROJECT";

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
  if (!lists.ModulesFromFolder) {
    for (const auto& [name, value] : file.ReadSectionValues(kModules)) {
      const std::string source = TrimBlanks(value);
      if (source.empty()) continue;
      lists.ProjectModules.push_back({UpperCase(TrimBlanks(name)), InFolder(folder, source), {}});
    }
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
