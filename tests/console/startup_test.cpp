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
//
// The console started on a project and a program: the example assembled into
// a scratch folder, loaded at start with its symbols, a breakpoint set by
// label, runs and steps that show their source lines (golden text in
// tests/console/startup/); the project file's entries; the command line; the
// console on a fake monitor board and a fake ADuC chip; the README's sessions
// and its recipe for bounding a command file with timeout.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "../assembler/asm_test_util.h"
#include "../support/fake_targets.h"
#include "assembler/objwriter.h"
#include "project/project.h"
#include "base/runstate.h"
#include "base/session.h"
#include "console/startup.h"
#include "objfiles/intelhex.h"
#include "project/projectfile.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
namespace tu = as::testutil;

// Runs Command in Dir with Input on standard input; its output and exit status.
std::pair<std::string, int> RunIn(const fs::path& dir, const std::string& command, const fs::path& input) {
  const std::string line = "cd '" + dir.string() + "' && '" + DORVIK_BIN_DIR + "/" + command + " < '" +
                           input.string() + "' 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  std::string output;
  char buffer[4096];
  size_t n = 0;
  while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pipe ? pclose(pipe) : -1;
  return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Runs dorvik51 with Args in Dir; Input: shell commands whose output is its standard input.
std::string RunConsole(const fs::path& dir, const std::string& args, const std::string& input) {
  const std::string line =
      "cd '" + dir.string() + "' && (" + input + ") | '" + DORVIK_BIN_DIR + "/dorvik51' " + args + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  std::string output;
  char buffer[4096];
  size_t n = 0;
  while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (pipe) pclose(pipe);
  return output;
}

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
    {"reset", "GO FOREVER ending after a written A5H that stays, the next GO going on; TRACE running a recursive call to its own return; "
              "RESET CPU putting every SFR in its reset state"},
    {"memory", "every memory, type and range form shown and written, the character column, strings, copies, "
               "checksums, stacks and registers, and their messages; every byte of every typed value written"},
};

class TranscriptTest : public ::testing::TestWithParam<Transcript> {};

TEST_P(TranscriptTest, ProducesItsConsoleText) {
  const Transcript& t = GetParam();
  const fs::path dir = fs::path(DORVIK_SOURCE_DIR) / "tests/console/transcripts";
  const auto [output, status] = RunIn(dir, "dorvik51'", dir / (std::string(t.Name) + ".in"));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, tu::ReadFile(dir / (std::string(t.Name) + ".out"))) << t.About;
}

INSTANTIATE_TEST_SUITE_P(Console, TranscriptTest, ::testing::ValuesIn(kTranscripts),
                         [](const auto& info) { return std::string(info.param.Name); });

// The indented block after the first "exactly this:" of a README: the whole console text.
std::string ReadmeTranscript(const fs::path& readme) {
  const std::string text = tu::ReadFile(readme);
  size_t at = text.find("exactly this:\n");
  std::string block;
  if (at == std::string::npos) return block;
  at = text.find('\n', at) + 1;
  while (at < text.size() && text[at] == '\n') ++at;
  while (at < text.size() && text.compare(at, 4, "    ") == 0) {
    const size_t end = text.find('\n', at);
    block += text.substr(at + 4, end - at - 4) + "\n";
    at = end + 1;
  }
  return block;
}

TEST(ConsoleStartTest, ReadmeTranscriptsAreWhatTheConsolePrintsForTheirCommandFiles) {
  const fs::path source(DORVIK_SOURCE_DIR);
  const fs::path dir = tu::ScratchDir("readme");
  EXPECT_EQ(RunIn(dir, "dorvik51'", source / "examples/quickstart.txt"),
            std::make_pair(ReadmeTranscript(source / "README.md"), 0));
  fs::copy_file(source / "examples/sum/sum.a51", dir / "sum.a51");
  tu::AssembleAt(dir / "sum.a51", "");
  EXPECT_EQ(RunIn(dir, "dorvik51' sum.obj", source / "examples/sum/session.txt"),
            std::make_pair(ReadmeTranscript(source / "examples/sum/README.md"), 0));
}

