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

const tFileTypeRec* FindFileTypeOf(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t slash = fileName.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return nullptr;
  return FindFileType(fileName.substr(dot));
}

}  // namespace dorvik
