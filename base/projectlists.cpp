#include "base/projectlists.h"
#include "base/session.h"

#include <algorithm>

#include "platform/text.h"

namespace dorvik {

namespace {
}  // namespace

ProjectListsState& ProjectLists() {
  return CurrentSession().Get<ProjectListsState>();
}


const tFileTypeRec* FindFileType(std::string_view extension) {
  for (const auto& type : ProjectLists().FileTypeList)
    if (platform::SameText(type.Extension, extension)) return &type;
  return nullptr;
}

}  // namespace dorvik