// The README's recipe for a command file whose GO never halts, run as it
// stands (only its time shortened) in a folder whose build/bin is this
// build's: every run ends with the halt report and the prompt, and with the
// status of a time-out. Eight runs side by side, since a recipe that signals
// twice loses the report only now and then.
TEST(ConsoleStartTest, ReadmeTimeoutRecipeAlwaysEndsWithTheHaltReport) {
  const std::string readme = tu::ReadFile(fs::path(DORVIK_SOURCE_DIR) / "README.md");
  const size_t at = readme.find("`timeout ");
  ASSERT_NE(at, std::string::npos);
  std::string recipe = readme.substr(at + 1, readme.find('`', at + 1) - at - 1);
  ASSERT_NE(recipe.find(" 60 build/bin/dorvik51 < commands.txt"), std::string::npos) << recipe;
  recipe.replace(recipe.find(" 60 "), 4, " 1 ");
  const fs::path dir = tu::ScratchDir("timeout");
  fs::create_directories(dir / "build");
  fs::create_directory_symlink(DORVIK_BIN_DIR, dir / "build/bin");
  tu::WriteFile(dir / "commands.txt", "CBYTE 0 = 80,FE\nGO\nR\n");
  const std::string line = "cd '" + dir.string() + "' && for i in 1 2 3 4 5 6 7 8; do (" + recipe +
                           " > out$i 2>&1; echo $? > status$i) & done; wait";
  ASSERT_EQ(std::system(line.c_str()), 0);
  for (int i = 1; i <= 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tu::ReadFile(dir / ("out" + std::to_string(i))),
              "hlt>CBYTE 0 = 80,FE\nhlt>GO\nEXECUTION HALTED AT 0000\nhlt>\n");
    EXPECT_EQ(tu::ReadFile(dir / ("status" + std::to_string(i))), "124\n");
  }
}

