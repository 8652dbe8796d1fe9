#include "objfiles/includescan.h"

#include <algorithm>
#include <filesystem>

#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "objfiles/sourcetext.h"

namespace dorvik {

namespace {

// Longest span of text taken after a keyword for a file or macro name.
constexpr size_t kNameSpan = 128;

// A source's text twice: as written (names are opened as written) and
// upper-cased (keywords are searched in it); the same positions in both.
struct ScannedText {
  std::vector<std::string> Lines;
  std::vector<std::string> Upper;
};

bool LoadText(std::string_view fileName, ScannedText& text) {
  int32_t page = -1;
  if (!ReadSourceLines(fileName, false, text.Lines, page)) return false;
  text.Upper.clear();
  for (const auto& line : text.Lines) text.Upper.push_back(UpperCase(line));
  return true;
}

// Every occurrence is kept; an empty name is not added.
void AddName(std::vector<std::string>& list, std::string_view name) {
  if (!name.empty()) list.emplace_back(name);
}

// What identifies a file on the way down: its existing file, else its name.
std::string PathKey(std::string_view name) {
  const std::string existing = ExistingFileName(name);
  if (existing.empty()) return UpperCase(name);
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(existing, ec);
  return ec ? existing : absolute.lexically_normal().string();
}

// The files being scanned, outermost first: a name on it is not entered again,
// so a cycle of includes ends.
class RecursionPath {
 public:
  bool Enter(std::string_view name) {
    std::string key = PathKey(name);
    if (std::find(keys_.begin(), keys_.end(), key) != keys_.end()) return false;
    keys_.push_back(std::move(key));
    return true;
  }
  void Leave() { keys_.pop_back(); }

