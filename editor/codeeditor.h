#pragma once
// The code editor's model without a window: the text lines of an editor page,
// the empty test and the text search that the debugger's source lookups use.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

// A position in the text: X the 0-based column, Y the 0-based line.
struct TPoint {
  int32_t X = -1;
  int32_t Y = -1;
  bool operator==(const TPoint&) const = default;
};

// Options of Find.
struct FindOptions {
  bool MatchCase = false;
  bool WholeWord = false;  // the hit stands between delimiters (IsWordDelimiter)
};

// Characters that end a word for a whole-word search.
bool IsWordDelimiter(char c);

class TCodeEditor {
 public:
  std::vector<std::string> Lines;

  // At most one line, and that line empty.
  bool IsEmpty() const;
  // Searches the lines from From up to (not including) To for Text; the
  // position of the first hit, (-1, -1) when there is none. Without MatchCase
  // the text and the lines are compared upper-cased.
  TPoint Find(std::string_view text, TPoint from, TPoint to, FindOptions options) const;
  // Lines from a text whose lines end with LF, CR LF or CR.
  void SetText(std::string_view text);
  // The lines joined by LineBreak, with one after the last line when FinalBreak.
  std::string Text(std::string_view lineBreak, bool finalBreak) const;
};

// An editor page: the file it shows and its editor, with what saving it
// needs to write the file back as it was read.
struct TEditSheet {
  std::string FileName;
  TCodeEditor Editor;
  bool ReadOnly = false;         // too long for editing: shown, not changed
  std::string LineBreak = "\n";  // the file's own line break (LF, CR LF or CR)
  bool FinalLineBreak = true;    // the file ended with a line break
  int64_t FileTime = 0;          // the file's change time when it was read or saved
  uint32_t Loads = 0;            // how often the text was read from the file
};

}  // namespace dorvik
