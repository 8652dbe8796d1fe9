#include "project/modules.h"

#include <algorithm>

#include "platform/text.h"

namespace dorvik {

namespace {
ProjectListsState g_projectLists;
}  // namespace

ProjectListsState& ProjectLists() {
  return g_projectLists;
}

void ResetProjectLists() {
  g_projectLists = ProjectListsState{};
}

const tFileTypeRec* FindFileType(std::string_view extension) {
  for (const auto& type : g_projectLists.FileTypeList)
    if (platform::SameText(type.Extension, extension)) return &type;
  return nullptr;
}

}  // namespace dorvik
