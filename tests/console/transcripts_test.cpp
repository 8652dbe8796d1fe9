// Golden transcripts of the console: tests/console/transcripts/NAME.in holds
// the lines a user types, NAME.out the whole console text they produce, byte
// for byte. Each pair runs through the real dorvik51 binary with the .in file
// as its standard input (not a terminal: one line is one Enter).
//
// How the text looks with piped input:
// - The console starts with the prompt "hlt>"; each input line is echoed after
//   the prompt as it was typed (commands reach the executor upper-cased).
// - Command output follows on the next lines; after every command the prompt
//   is typed on a fresh line; an empty line gives a new prompt line.
// - A message box appears where it was raised, on a line of its own, as the
//   console reporter prints it: "Caption: text", e.g. "Error #118: Syntax
//   Error" or "Warning #3: ..."; a question adds "(y/n)? " with its default
//   answer and " (input is not a terminal)": no line is read for it.
// - A GO is waited for until the program halts; the next line is read only then.
// - At the end of the input the program ends with status 0 and ends the last
//   line (the final prompt) with a newline.
// The expected texts were written by hand from what the commands must print.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct Transcript {
  const char* Name;
  const char* About;
};

constexpr Transcript kTranscripts[] = {
    {"base", "BASE alone, BASE = 12 (error 132), the radix keywords, numbers in the display radix"},
    {"cpu", "CPU alone and CPU = 52"},
    {"enable", "ENABLE/DISABLE of the options and the breakpoint forms"},
    {"registers", "R3 of bank 2 (IDATA 13H), RBS forms, RBS = 4 refused (error 135)"},
    {"errors", "RESET alone, LOAD (118), an unknown name (137 without 118), GR, DEFINE, SEND"},
    {"prompt", "empty and blank lines, lower case, the prompt on a fresh line"},
    {"noeol", "a last line without its newline"},
    {"empty", "no input at all"},
    {"go", "code bytes, BR = addr, BR, GO to a breakpoint, the code restored, GO FROM ... TILL, a break inside an LCALL never reached"},
    {"st", "R1, R2, R4, R5, R6 set and shown; ST ended quietly by the end of the input"},
    {"step", "one step per STEP; an empty line steps again, ESC alone ends with the halt, another line runs as a command"},
    {"memshow", "every type and memory keyword shown, the character column, 145 for spaces without an image, CHECKSUM"},
    {"memmodify", "XWORD 0 = 1234 as 12H, 34H; a cyclic list; a fill; a BIT range; a copy; strings; an empty list; clipping"},
    {"run", "GO forms: TILL, two breakpoints, BR0/BR1, ARM, FROM, space prefixes masked, 162 beyond 0FFFFH"},
    {"running", "a GO of about 100 million instructions waited for, then displays"},
    {"breakpoints", "BR, BREAK, BR0, BR1, eight entries, warning 26 taking its default (no), GO starting on a breakpoint"},
    {"trace", "TRACE running an LCALL through, an empty line stepping again"},
    {"pstep", "PSTEP refused: warning 45 takes its default (no) without reading a line"},
    {"stepwatch", "S FROM with a DPTR watch, starting on a breakpoint"},
    {"stack", "STACK, STACK n ending at SP, CALLSTACK, CAUSE, R0-R7, REGISTERS"},
    {"radix", "numbers typed and shown in decimal, binary and octal; registers stay hexadecimal"},
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TranscriptTest : public ::testing::TestWithParam<Transcript> {};

TEST_P(TranscriptTest, ProducesItsConsoleText) {
  const Transcript& t = GetParam();
  const std::string dir = std::string(DORVIK_SOURCE_DIR) + "/tests/console/transcripts/";
  const std::string command = "'" + std::string(DORVIK_BIN_DIR) + "/dorvik51' < '" + dir + t.Name + ".in'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(output, ReadFile(dir + t.Name + ".out")) << t.About;
}

INSTANTIATE_TEST_SUITE_P(Console, TranscriptTest, ::testing::ValuesIn(kTranscripts),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
