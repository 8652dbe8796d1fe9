// The loaded modules compared with the project's module list.

#include <vector>

#include "base/messages.h"
#include "project/project.h"
#include "base/text.h"
#include "lang/collections.h"
#include "objfiles/omfreader.h"

namespace dorvik {

namespace {

constexpr size_t kMaxSkipped = 10;

bool Compared(const tModuleItem& m) {
  return !m.Name.empty() && m.Flag;
}

// Sources found in a folder follow the loaded modules' order: first those
// the program holds, as it holds them, then the others as they were.
void OrderFolderModules(std::vector<tModuleRec>& project, const std::vector<tModuleItem>& items) {
  std::vector<tModuleRec> ordered;
  std::vector<bool> taken(project.size(), false);
  for (const tModuleItem& m : items) {
    if (!Compared(m)) continue;
    const std::string name = UpperCase(m.Name);
    for (size_t p = 0; p < project.size(); ++p)
      if (!taken[p] && UpperCase(project[p].Name) == name) {
        taken[p] = true;
        ordered.push_back(project[p]);
        break;
      }
  }
  for (size_t p = 0; p < project.size(); ++p)
    if (!taken[p]) ordered.push_back(project[p]);
  project = std::move(ordered);
}

}  // namespace

bool CheckObjectModules() {
  ObjReaderState& st = ObjReader();
  if (Project().ModulesFromFolder && Collections().ModuleTable)
    OrderFolderModules(Project().ProjectModules, Collections().ModuleTable->Items);
  const auto& project = Project().ProjectModules;
  if (project.empty() || !Collections().ModuleTable) return false;
  bool sourceLevel = true;
  size_t next = 0;
  auto& items = Collections().ModuleTable->Items;
  for (size_t i = 0; i < items.size(); ++i) {
    tModuleItem& m = items[i];
    if (!Compared(m)) {
      if (i + 1 == items.size()) {
        m.Flag = true;
        m.Name = project.front().Name;
        sourceLevel = false;
      }
      continue;
    }
    st.LastChecked = static_cast<int32_t>(i);
    size_t p = next;
    while (p < project.size() && UpperCase(project[p].Name) != UpperCase(m.Name)) {
      if (st.Skipped.size() < kMaxSkipped) st.Skipped.push_back(project[p].Name);
      ++p;
    }
    if (p == project.size()) {
      if (next < project.size() && UpperCase(project[next].Name) == "<INCLUDE>") return sourceLevel;
      ReportWarning(warn::kLoadedObjectFileContainsOther);
      return false;
    }
    next = p + 1;
    if (next == project.size()) break;
  }
  return sourceLevel;
}

std::string CheckObjectModuleOrder() {
  const ObjReaderState& st = ObjReader();
  if (st.LastChecked < 0 || !Collections().ModuleTable) return {};
  const auto& items = Collections().ModuleTable->Items;
  const tModuleItem* found = nullptr;
  for (size_t i = static_cast<size_t>(st.LastChecked) + 1; i < items.size() && !found; ++i)
    if (Compared(items[i])) found = &items[i];
  if (!found || found->Name.starts_with("?C_") || found->Name.starts_with("?C?")) return {};
  std::string list;
  for (const tModuleItem& m : items) {
    if (!Compared(m)) continue;
    if (!list.empty()) list += ", ";
    list += m.Name;
    if (m.Name == found->Name) break;
  }
  if (!st.Skipped.empty() && list.find(st.Skipped.front()) != std::string::npos) {
    ReportWarning(warn::kModulesOrderingInLoadProject, list);
    return {};
  }
  if (found->Name == "OTHER_SDCC_STUF") return {};
  return IsYes(ReportWarning(warn::kAtLeastOneModule, found->Name)) ? found->Name : std::string{};
}

}  // namespace dorvik
