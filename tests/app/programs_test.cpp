// What the four programs share on their command lines, and the README's
// command lines run as they are printed: --help prints the usage on standard
// output with status 0 (the workbench opens no window for it); a bad command
// line gives status 2 with the reason on standard error.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "tests/platform/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ProgramRun {
  int Status = -1;
  std::string Out, Err;
};

class ProgramsTest : public ::testing::Test {
 protected:
  // Runs the shell line in the scratch folder, with no display and at most 20 s.
  ProgramRun Shell(const std::string& line) {
    const std::string command = "cd '" + dir_.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 " +
                                "sh -c '" + line + "' > stdout.txt 2> stderr.txt < /dev/null";
    const int raw = std::system(command.c_str());
    ProgramRun r;
    r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.Out = Read(dir_ / "stdout.txt");
    r.Err = Read(dir_ / "stderr.txt");
    return r;
  }
  static std::string Bin(const std::string& program) { return std::string(DORVIK_BIN_DIR) + "/" + program; }

  dorvik::test_util::ScratchDir scratch_;  // a folder of this test's own, removed after it
  fs::path dir_ = scratch_.Path();
};

TEST_F(ProgramsTest, HelpPrintsTheUsageAndABadCommandLineIsStatus2) {
  for (const char* program : {"dorvik51", "dorvik51-gui", "diz52", "qpfc"}) {
    SCOPED_TRACE(program);
    const ProgramRun help = Shell(Bin(program) + " --help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind(std::string("usage: ") + program + " ", 0), 0u) << help.Out;
    EXPECT_EQ(help.Err, "");
  }
  struct Bad {
    const char* Line;
    const char* Reason;  // on standard error
  };
  for (const Bad& bad : {Bad{"dorvik51 --bogus", "unknown option --bogus"}, Bad{"diz52", "MISSING SOURCE FILE NAME"},
                         Bad{"qpfc out.qpf", "usage: qpfc"}, Bad{"dorvik51-gui --bogus", "unknown option --bogus"},
                         Bad{"dorvik51-gui a.QPC b.QPC", "usage: dorvik51-gui"}}) {
    SCOPED_TRACE(bad.Line);
    const ProgramRun r = Shell(std::string(DORVIK_BIN_DIR) + "/" + bad.Line);
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(bad.Reason), std::string::npos) << r.Err;
  }
}

// The README's assembler line, as printed, from a folder laid out as the
// project's root: it assembles, and its outputs land beside the source.
TEST_F(ProgramsTest, ReadmeAssemblerLineRunsAsPrinted) {
  const std::string readme = Read(fs::path(DORVIK_SOURCE_DIR) / "README.md");
  const size_t at = readme.find("    build/bin/diz52 examples/blink.a51");
  ASSERT_NE(at, std::string::npos);
  const std::string line = readme.substr(at + 4, readme.find('\n', at) - at - 4);
  fs::create_directories(dir_ / "build");
  fs::create_directory_symlink(DORVIK_BIN_DIR, dir_ / "build/bin");
  fs::create_directories(dir_ / "examples");
  fs::copy_file(fs::path(DORVIK_SOURCE_DIR) / "examples/blink.a51", dir_ / "examples/blink.a51");
  // The line goes to the shell through a file: it may hold quotes of its own.
  std::ofstream(dir_ / "line.sh") << line << "\n";
  const ProgramRun r = Shell("sh line.sh");
  EXPECT_EQ(r.Status, 0) << line << "\n" << r.Out << r.Err;
  for (const char* output : {"examples/blink.lst", "examples/blink.obj", "examples/blink.hex"})
    EXPECT_TRUE(fs::exists(dir_ / output)) << output;
  EXPECT_NE(Read(dir_ / "examples/blink.lst").find("XREF"), std::string::npos);
}

}  // namespace