TEST(ConsoleStartTest, LoadsTheProgramOfTheCommandLineAndShowsSourceLinesAtStops) {
  const fs::path dir = tu::ScratchDir("sum");
  fs::copy_file(fs::path(DORVIK_SOURCE_DIR) / "examples/sum/sum.a51", dir / "sum.a51");
  tu::AssembleAt(dir / "sum.a51", "OBJECT DEBUG PRINT");
  tu::WriteFile(dir / "p.qpc", "Target=VOV51\r\n[LOADER]\r\nLines=Yes\r\n");
  const fs::path golden = fs::path(DORVIK_SOURCE_DIR) / "tests/console/startup";
  const auto [output, status] = RunIn(dir, "dorvik51' --project p.qpc sum.obj", golden / "sum.in");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, tu::ReadFile(golden / "sum.out"));

  // A stop at the source's first line shows that line too.
  const fs::path first = dir / "first";
  fs::create_directory(first);
  tu::WriteFile(first / "first.a51", "LOOP:   INC     A\n        SJMP    LOOP\n        END\n");
  tu::AssembleAt(first / "first.a51", "OBJECT DEBUG PRINT");
  tu::WriteFile(first / "p.qpc", "Target=VOV51\r\n[LOADER]\r\nLines=Yes\r\n");
  tu::WriteFile(first / "s.in", "STEP\n\n");
  const std::string stepped = RunIn(first, "dorvik51' --project p.qpc first.obj", first / "s.in").first;
  EXPECT_NE(stepped.find("0000H INC     A----->0001H SJMP    LOOP\nfirst.a51:2: SJMP    LOOP\n"), std::string::npos)
      << stepped;
  EXPECT_NE(stepped.find("0001H SJMP    LOOP----->0000H INC     A\nfirst.a51:1: LOOP:   INC     A"), std::string::npos)
      << stepped;

  // The project's automatic load of its last program.
  tu::WriteFile(dir / "auto.qpc", "[LOADER]\r\nLoadAutomaticallyOnStart=Yes\r\nLastLoadPath=sum.obj\r\n");
  EXPECT_EQ(RunIn(dir, "dorvik51' --project auto.qpc", "/dev/null").first,
            "Information: Load succesful, last address used 004D\nhlt>\n");
  // Set to No, the last program stays where it is.
  tu::WriteFile(dir / "manual.qpc", "[LOADER]\r\nLoadAutomaticallyOnStart=No\r\nLastLoadPath=sum.obj\r\n");
  EXPECT_EQ(RunIn(dir, "dorvik51' --project manual.qpc", "/dev/null").first, "hlt>\n");
  // The project's byte order of integers, read as the workbench reads it.
  tu::WriteFile(dir / "LE.QPC", "[OPTIONS]\r\nIntMSBFirst=No\r\n");
  tu::WriteFile(dir / "le.in", "XBYTE 0 = 34,12\nXWORD 0\n");
  EXPECT_EQ(RunIn(dir, "dorvik51' --project LE.QPC", dir / "le.in").first,
            "hlt>XBYTE 0 = 34,12\nhlt>XWORD 0\nXDATA  0000=1234\nhlt>\n");
  // A byte that is no character of the command language: the line does nothing.
  EXPECT_EQ(RunConsole(dir, "", "printf 'XBYTE 0 = 5\\nXBYTE 0\\000= 1\\nXBYTE 0\\nGO \\303\\251\\nR\\n'"),
            std::string("hlt>XBYTE 0 = 5\nhlt>XBYTE 0\0= 1\nError #118: Syntax Error\nhlt>XBYTE 0\n"
                        "XDATA  0000=05 ' . '\nhlt>GO \xC3\xA9\nError #118: Syntax Error\nhlt>R\n"
                        "PC=0000 ACC=00 B=00 PSW=00 SP=07 DPTR=0000 R0=00 R1=00 R2=00 R3=00 R4=00 R5=00 R6=00 R7=00\n"
                        "hlt>\n",
                        227));

  // The stack question of a program without MOV SP takes its shown value
  // without reading a line: the script's first line stays a command.
  tu::WriteFile(dir / "nosp.hex", ":0500000002000380FE78\n:00000001FF\n");
  tu::WriteFile(dir / "r.in", "R\n");
  EXPECT_EQ(RunIn(dir, "dorvik51' nosp.hex", dir / "r.in").first,
            "Information: Load succesful, last address used 0004\n"
            "Warning #2: Symbol table empty - user program doesn't contain symbol information. Source level and "
            "symbolic debuging will be not available.\n"
            "Please, enter STACK value.\nValue [07H]: 07H (input is not a terminal)\nhlt>R\n"
            "PC=0003 ACC=00 B=00 PSW=00 SP=07 DPTR=0000 R0=00 R1=00 R2=00 R3=00 R4=00 R5=00 R6=00 R7=00\nhlt>\n");

  // A project that is not there is reported; the console still starts.
  const auto [missing, code] = RunIn(dir, "dorvik51' --project none.qpc", "/dev/null");
  EXPECT_EQ(missing, "Error #106: File \"none.qpc\" doesn't exist\nhlt>\n");
  // Hostile and unusual programs through the console: what each prints, and
  // the PC (0000 after reset) where a failed load leaves it.
  const auto frame = [](uint8_t type, std::vector<uint8_t> content) { return as::ObjFrame(type, content); };
  const std::string header = frame(0x02, {1, 'T', 0xFD, 0});
  const std::string end = frame(0x04, {1, 'T', 0, 0, 0, 0});
  // A scope record whose length takes in the content record after it.
  const std::string swallowed = frame(0x06, {0, 0x30, 0, 0x75, 0x81, 0x60});
  std::vector<uint8_t> scope{0, 1, 'M'};
  scope.insert(scope.end(), swallowed.begin(), swallowed.end());
  const struct {
    const char* Name;
    std::string Content;
    const char* Shown;
  } programs[] = {
      {"swallow.obj", header + frame(0x10, scope) + end, "Error #121: File swallow.obj is not valid object file"},
      {"comment.hex", ":03000000020030CB ; jump\r\n:0300300075816077 ; stack\r\n:00000001FF\r\n",
       "Information: Load succesful, last address used 0032"},
      // Type records that refer to themselves: refused at once, not after minutes.
      {"slow.obj", tu::ReadFile(fs::path(DORVIK_SOURCE_DIR) / "fuzz/corpus/omf/omf-slow-1-summed.obj"),
       "Error #121: File slow.obj is not valid object file"},
      // Code past 64K, in a HEX record and in an object's content record: refused by its size, nothing loaded.
      {"past.hex", HexRecordText(0xFFF0, kHexTypeData, std::vector<uint8_t>(32, 0xEE)) + "\r\n:00000001FF\r\n",
       "Error #164: Object code too long (over 64k), recode the source file to allow debugging."},
      {"past.obj", header + frame(0x06, [] {
                     std::vector<uint8_t> c{0, 0xF0, 0xFF};
                     c.resize(3 + 31, 0xEE);
                     return c;
                   }()) + end,
       "Error #164: Object code too long (over 64k), recode the source file to allow debugging."},
  };
  for (const auto& p : programs) {
    tu::WriteFile(dir / p.Name, p.Content);
    tu::WriteFile(dir / "r.in", "R\n");
    const std::string out = RunIn(dir, std::string("dorvik51' ") + p.Name, dir / "r.in").first;
    EXPECT_TRUE(out.starts_with(std::string(p.Shown) + "\n")) << out;
    const bool loaded = std::string(p.Shown).starts_with("Information");
    EXPECT_NE(out.find(loaded ? "PC=0030 " : "PC=0000 "), std::string::npos) << out;
  }

  // A folder as the project or the program: the system's reason.
  fs::create_directory(dir / "folder.qpc");
  EXPECT_EQ(RunIn(dir, "dorvik51' --project folder.qpc folder.qpc", "/dev/null").first,
            "Error #402: Cannot open file folder.qpc (Is a directory)\n"
            "Error #402: Cannot open file folder.qpc (Is a directory)\nhlt>\n");
  EXPECT_EQ(RunIn(dir, "dorvik51' --bogus", "/dev/null").second, 2);
}

