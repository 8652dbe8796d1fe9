#include "debugger/executor.h"

#include "lang/keywords.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

using ExecutorTest = ConsoleTest;

TEST_F(ExecutorTest, TheTableHasItsRowsInOrder) {
  const auto& table = CommandTable();
  EXPECT_EQ(table.front().Token, tok::kADDRESS);
  EXPECT_EQ(table[4].Token, tok::kBR);
  EXPECT_EQ(table[33].Token, tok::kR0);
  EXPECT_EQ(table[41].Token, tok::kBIT) << "the second BIT row, never reached";
  EXPECT_EQ(table.back().Token, tok::kXWORD);
}

TEST_F(ExecutorTest, LinesNoHandlerTakesAreSyntaxErrorsUnlessTheyReportedTheirOwn) {
  Command("LOAD");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  Command("NOSUCHNAME");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSymbolNotKnown}) << "an unknown symbol is its error alone";
  Command("");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Messages().ErrorFlag) << "each command starts clean";
}

TEST_F(ExecutorTest, TheExecutorIsNotReentered) {
  Executor().Running = true;
  SetScanLine("LOAD\r", false);
  GetToken();
  EXPECT_FALSE(ExecuteCommand());
  EXPECT_TRUE(Errors().empty());
  Executor().Running = false;
}

}  // namespace
}  // namespace dorvik::testing
