#include "project/modules.h"

#include <algorithm>
#include <cctype>

namespace dorvik {

namespace {
ProjectListsState g_projectLists;

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}
}  // namespace

ProjectListsState& ProjectLists() {
  return g_projectLists;
}

void ResetProjectLists() {
  g_projectLists = ProjectListsState{};
}

const tFileTypeRec* FindFileType(std::string_view extension) {
  for (const auto& type : g_projectLists.FileTypeList)
    if (SameTextIgnoringCase(type.Extension, extension)) return &type;
  return nullptr;
}

}  // namespace dorvik
