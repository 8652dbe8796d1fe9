#include "objfiles/sourcetext.h"

#include <filesystem>

#include "base/session.h"
#include "base/text.h"
#include "platform/files.h"

namespace dorvik {

SourceTextState& SourceText() { return CurrentSession().Get<SourceTextState>(); }

bool ReadFileLines(const std::string& fileName, std::vector<std::string>& lines) {
  lines.clear();
  std::string content;
  if (fileName.empty() || !platform::ReadWholeFile(fileName, content)) {
    platform::TakeIOResult();  // a missing source is no error here
    return false;
  }
  std::string line;
  for (size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return true;
}

bool ReadSourceLines(std::string_view fileName, bool open, std::vector<std::string>& lines, int32_t& page) {
  page = -1;
  if (const auto& pages = SourceText().PageLines) {
    if (const std::vector<std::string>* shown = pages(fileName, open, page)) {
      lines = *shown;
      return true;
    }
    page = -1;
  }
  const std::string name = ExistingFileName(fileName);
  return !name.empty() && ReadFileLines(name, lines);
}

std::string ExistingFileName(std::string_view name) {
  namespace fs = std::filesystem;
  if (name.empty()) return {};
  const std::string written(name);
  std::error_code ec;
  if (fs::is_regular_file(written, ec)) return written;
  const fs::path wanted(written);
  const std::string part = UpperCase(wanted.filename().string());
  if (part.empty()) return {};
  const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
  std::string found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    if (UpperCase(candidate) == part && (found.empty() || candidate < found) && it->is_regular_file(ec)) {
      found = candidate;
    }
  }
  if (found.empty()) return {};
  return wanted.has_parent_path() ? (wanted.parent_path() / found).string() : found;
}

}  // namespace dorvik
