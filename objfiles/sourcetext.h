#pragma once
// Source texts as the user sees them: the lines of the editor page that shows
// a file when there is one, else the file on disk; the marked editor line; and
// the opening of a file by the name written in a source, on a file system that
// tells upper and lower case apart.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

// An editor line that carries a mark: file, page and 1-based line (-1: none).
struct tShowedLine {
  std::string FileName;
  int32_t Page = -1;
  int32_t Line = -1;
  bool Deleted = false;  // the marked line was deleted: the mark stands on the line after it
};

// The lines of the editor page that shows FileName; with Open a page is made
// for the file. Page receives the page's number. nullptr when no page shows it.
using PageLinesFn =
    std::function<const std::vector<std::string>*(std::string_view fileName, bool open, int32_t& page)>;

struct SourceTextState {
  PageLinesFn PageLines;  // installed by the workbench; unset: files are read from disk
};

SourceTextState& SourceText();

// The file's lines split at LF, CR LF or CR; false when it cannot be read.
bool ReadFileLines(const std::string& fileName, std::vector<std::string>& lines);
// The lines of the page that shows FileName (a page is opened for it with
// Open), else of the file; false when there is neither. Page is -1 without a page.
bool ReadSourceLines(std::string_view fileName, bool open, std::vector<std::string>& lines, int32_t& page);

// The name of an existing file for Name as written: Name itself, else the one
// entry of Name's folder whose name equals Name's file part without regard to
// case (of several, the first in name order); empty when there is none.
std::string ExistingFileName(std::string_view name);

}  // namespace dorvik