// The example of three files: every step shows the line of the file its code
// came from, the included routine's lines in the include file.
TEST(ConsoleStartTest, StepsThroughIncludedCodeShowTheIncludeFilesLines) {
  const fs::path dir = tu::ScratchDir("multi");
  for (const char* name : {"main.a51", "defs.inc", "twice.inc"})
    fs::copy_file(fs::path(DORVIK_SOURCE_DIR) / "examples/multi" / name, dir / name);
  tu::AssembleAt(dir / "main.a51", "OBJECT DEBUG PRINT");
  const fs::path golden = fs::path(DORVIK_SOURCE_DIR) / "tests/console/startup";
  const auto [output, status] = RunIn(dir, "dorvik51' main.obj", golden / "multi.in");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, tu::ReadFile(golden / "multi.out"));

  // A listing with an error line stops the mapping with 163, told once.
  tu::WriteFile(dir / "e.a51", "$DEBUG\n CSEG AT 0\n MOV SP,#60H\n NOP\n MOV A,#1 +\n NOP\n NOP\n END\n");
  tu::AssembleAt(dir / "e.a51", "OBJECT PRINT");
  tu::WriteFile(dir / "e.in", "STEP\n\n\n\n");
  const std::string errors = RunIn(dir, "dorvik51' e.obj", dir / "e.in").first;
  const size_t first = errors.find("Error #163: Listing file \"e.lst\" reports errors");
  EXPECT_NE(first, std::string::npos) << errors;
  EXPECT_EQ(errors.find("Error #163", first + 1), std::string::npos) << errors;
}

// Ranges whose end is a symbol or expression, a module-qualified name, the
// STEP watch forms, an unknown name reported once, step lines that follow
// DISABLE SYMBOLS and BASE, an immediate symbol with its number, and the
// line at FFFFH with the bytes that follow at 0000H (golden text in
// tests/console/startup/ranges.*).
TEST(ConsoleStartTest, RangesQualifiedNamesWatchesAndUnknownNames) {
  const fs::path dir = tu::ScratchDir("ranges");
  const fs::path golden = fs::path(DORVIK_SOURCE_DIR) / "tests/console/startup";
  fs::copy_file(golden / "ranges.a51", dir / "ranges.a51");
  tu::AssembleAt(dir / "ranges.a51", "OBJECT DEBUG");
  EXPECT_EQ(RunIn(dir, "dorvik51' ranges.obj", golden / "ranges.in"),
            std::make_pair(tu::ReadFile(golden / "ranges.out"), 0));
}

