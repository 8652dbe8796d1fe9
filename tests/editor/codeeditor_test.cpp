#include "editor/codeeditor.h"

#include <gtest/gtest.h>

#include <vector>

namespace dorvik {
namespace {

TEST(CodeEditor, Find) {
  TCodeEditor e;
  e.Lines = {"mov a,#loop", "LOOP: djnz r7,LOOP", "xloop: sjmp xloop", "loop_2: ret"};
  struct Case {
    const char* Text;
    TPoint From, To;
    FindOptions Options;
    TPoint Expected;
  };
  const std::vector<Case> cases = {
      {"LOOP", {0, 0}, {0, 4}, {}, {7, 0}},                             // upper-cased without match case
      {"LOOP", {0, 0}, {0, 4}, {true, false}, {0, 1}},                  // match case
      {"LOOP", {1, 1}, {0, 4}, {true, false}, {14, 1}},                 // from within a line
      {"loop", {0, 2}, {0, 4}, {false, true}, {-1, -1}},                // whole word: not xloop nor loop_2
      {"loop", {0, 0}, {0, 1}, {false, false}, {7, 0}},
      {"djnz", {0, 0}, {0, 1}, {}, {-1, -1}},                           // the end line is not searched
      {"", {0, 0}, {0, 4}, {}, {-1, -1}},
  };
  for (const Case& c : cases) EXPECT_EQ(e.Find(c.Text, c.From, c.To, c.Options), c.Expected) << c.Text;
}

TEST(CodeEditor, SetTextSplitsEveryLineEnd) {
  TCodeEditor e;
  e.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(e.Lines, (std::vector<std::string>{"a", "b", "c", "d"}));
  // Empty: no line, or one empty line.
  for (const auto& [lines, empty] : {std::pair{std::vector<std::string>{}, true}, {{""}, true}, {{" "}, false},
                                     {{"", ""}, false}}) {
    e.Lines = lines;
    EXPECT_EQ(e.IsEmpty(), empty) << lines.size();
  }
}

}  // namespace
}  // namespace dorvik
