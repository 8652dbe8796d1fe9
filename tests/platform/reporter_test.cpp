#include "platform/reporter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dorvik::platform {
namespace {

struct Case { BoxButtons Buttons; std::string Input; int Expect; };

TEST(ConsoleReporter, AnswersFromTheTerminal) {
  const Case cases[] = {
      {BoxButtons::Ok, "", kBoxOk},
      {BoxButtons::YesNo, "y\n", kBoxYes},
      {BoxButtons::YesNo, "  No\n", kBoxNo},
      {BoxButtons::YesNo, "c\nx\n\nY\n", kBoxYes},  // no Cancel here: asked again
      {BoxButtons::YesNoCancel, "c\n", kBoxCancel},
      {BoxButtons::YesNoCancelHelp, "N\n", kBoxNo},
      {BoxButtons::YesNoCancel, "y\n", kBoxYes},
      {BoxButtons::YesNoCancel, "n\n", kBoxNo},
      {BoxButtons::YesNoCancelHelp, "y\n", kBoxYes},
      {BoxButtons::YesNoCancelHelp, "o\nC\n", kBoxCancel},  // no OK here: asked again
      {BoxButtons::OkCancel, "y\nO\n", kBoxOk},
      {BoxButtons::OkCancel, "o\n", kBoxOk},
      {BoxButtons::OkCancel, "c\n", kBoxCancel},
      // End of input: the answer that does the least.
      {BoxButtons::YesNo, "", kBoxNo},
      {BoxButtons::YesNoCancel, "", kBoxCancel},
      {BoxButtons::OkCancel, "", kBoxCancel},
      {BoxButtons::YesNoCancelHelp, "", kBoxCancel},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.Input);
    std::ostringstream out;
    ConsoleReporter r(in, out);
    EXPECT_EQ(r.ShowBox({"Warning #4", "Sure?", c.Buttons, BoxIcon::Exclamation}), c.Expect) << c.Input;
  }
}

TEST(ConsoleReporter, PrintsCaptionColonTextWithLineBreaks) {
  std::istringstream in("y\n");
  std::ostringstream out;
  ConsoleReporter r(in, out);
  r.ShowBox({"Error #118", "Syntax Error", BoxButtons::Ok, BoxIcon::Stop});
  r.ShowBox({"Warning #48", "a\rb", BoxButtons::YesNo, BoxIcon::Stop});
  EXPECT_EQ(out.str(), "Error #118: Syntax Error\nWarning #48: a\nb\n(y/n)? ");
}

}  // namespace
}  // namespace dorvik::platform
