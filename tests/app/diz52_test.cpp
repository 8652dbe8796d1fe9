// The diz52 program: exit status, status text on standard output, the fatal
// stop's box text on standard error, derived file names and their letter case,
// device names, reproducible outputs.

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

const fs::path kDiz52 = fs::path(DORVIK_BIN_DIR) / "diz52";
const fs::path kBlink = fs::path(DORVIK_SOURCE_DIR) / "examples" / "blink.a51";

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

struct ProgramRun {
  int Status = -1;
  std::string Out, Err;
};

class Diz52Test : public ::testing::Test {
 protected:
  // Runs diz52 in the scratch folder with ARGS (already quoted as needed).
  ProgramRun Diz52(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" + kDiz52.string() + "' " + args +
                                " > stdout.txt 2> stderr.txt";
    const int raw = std::system(command.c_str());
    ProgramRun r;
    r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.Out = Read(dir / "stdout.txt");
    r.Err = Read(dir / "stderr.txt");
    return r;
  }
  dorvik::test_util::ScratchDir scratch_;  // a folder of this test's own, removed after it
  fs::path dir = scratch_.Path();
};

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 'f' ? '\f' : c;
    }
  }
  return out;
}

// The runs of tests/app/data/diz52.txt (its head describes the lines).
TEST_F(Diz52Test, RunsMeetTheirExpectations) {
  std::ifstream in(fs::path(DORVIK_SOURCE_DIR) / "tests/app/data/diz52.txt");
  ProgramRun r;
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find(' ');
    const std::string word = line.substr(0, blank), rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    const std::string name = rest.substr(0, rest.find(' ')), text = Unescape(rest.substr(rest.find(' ') + 1));
    SCOPED_TRACE(line);
    if (word == "==") {
      ++cases;
      fs::remove_all(dir);
      fs::create_directories(dir);
    } else if (word == "copy") {
      fs::copy_file(kBlink, dir / rest);
    } else if (word == "file") {
      Write(dir / name, text);
    } else if (word == "dir") {
      fs::create_directories(dir / rest);
    } else if (word == "link") {
      fs::create_symlink(name, dir / rest.substr(name.size() + 1));
    } else if (word == "run") {
      std::string args = rest;
      if (const size_t at = args.find("$DIZ52"); at != std::string::npos) args.replace(at, 6, kDiz52.string());
      r = Diz52(args);
    } else if (word == "status") {
      EXPECT_EQ(r.Status, std::stoi(rest)) << r.Out << r.Err;
    } else if (word == "out" || word == "noout") {
      EXPECT_EQ(r.Out.find(Unescape(rest)) != std::string::npos, word == "out") << r.Out;
    } else if (word == "outstart") {
      EXPECT_EQ(r.Out.rfind(Unescape(rest), 0), 0u) << r.Out;
    } else if (word == "err") {
      EXPECT_NE(r.Err.find(Unescape(rest)), std::string::npos) << r.Err;
    } else if (word == "errstart") {
      EXPECT_EQ(r.Err.rfind(Unescape(rest), 0), 0u) << r.Err;
    } else if (word == "errempty") {
      EXPECT_EQ(r.Err, "");
    } else if (word == "exists" || word == "missing") {
      EXPECT_EQ(fs::exists(dir / rest), word == "exists");
    } else if (word == "islink") {
      EXPECT_TRUE(fs::is_symlink(dir / rest));
    } else if (word == "content") {
      EXPECT_EQ(Read(dir / name), text);
    } else if (word == "contains") {
      EXPECT_NE(Read(dir / name).find(text.find("$DIZ52") == std::string::npos
                                          ? text
                                          : std::string(text).replace(text.find("$DIZ52"), 6, kDiz52.string())),
                std::string::npos)
          << Read(dir / name);
    } else if (word == "same") {
      const std::string other = rest.substr(name.size() + 1);
      EXPECT_EQ(Read(dir / name), other == "$BLINK" ? Read(kBlink) : Read(dir / other));
    } else if (word == "before") {
      const std::string first = Unescape(rest.substr(0, rest.find(" | "))), second = Unescape(rest.substr(rest.find(" | ") + 3));
      EXPECT_LT(r.Out.find(first), r.Out.find(second)) << r.Out;
      EXPECT_NE(r.Out.find(second), std::string::npos);
    } else {
      ADD_FAILURE() << "unknown line";
    }
  }
  EXPECT_GE(cases, 13);
}

// Ctrl+C: the source is a pipe, so the run is still reading it when SIGINT
// arrives; the next statement sees the request and makes the fatal stop.
TEST_F(Diz52Test, InterruptIsAFatalStop) {
  // A watchdog ends a run that missed the interrupt (it would wait for the
  // pipe again in pass 2).
  const std::string script = "cd '" + dir.string() + "' && mkfifo pipe.a51 && { '" + kDiz52.string() +
                             "' pipe.a51 NOOBJECT > stdout.txt 2> stderr.txt & pid=$!;"
                             " ( sleep 20; kill -TERM $pid ) > /dev/null 2>&1 & watchdog=$!;"
                             " exec 3> pipe.a51; printf ' NOP\\n' >&3; kill -INT $pid;"
                             " printf ' NOP\\n END\\n' >&3; exec 3>&-;"
                             " wait $pid; echo $? > status.txt; kill $watchdog; }";
  ASSERT_EQ(std::system(script.c_str()), 0);
  EXPECT_EQ(Read(dir / "status.txt"), "2\n");
  const std::string err = Read(dir / "stderr.txt");
  EXPECT_NE(err.find("*** Ctrl C ***"), std::string::npos) << err;
  EXPECT_NE(err.find("DIZ-52 TERMINATED"), std::string::npos) << err;
}

}  // namespace
