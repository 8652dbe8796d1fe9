// The diz52 program: exit status, status text on standard output, the fatal
// stop's box text on standard error, derived file names and their letter case,
// device names, reproducible outputs.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/wait.h>

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
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // One scratch folder per build folder: runs of several builds may overlap.
    char build[24];
    std::snprintf(build, sizeof build, "%016zx", std::hash<std::string>{}(DORVIK_BIN_DIR));
    dir = fs::path(::testing::TempDir()) / "diz52" / build / info->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
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
  fs::path dir;
};

// Derived names follow the letter case of the source's extension.
TEST_F(Diz52Test, CleanSourceExitsZeroAndDerivesNamesInTheSourcesCase) {
  for (const char* source : {"blink.a51", "BLINK.A51"}) {
    fs::copy_file(kBlink, dir / source);
    const ProgramRun r = Diz52(source);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("BLINK.A51 Pass 1 "), std::string::npos);
    EXPECT_NE(r.Out.find("27 Lines read\n"), std::string::npos);
    EXPECT_NE(r.Out.find("ASSEMBLY COMPLETE, No Errors Found"), std::string::npos);
    EXPECT_EQ(r.Out.find('\r'), std::string::npos);
    EXPECT_TRUE(r.Err.empty());
  }
  for (const char* name : {"blink.lst", "blink.obj", "blink.hex", "BLINK.LST", "BLINK.OBJ", "BLINK.HEX"})
    EXPECT_TRUE(fs::exists(dir / name)) << name;
  EXPECT_FALSE(fs::exists(dir / "BLINK.lst"));
}

TEST_F(Diz52Test, SourceInAnotherFolderKeepsItsOutputsBesideIt) {
  fs::create_directories(dir / "src");
  fs::copy_file(kBlink, dir / "src" / "blink.a51");
  EXPECT_EQ(Diz52("src/../src/blink.a51 NOOBJECT").Status, 0);
  EXPECT_TRUE(fs::exists(dir / "src" / "blink.lst"));
  EXPECT_TRUE(fs::exists(dir / "src" / "blink.hex"));
  EXPECT_FALSE(fs::exists(dir / "src" / "blink.obj"));
}

// The listing's invocation line names the program as it was started.
TEST_F(Diz52Test, InvocationLineNamesTheProgramAsStarted) {
  fs::copy_file(kBlink, dir / "lab_1.0.a51");
  EXPECT_EQ(Diz52("lab_1.0.a51 NOOBJECT").Status, 0);
  EXPECT_NE(Read(dir / "lab_1.0.lst")
                .find("ASSEMBLER INVOKED BY: " + kDiz52.string() + " lab_1.0.a51 NOOBJECT DB\n"),
            std::string::npos)
      << Read(dir / "lab_1.0.lst");
}

TEST_F(Diz52Test, HelpPrintsTheUsageAndExitsZero) {
  const ProgramRun r = Diz52("--help");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "usage: diz52 SOURCE [CONTROL ...]\n");
  EXPECT_TRUE(r.Err.empty());
}

TEST_F(Diz52Test, ErrorsCountedExitOne) {
  Write(dir / "bad.a51", " MOV A,UNKNOWN\n MOV A,300\n END\n");
  const ProgramRun r = Diz52("bad.a51 NOPRINT");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("ASSEMBLY COMPLETE, 2 Errors Found"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "bad.lst"));
}

