#include "project/project.h"

#include "base/session.h"
#include "platform/text.h"

namespace dorvik {

ProjectState& Project() { return CurrentSession().Get<ProjectState>(); }

const tFileTypeRec* FindFileType(std::string_view extension) {
  for (const auto& type : Project().FileTypeList)
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
