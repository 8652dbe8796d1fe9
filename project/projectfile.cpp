#include "project/projectfile.h"

#include <algorithm>
#include <filesystem>

#include "base/runstate.h"
#include "base/text.h"
#include "project/config.h"

namespace dorvik {

namespace {

constexpr std::string_view kModules = "PROJECT";

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
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
    modules.push_back({UpperCase(path.stem().string()), name, {}, {}});
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
  if (file.SectionExists(kModules)) {
    for (const std::string& name : file.ReadSection(kModules)) {
      const std::string source = TrimBlanks(file.ReadString(kModules, name));
      if (source.empty()) continue;
      const std::filesystem::path p(source);
      lists.ProjectModules.push_back(
          {UpperCase(TrimBlanks(name)), p.is_absolute() ? source : (std::filesystem::path(folder) / p).string(), {}, {}});
    }
  } else {
    lists.ProjectModules = SourceModulesIn(folder);
  }
  Run().TargetKind = ReadTargetKind(file, Run().TargetKind);
  ReadComSettings(file, Project().ComPort, Project().BaudRate);
  ReadLoaderOptions(file, Project().Loader);
  return true;
}

void UseProgramFolderAsProject(const std::string& programPath) {
  RegisterFileTypes();
  ProjectLists().ProjectModules = SourceModulesIn(FolderOf(programPath));
}

}  // namespace dorvik