TEST(ConsoleStartTest, ProjectFileGivesTargetOptionsAndModules) {
  ResetSession();
  const fs::path dir = tu::ScratchDir("project");
  tu::WriteFile(dir / "a.qpc",
                "Target=OVIX52\r\n[COM]\r\nBaud=9600\r\n[LOADER]\r\nCode=No\r\nDownload Speed=11520\r\n"
                "[PROJECT]\r\nmain=src/main.a51\r\nlib=/abs/lib.c\r\n");
  Project().Loader.DownloadSpeed = 2;
  ASSERT_TRUE(ReadProjectFile((dir / "a.qpc").string()));
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetMonitor);
  EXPECT_EQ(Project().BaudRate, 9600);
  EXPECT_FALSE(Project().Loader.LoadCode);
  EXPECT_EQ(Project().Loader.DownloadSpeed, 0);
  const auto& modules = Project().ProjectModules;
  ASSERT_EQ(modules.size(), 2u);
  EXPECT_EQ(modules[0].Name, "MAIN");
  EXPECT_EQ(modules[0].FileName, (dir / "src/main.a51").string());
  EXPECT_EQ(modules[1].FileName, "/abs/lib.c");

  // Without a module list: the sources of the project's folder.
  tu::WriteFile(dir / "b.qpc", "Target=VOV51\r\n");
  tu::WriteFile(dir / "zeta.A51", "");
  tu::WriteFile(dir / "alpha.c", "");
  tu::WriteFile(dir / "notes.txt", "");
  ASSERT_TRUE(ReadProjectFile((dir / "b.qpc").string()));
  ASSERT_EQ(Project().ProjectModules.size(), 2u);
  EXPECT_EQ(Project().ProjectModules[0].Name, "ALPHA");
  EXPECT_EQ(Project().ProjectModules[1].Name, "ZETA");
  EXPECT_TRUE(Project().ModulesFromFolder);

  // The last program's name lies in the project's folder like the modules'.
  tu::WriteFile(dir / "c.qpc", "[LOADER]\r\nLastLoadPath=out/p.hex\r\n[PROJECT]\r\nm=m.a51\r\n");
  ASSERT_TRUE(ReadProjectFile((dir / "c.qpc").string()));
  EXPECT_EQ(Project().Loader.LastLoadPath, (dir / "out/p.hex").string());
  EXPECT_FALSE(Project().ModulesFromFolder);
  // What the user changed goes back, the other lines as they were; the last
  // program again relative to the folder.
  Project().Loader.LoadLines = false;
  Project().BaudRate = 9600;
  dorvik::Run().TargetKind = kTargetAduc;
  ASSERT_TRUE(WriteProjectSettings((dir / "c.qpc").string()));
  const std::string text = tu::ReadFile(dir / "c.qpc");
  EXPECT_EQ(text.rfind("Target=ADUC\n", 0), 0u) << text;
  for (const char* line : {"\nLines=No\n", "\nLastLoadPath=out/p.hex\n", "\n[COM]\nBaud=9600\n", "\nm=m.a51\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
  ASSERT_TRUE(ReadProjectFile((dir / "c.qpc").string()));
  EXPECT_FALSE(Project().Loader.LoadLines);
  EXPECT_EQ(Project().Loader.LastLoadPath, (dir / "out/p.hex").string());
  ResetSession();
}

TEST(ConsoleStartTest, CommandLine) {
  const char* ok[] = {"dorvik51", "--project", "p.qpc", "prog.hex"};
  console::StartOptions o;
  std::string error;
  ASSERT_TRUE(console::ParseStartArguments(4, const_cast<char**>(ok), o, error));
  EXPECT_EQ(o.ProjectFile, "p.qpc");
  EXPECT_EQ(o.Program, "prog.hex");
  const char* twoPrograms[] = {"dorvik51", "a.hex", "b.hex"};
  EXPECT_FALSE(console::ParseStartArguments(3, const_cast<char**>(twoPrograms), o, error));
  const char* noFile[] = {"dorvik51", "--project"};
  EXPECT_FALSE(console::ParseStartArguments(2, const_cast<char**>(noFile), o, error));
}

class SerialConsoleTest : public ::testing::TestWithParam<testing::FakeTarget::Kind> {};

TEST_P(SerialConsoleTest, LoadRunAndShowOverTheLine) {
  const fs::path dir = tu::ScratchDir("serial");
  fs::copy_file(fs::path(DORVIK_SOURCE_DIR) / "examples/sum/sum.a51", dir / "sum.a51");
  tu::AssembleAt(dir / "sum.a51", "NOPRINT NOOBJECT HEX");
  testing::FakeTarget fake(GetParam());
  ASSERT_TRUE(fake.Started());
  const bool monitor = GetParam() == testing::FakeTarget::Kind::Monitor;
  const std::string target = std::string(" --target ") + (monitor ? "OVIX52" : "ADUC");
  // The reset: the monitor's banner (version 4 acknowledges records), the ADuC's announcement.
  const std::string reset = RunConsole(dir, "--port " + fake.Device() + " --baud 57600" + target,
                                       "printf 'RESET CPU\\n'; sleep 0.3; printf 'R3\\n'");
  EXPECT_EQ(reset.find("Error"), std::string::npos) << reset;
  if (monitor) {
    EXPECT_NE(reset.find("OVIX-52 V4.0 USER 0000"), std::string::npos) << reset;
  }
  // The program of the command line loaded over the line, a run to DONE that
  // the console's idle loop sees end, the total read from the board.
  // The target announces itself when the line opens: read before the load
  // (a version 4 monitor's acknowledgements, the ADuC's download speed).
  fake.AnnounceUntilSpokenTo(monitor ? "\r\nOVIX-52 V4.0 USER 0000\r\n-" : "ADI 841\r\n");
  const std::string run = RunConsole(dir, "--port " + fake.Device() + target + " sum.hex",
                                     "sleep 0.3; printf 'GO FROM 0 TILL 42\\n'; sleep 0.5; printf 'DBYTE 40\\n'");
  EXPECT_NE(run.find("Load succesful"), std::string::npos) << run;
  EXPECT_NE(run.find("EXECUTION HALTED AT 0042"), std::string::npos) << run;
  EXPECT_NE(run.find("IDATA  0040=0F"), std::string::npos) << run;
  EXPECT_EQ(fake.Memory(kSpaceIData, 0x40, 1), std::vector<uint8_t>{0x0F});
  EXPECT_EQ(run.find("Error"), std::string::npos) << run;
  if (!monitor) {
    // The download went at its own speed: the speed change packet, 115200's Timer-3 setting.
    EXPECT_NE(fake.Received().find(std::string("\x07\x0E\x03" "B\x82\x09", 6)), std::string::npos);
  }
}

TEST(SerialConsoleStartTest, PortThatCannotBeOpened) {
  const fs::path dir = tu::ScratchDir("noport");
  const std::string out = RunConsole(dir, "--port /nonexistent/ttyS9 --target OVIX52", "printf 'XBYTE 0\\nBASE\\n'");
  EXPECT_NE(out.find("Error #100: RS-232 initialization failed (Device not present?): No such file or directory"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Error #161: Target device is not responding"), std::string::npos) << out;
  EXPECT_NE(out.find("BASE =HEX"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(BothTargets, SerialConsoleTest,
                         ::testing::Values(testing::FakeTarget::Kind::Monitor, testing::FakeTarget::Kind::Aduc),
                         [](const auto& info) { return info.param == testing::FakeTarget::Kind::Monitor ? "Monitor" : "Aduc"; });

}  // namespace
}  // namespace dorvik
