#pragma once
// Shared by the libFuzzer harnesses: the input as text lines, a scratch
// folder that is the working folder of the whole run, and a message reporter
// that answers every box at once.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/session.h"
#include "platform/reporter.h"

namespace dorvik::fuzz {

inline std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at line feeds (a CR before one stays), at most maxLines lines.
inline std::vector<std::string> Lines(std::string_view text, size_t maxLines) {
  std::vector<std::string> lines;
  while (!text.empty() && lines.size() < maxLines) {
    const size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  }
  return lines;
}

// A fresh folder under TMPDIR made the working folder, so that file names an
// input writes relative to it stay inside; removed at exit. The working folder
// changes at the first input: give libFuzzer the corpus folders and
// -artifact_prefix as absolute paths.
inline const std::filesystem::path& ScratchFolder() {
  // The name lives in a plain array: the exit handler runs after the path's destructor.
  static char name[4096];
  static const std::filesystem::path folder = [] {
    const std::string pattern = (std::filesystem::temp_directory_path() / "dorvik-fuzz-XXXXXX").string();
    if (pattern.size() >= sizeof name) std::abort();
    pattern.copy(name, pattern.size());
    if (!mkdtemp(name)) std::abort();
    std::filesystem::current_path(name);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(name, ignored);
    });
    return std::filesystem::path(name);
  }();
  return folder;
}

// Empties the scratch folder.
inline void ClearScratchFolder() {
  for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder()))
    std::filesystem::remove_all(entry.path());
}

// Assembler controls (after a '$') name files: without '/' and '\\' in such an
// input, every file a run writes or reads lies in the working folder.
inline void KeepFileNamesInside(std::string& source) {
  if (source.find('$') == std::string::npos) return;
  for (char& ch : source)
    if (ch == '/' || ch == '\\') ch = '_';
}

// Message boxes answer at once (OK, else the first button) and are not kept.
inline void InstallQuietReporter() {
  static platform::ScriptedReporter reporter;
  reporter.Clear();
  platform::SetReporter(&reporter);
}

// Where a harness that writes the input to files starts each input: the
// scratch folder as working folder, a fresh session and quiet boxes. Returns
// the input as text.
inline std::string_view StartInScratchFolder(const uint8_t* data, size_t size) {
  ScratchFolder();
  ResetSession();
  InstallQuietReporter();
  return Text(data, size);
}

}  // namespace dorvik::fuzz