 private:
  std::vector<std::string> keys_;
};

// The text of Line (as written) from just after Open up to Close, Close
// searched within the next kNameSpan characters (missing: up to the span's end).
std::string Between(const std::string& line, size_t open, char close) {
  const size_t start = open + 1;
  if (start > line.size()) return {};
  const std::string_view span = std::string_view(line).substr(start, kNameSpan);
  const size_t end = span.find(close);
  return TrimBlanks(span.substr(0, end));
}

uint8_t KindOfExtension(std::string_view ext) {
  const tFileTypeRec* type = ext.empty() ? nullptr : FindFileType(ext);
  return type ? type->Kind : 0;
}

std::string ExtensionOf(std::string_view fileName) {
  return std::filesystem::path(std::string(fileName)).extension().string();
}

void ScanFile(std::string_view fileName, std::vector<std::string>* list, bool recurse, std::string_view defaultExt,
              RecursionPath& path);

// Adds one found name as written (the file system tells letter cases apart,
// so an upper-cased path would name no file) and, when asked, scans the file.
void FoundInclude(const std::string& written, std::vector<std::string>* list, bool recurse, RecursionPath& path) {
  // A macro reference is no file name, but the scan still follows it.
  if (written.empty() || written[0] != '%') AddName(list ? *list : IncludeScan().IncludeFileList, written);
  if (recurse) ScanFile(written, nullptr, true, {}, path);
}

void ScanAssembler(const ScannedText& text, std::vector<std::string>* list, bool recurse, RecursionPath& path) {
  for (size_t i = 0; i < text.Upper.size(); ++i) {
    const std::string& upper = text.Upper[i];
    const std::string& line = text.Lines[i];
    if (upper.starts_with("$INCLUDE")) {
      const size_t open = upper.find('(');
      if (open == std::string::npos) continue;
      FoundInclude(Between(line, open, ')'), list, recurse, path);
    } else if (upper.starts_with(".INCLUDE") || upper.starts_with("INCLUDE")) {
      const size_t open = upper.find('"');
      if (open == std::string::npos) continue;
      FoundInclude(Between(line, open, '"'), list, recurse, path);
    }
  }
}

void ScanC(const ScannedText& text, std::vector<std::string>* list, bool recurse, RecursionPath& path) {
  constexpr std::string_view kKeyword = "#INCLUDE";
  for (size_t i = 0; i < text.Upper.size(); ++i) {
    const std::string& upper = text.Upper[i];
    // The name never reaches past its own line.
    for (size_t at = upper.find(kKeyword); at != std::string::npos; at = upper.find(kKeyword, at + kKeyword.size())) {
      const std::string& line = text.Lines[i];
      const size_t after = at + kKeyword.size();
      const std::string span = TrimBlanks(std::string_view(line).substr(after, kNameSpan));
      if (span.empty()) {
        FoundInclude({}, list, recurse, path);
        continue;
      }
      const char close = span[0] == '<' ? '>' : '"';
      FoundInclude(Between(span, 0, close), list, recurse, path);
    }
  }
}

void ScanFile(std::string_view fileName, std::vector<std::string>* list, bool recurse, std::string_view defaultExt,
              RecursionPath& path) {
  ScannedText text;
  if (!LoadText(fileName, text)) return;
  uint8_t kind = KindOfExtension(ExtensionOf(fileName));
  if (kind == 0 || kind == kFileInclude) {
    if (defaultExt.empty()) return;
    kind = KindOfExtension(defaultExt);
  }
  if (kind != kFileAssembler && kind != kFileC) return;
  if (!path.Enter(fileName)) return;
  if (kind == kFileAssembler) {
    ScanAssembler(text, list, recurse, path);
  } else {
    ScanC(text, list, recurse, path);
  }
  path.Leave();
}

void CollectFile(std::string_view fileName, RecursionPath& path) {
  ScannedText text;
  if (!LoadText(fileName, text)) return;
  if (!path.Enter(fileName)) return;
  auto& state = IncludeScan();
  for (size_t i = 0; i < text.Upper.size(); ++i) {
    const std::string& upper = text.Upper[i];
    size_t pos = 0;
    for (;;) {
      const size_t include = upper.find("$INCLUDE", pos);
      const size_t in = upper.find("%IN", pos);
      if (include != std::string::npos && include < in) {
        const size_t open = upper.find('(', include);
        if (open != std::string::npos) {
          const std::string written = Between(text.Lines[i], open, ')');
          AddName(state.IncludeFileList, UpperCase(written));
          CollectFile(written, path);
        }
        pos = include + 8;
        continue;
      }
      if (in == std::string::npos) break;
      const size_t next = in + 3;
      if (next < upper.size() && (upper[next] == ' ' || upper[next] == '\t' || upper[next] == ')')) {
        if (upper.find("%DEFINE") != std::string::npos) {
          const size_t open = upper.find('(');
          if (open != std::string::npos) AddName(state.DefineNameList, Between(upper, open, ')'));
        } else if (upper.find("%SET") != std::string::npos) {
          const size_t open = upper.find('(');
          if (open != std::string::npos) AddName(state.DefineNameList, Between(upper, open, ','));
        }
      }
      pos = in + 4;
    }
  }
  path.Leave();
}

}  // namespace

IncludeScanState& IncludeScan() { return CurrentSession().Get<IncludeScanState>(); }

void ScanIncludeFiles(std::string_view fileName, std::vector<std::string>* list, bool recurse,
                      std::string_view defaultExt) {
  RecursionPath path;
  ScanFile(fileName, list, recurse, defaultExt, path);
}

void CollectIncludesAndDefines(std::string_view fileName, bool clear) {
  if (clear) {
    IncludeScan().IncludeFileList.clear();
    IncludeScan().DefineNameList.clear();
  }
  RecursionPath path;
  CollectFile(fileName, path);
}

int32_t FindDollarWordInFile(std::string_view fileName, std::string_view word) {
  ScannedText text;
  if (!LoadText(fileName, text)) return -1;
  std::string whole;
  for (const auto& line : text.Upper) whole += line + "\r\n";
  const size_t at = whole.find("$" + UpperCase(word));
  return at == std::string::npos ? -1 : static_cast<int32_t>(at);
}

}  // namespace dorvik