// Fatal stops exit 2 with the box text, titled "DIZ-52", on standard error.
TEST_F(Diz52Test, FatalStopsExitTwoWithTheBoxOnStandardError) {
  fs::copy_file(kBlink, dir / "blink.a51");
  for (const auto& [args, text] : {std::pair{"nothere.a51", "I/O ERROR ON SOURCE FILE"},
                                   std::pair{"blink.a51 FROBNICATE", "UNRECOGNIZABLE CONTROL"},
                                   std::pair{"", "MISSING SOURCE FILE NAME"}}) {
    const ProgramRun r = Diz52(args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_EQ(r.Err.rfind("DIZ-52\n", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find(text), std::string::npos) << r.Err;
    if (*args != 0) {  // the missing-name box shows the usage instead
      EXPECT_NE(r.Err.find("DIZ-52 TERMINATED"), std::string::npos) << r.Err;
    }
  }
}

TEST_F(Diz52Test, ListingToConsoleReplacesTheClosingStatusLine) {
  fs::copy_file(kBlink, dir / "blink.a51");
  const ProgramRun r = Diz52("blink.a51 'PRINT(CON)' NOOBJECT NOHEX");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("LOC  OBJ            LINE     SOURCE"), std::string::npos);
  EXPECT_NE(r.Out.find("ASSEMBLY COMPLETE, NO ERRORS FOUND"), std::string::npos);
  EXPECT_EQ(r.Out.find("ASSEMBLY COMPLETE, No Errors Found"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "blink.lst"));
  // In the order it happened: pass 1's status line, the listing, the count.
  EXPECT_EQ(r.Out.rfind("BLINK.A51 Pass 1 \n\f", 0), 0u) << r.Out;
  EXPECT_LT(r.Out.find("ASSEMBLY COMPLETE, NO ERRORS FOUND"), r.Out.find("27 Lines read"));
}

TEST_F(Diz52Test, NulDiscardsTheOutput) {
  fs::copy_file(kBlink, dir / "blink.a51");
  EXPECT_EQ(Diz52("blink.a51 'PRINT(NUL)' 'OBJECT(NUL)' 'HEX(NUL)'").Status, 0);
  EXPECT_FALSE(fs::exists(dir / "blink.lst"));
  EXPECT_FALSE(fs::exists(dir / "NUL"));
  EXPECT_FALSE(fs::exists(dir / "nul"));
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

// Code that still needs the linker ends the HEX file before it, without the
// end record, and the status says why.
TEST_F(Diz52Test, HexEndsBeforeCodeThatNeedsTheLinker) {
  const struct {
    const char* Source;
    const char* Why;
  } cases[] = {
      {"EXTRN CODE (SUB)\nCSEG AT 0\nMOV A,#1\nLCALL SUB\nNOP\nEND\n", "EXTERNAL REFERENCE"},
      {"R SEGMENT CODE\nCSEG AT 0\nMOV A,#1\nLJMP LOOP\nRSEG R\nLOOP: NOP\nEND\n", "RELOCATABLE REFERENCE"},
      {"R SEGMENT CODE\nCSEG AT 0\nMOV A,#1\nRSEG R\nNOP\nEND\n", "RELOCATABLE SEGMENT"},
  };
  for (const auto& k : cases) {
    Write(dir / "m.a51", k.Source);
    const ProgramRun r = Diz52("m.a51");
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_EQ(Read(dir / "m.hex"), ":02000000740189\n") << k.Why;
    EXPECT_NE(r.Out.find("\nWARNING: HEX FILE M.HEX ENDS BEFORE 0002H WITHOUT END RECORD: " + std::string(k.Why) +
                         "\n"),
              std::string::npos)
        << r.Out;
  }
}

// An output never lands on the source or on another output, however the two
// names are spelled: an invocation error before anything is written.
TEST_F(Diz52Test, OutputsNamingTheSourceOrEachOtherAreRefused) {
  fs::copy_file(kBlink, dir / "blink.a51");
  fs::create_directory(dir / "sub");
  fs::create_symlink("blink.a51", dir / "link.a51");
  for (const auto& [args, clash] :
       {std::pair{"./blink.a51 'OBJECT(blink.a51)'", "OBJECT AND SOURCE"},
        std::pair{"blink.a51 'HEX(sub/../blink.a51)'", "INTEL-HEX AND SOURCE"},
        std::pair{"blink.a51 'PRINT(link.a51)'", "LISTING AND SOURCE"},
        std::pair{"blink.a51 'OBJECT(x.o)' 'HEX(./x.o)'", "OBJECT AND INTEL-HEX"}}) {
    const ProgramRun r = Diz52(args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_NE(r.Err.find("DUPLICATE USE OF THE SAME FILE NAME FOR " + std::string(clash)), std::string::npos)
        << r.Err;
    EXPECT_EQ(Read(dir / "blink.a51"), Read(kBlink));
    EXPECT_FALSE(fs::exists(dir / "blink.lst") || fs::exists(dir / "x.o")) << args;
  }
  // An output through a link replaces the file it names; the link stays.
  Write(dir / "sub" / "real.o", "old");
  fs::create_symlink("sub/real.o", dir / "out.o");
  EXPECT_EQ(Diz52("blink.a51 'OBJECT(out.o)'").Status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "out.o"));
  EXPECT_EQ(Read(dir / "sub" / "real.o"), Read(dir / "out.o"));
  EXPECT_EQ(Read(dir / "out.o").substr(0, 1), "\x02");
}

// Folders are no sources; an output that cannot be made names its file and
// the reason, and no output of the run is left (an old one stays as it was).
TEST_F(Diz52Test, FoldersAndUnwritableOutputsAreIOErrorsWithTheReason) {
  Write(dir / "m.a51", "CSEG AT 0\nNOP\nEND\n");
  Write(dir / "i.a51", "CSEG AT 0\nNOP\n$INCLUDE(inc.a51)\nEND\n");
  fs::create_directory(dir / "inc.a51");
  fs::create_directory(dir / "d.a51");
  fs::create_directory(dir / "out.lst");
  Write(dir / "m.hex", "old");
  for (const auto& [args, text] :
       {std::pair{"d.a51", "I/O ERROR ON SOURCE FILE (\"D.A51\")\nException 21: Is a directory\n"},
        std::pair{"i.a51", "I/O ERROR ON INCLUDE FILE (\"INC.A51\")\nException 21: Is a directory\n"},
        std::pair{"m.a51 'OBJECT(nodir/m.obj)'",
                  "I/O ERROR ON OBJECT FILE (\"NODIR/M.OBJ\")\nException 2: No such file or directory\n"},
        std::pair{"m.a51 'PRINT(out.lst)'", "I/O ERROR ON LISTING FILE (\"OUT.LST\")\nException 21: Is a directory\n"}}) {
    const ProgramRun r = Diz52(args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_NE(r.Err.find(text), std::string::npos) << r.Err;
    EXPECT_EQ(Read(dir / "m.hex"), "old") << args;
    for (const char* left : {"m.lst", "m.obj", "m.hex.TMP", "i.lst", "i.hex", "i.obj", "d.lst"})
      EXPECT_FALSE(fs::exists(dir / left)) << args << " left " << left;
  }
}

}  // namespace
