// The project's build: the built-in assembler in process, external tools
// through the shell with their time-out and output bounds, the out-of-date
// check through the include files, and the report's ways back to sources.

#include "workspace/build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "base/mainform.h"
#include "base/messages.h"
#include "project/project.h"
#include "tests/support/scripted_user.h"
#include "base/runprogram.h"
#include "base/runstate.h"
#include "base/session.h"
#include "workspace/openproject.h"
#include "lang/fileutil.h"
#include "platform/reporter.h"
#include "project/projectfile.h"
#include "tests/platform/scratch_dir.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMain =
    "$DEBUG\n        NAME    MAIN\n$INCLUDE(defs.inc)\n        CSEG    AT 0\n        LJMP    START\n"
    "        ORG     30H\nSTART:  MOV     A,#SEED\n        CALL    0100H\nDONE:   SJMP    DONE\n        END\n";
constexpr const char* kLib = "        NAME    LIB\n        CSEG    AT 100H\n        INC     A\n        RET\n        END\n";
constexpr const char* kBad = "        NAME    BAD\n        CSEG    AT 0\n        MOV     A,#1\n        FOO     A\n        NOP\n        END\n";

class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    platform::SetReporter(&boxes_);
    MainForm().ErrorProtocolFile = dir_.File("$$ERR.$$$");
    Project().FileTypeList = DefaultFileTypes();
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetSession();
  }
  tModuleRec Module(const std::string& name, const std::string& file, const std::string& text) {
    return {name, dir_.Write(file, text), {}};
  }
  std::vector<int> Numbers() const {
    std::vector<int> numbers;
    for (const auto& box : boxes_.Shown()) numbers.push_back(std::stoi(box.Caption.substr(box.Caption.find('#') + 1)));
    return numbers;
  }
  bool ReportHas(const std::string& text) const {
    return std::any_of(Build().Report.begin(), Build().Report.end(),
                       [&](const BuildReportLine& l) { return l.Text.find(text) != std::string::npos; });
  }
  // A tool: a shell script registered for ".C".
  void RegisterTool(const std::string& script) {
    const std::string tool = dir_.Write("tool.sh", "#!/bin/sh\n" + script);
    fs::permissions(tool, fs::perms::owner_all);
    SetCompiler(".C", tool);
  }
  static void SetCompiler(const std::string& ext, const std::string& command) {
    for (tFileTypeRec& t : Project().FileTypeList)
      if (t.Extension == ext) t.Compiler = command;
  }
  static void Age(const std::string& file, int seconds) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
  }

  test_util::ScratchDir dir_;
  platform::ScriptedReporter boxes_;
};

TEST_F(BuildTest, TwoAssemblerModulesBuildInProcessAndTheFirstIsTheProgram) {
  dir_.Write("defs.inc", "SEED    EQU     5\n");
  // An include file listed among the modules is passed over.
  Project().ProjectModules = {Module("MAIN", "main.a51", kMain), Module("LIB", "lib.a51", kLib),
                              {"DEFS", dir_.File("defs.inc"), {}}};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Built);
  EXPECT_TRUE(fs::exists(dir_.File("main.obj")));
  EXPECT_TRUE(fs::exists(dir_.File("lib.obj")));
  EXPECT_TRUE(ReportHas("ASSEMBLY COMPLETE, No Errors Found"));
  EXPECT_EQ(ProgramToLoad(), dir_.File("main.obj"));
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(BuildTest, AnAssemblerErrorListsTheStatementAndTheErrorLine) {
  const tModuleRec bad = Module("BAD", "bad.a51", kBad);
  Project().ProjectModules = {bad};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Errors);
  const auto& report = Build().Report;
  const auto error = std::find_if(report.begin(), report.end(), [](const BuildReportLine& l) { return !l.Listing.empty(); });
  ASSERT_NE(error, report.end());
  EXPECT_EQ(error->Text, "*** ERROR #100, Line #4, SYNTAX ERROR");
  EXPECT_EQ(error->Listing, dir_.File("bad.lst"));
  EXPECT_EQ(error->Source, bad.FileName);
  // The statement's listing line stands before it (the caret line skipped).
  const auto statement = std::prev(error);
  EXPECT_EQ(statement->Statement, "FOO A");
  EXPECT_TRUE(ReportHas("ASSEMBLY COMPLETE, 1 Error Found"));
}

TEST_F(BuildTest, AModuleIsBuiltAgainOnlyWhenItOrAnIncludeIsNewer) {
  const std::string defs = dir_.Write("defs.inc", "SEED    EQU     5\n$INCLUDE(inc/more.inc)\n");
  const std::string more = dir_.Write("inc/more.inc", "OTHER   EQU     6\n");
  const tModuleRec module = Module("MAIN", "main.a51", kMain);
  EXPECT_EQ(ModuleIncludeFiles(module.FileName), (std::vector<std::string>{defs, more}));
  // Beside the including file too; each file once, and a cycle ends.
  const std::string a = dir_.Write("cyc/a.inc", "$INCLUDE(cyc/b.inc)\n");
  const std::string b = dir_.Write("cyc/b.inc", "$INCLUDE(a.inc)\n$INCLUDE(a.inc)\n");
  EXPECT_EQ(ModuleIncludeFiles(dir_.Write("cyc.a51", "$INCLUDE(cyc/a.inc)\n")), (std::vector<std::string>{a, b}));
  EXPECT_TRUE(ModuleOutOfDate(module));
  for (const std::string& f : {module.FileName, defs, more}) Age(f, 100);
  Project().ProjectModules = {module};
  EXPECT_EQ(BuildProject(false), BuildOutcome::Built);
  EXPECT_FALSE(ModuleOutOfDate(module));
  Build().Report.clear();
  EXPECT_EQ(BuildProject(false), BuildOutcome::Built);
  EXPECT_TRUE(Build().Report.empty());  // nothing was out of date
  // Each file the object depends on, newer than it, makes the module out of
  // date (Make builds it again); the object's own age is the measure.
  for (const std::string& f : {module.FileName, defs, more}) {
    SCOPED_TRACE(f);
    for (const std::string& g : {module.FileName, defs, more}) Age(g, 100);
    EXPECT_FALSE(ModuleOutOfDate(module));
    fs::last_write_time(f, fs::file_time_type::clock::now() + std::chrono::seconds(5));
    EXPECT_TRUE(ModuleOutOfDate(module));
    Build().Report.clear();
    EXPECT_EQ(BuildProject(false), BuildOutcome::Built);
    EXPECT_FALSE(Build().Report.empty());  // built again
  }
  // A source that asks for no object is measured by its listing.
  const tModuleRec noObject = Module("NOOBJ", "noobj.a51", "$NOOBJECT\n" + std::string(kLib));
  EXPECT_EQ(CompileModule(noObject), BuildOutcome::Built);
  EXPECT_EQ(ModuleObjectFile(noObject), dir_.File("noobj.lst"));
}

TEST_F(BuildTest, BadBuildsEndInOneNumberedMessage) {
  // No modules: 54.
  EXPECT_EQ(BuildProject(true), BuildOutcome::Failed);
  // A module whose file is missing: 106.
  Project().ProjectModules = {{"GONE", dir_.File("gone.a51"), {}}};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Failed);
  // An unregistered extension: 314.
  Project().ProjectModules = {Module("X", "x.s", kLib)};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Failed);
  // A compiler command whose program does not exist: 320.
  SetCompiler(".C", "no-such-compiler-here -c");
  Project().ProjectModules = {Module("C", "c.c", "int x;\n")};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Failed);
  // A build while the program runs: 144.
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(BuildProject(true), BuildOutcome::Failed);
  dorvik::Run().ProgramRunning = false;
  EXPECT_EQ(Numbers(), (std::vector<int>{54, 106, 314, 320, 144}));
}

TEST_F(BuildTest, AnErrorProtocolThatCannotBeUsedIsMessage48Or49) {
  // No protocol to write the built-in assembler's text into: 49.
  MainForm().ErrorProtocolFile = dir_.File("no/such/folder/$$ERR.$$$");
  EXPECT_EQ(CompileModule(Module("LIB", "lib.a51", kLib)), BuildOutcome::Failed);
  // A tool's protocol that cannot be read: 48 with its name, and no lines.
  EXPECT_TRUE(ReadProtocol(dir_.File("missing.$$$"), dir_.Path()).empty());
  EXPECT_EQ(Numbers(), (std::vector<int>{49, 48}));
  EXPECT_EQ(boxes_.Shown().back().Text.rfind("Cannot open error protocol file " + dir_.File("missing.$$$"), 0), 0u);
}

TEST_F(BuildTest, AToolThatHangsIsStoppedAtItsTimeOut) {
  RegisterTool("sleep 30\n");
  RunProgramConfig().HiddenTimeoutMs = 300;
  Project().ProjectModules = {Module("C", "c.c", "int x;\n")};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(BuildProject(true), BuildOutcome::Failed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(Numbers(), (std::vector<int>{108}));
}

TEST_F(BuildTest, AHangingToolIsStoppedWhenTheCallerSaysSo) {
  RegisterTool("echo started\nsleep 30\n");
  testing::ScriptedUser user;
  user.StopAtWait = 5;
  Project().ProjectModules = {Module("C", "c.c", "int x;\n"), Module("LIB", "lib.a51", kLib)};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(BuildProject(true), BuildOutcome::Stopped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(ReportHas("started"));
  EXPECT_FALSE(fs::exists(dir_.File("lib.obj")));  // the build ended there
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(BuildTest, AToolsOutputIsReportedBoundedWithItsLinesLeadingToTheSource) {
  RegisterTool("echo \"c.c:3: error 20: Undefined identifier '$MYVAR'\"\nseq 1 200000\nexit 1\n");
  Project().Variables = {{"MYVAR", "it's set"}, {"bad name", "skipped"}};
  const tModuleRec module = Module("C", "c.c", "int x;\n");
  Project().ProjectModules = {module};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Errors);
  const auto& report = Build().Report;
  EXPECT_LE(report.size(), kMaxReportLines);
  EXPECT_EQ(report.back().Text, "...");
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[1].Text, "c.c:3: error 20: Undefined identifier 'it's set'");
  EXPECT_EQ(report[1].Source, module.FileName);
  EXPECT_EQ(report[1].Line, 3);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(BuildTest, AfterAModuleWithErrorsQuestion53DecidesWhetherToGoOn) {
  Project().ProjectModules = {Module("BAD", "bad.a51", kBad), Module("LIB", "lib.a51", kLib)};
  boxes_.QueueAnswer(platform::kBoxNo);
  EXPECT_EQ(BuildProject(true), BuildOutcome::Errors);
  EXPECT_FALSE(fs::exists(dir_.File("lib.obj")));
  boxes_.QueueAnswer(platform::kBoxYes);
  EXPECT_EQ(BuildProject(true), BuildOutcome::Errors);
  EXPECT_TRUE(fs::exists(dir_.File("lib.obj")));
  EXPECT_EQ(Numbers(), (std::vector<int>{53, 53}));
}

TEST_F(BuildTest, StopBetweenModulesEndsTheBuild) {
  Project().ProjectModules = {Module("LIB", "lib.a51", kLib)};
  testing::ScriptedUser user;
  user.OnWait = [] { Build().StopRequested = true; };
  EXPECT_EQ(BuildProject(true), BuildOutcome::Stopped);
  EXPECT_FALSE(fs::exists(dir_.File("lib.obj")));
  EXPECT_FALSE(Build().Building);
}

// What the build tells the user goes through the seam: each module's status
// text, cleared at the end; a wait before each module, whose "stop" ends the
// build there; the report's revision bumped at each change for the window to pull.
TEST_F(BuildTest, ProgressWaitsAndTheReportsRevisionGoThroughTheSeam) {
  Project().ProjectModules = {Module("MAIN", "main.a51", kMain), Module("LIB", "lib.a51", kLib)};
  dir_.Write("defs.inc", "SEED    EQU     5\n");
  testing::ScriptedUser user;
  const uint32_t revision = Build().ReportRevision;
  EXPECT_EQ(BuildProject(true), BuildOutcome::Built);
  EXPECT_EQ(user.Statuses, (std::vector<std::string>{"Compiling " + dir_.File("main.a51"),
                                                     "Compiling " + dir_.File("lib.a51"), ""}));
  EXPECT_EQ(user.Waits, 2);
  EXPECT_EQ(Build().ReportRevision - revision, 3u);  // emptied, then one tool's lines each
  // A stop answered at the second wait: the first module only.
  fs::remove(dir_.File("main.obj"));
  fs::remove(dir_.File("lib.obj"));
  user.Waits = 0;
  user.StopAtWait = 2;
  EXPECT_EQ(BuildProject(true), BuildOutcome::Stopped);
  EXPECT_TRUE(fs::exists(dir_.File("main.obj")));
  EXPECT_FALSE(fs::exists(dir_.File("lib.obj")));
  EXPECT_FALSE(Build().StopRequested);
  EXPECT_EQ(user.Statuses.back(), "");
}

TEST_F(BuildTest, SdccReportsItsErrorsWhenInstalled) {
  if (!CommandProgramExists("sdcc")) GTEST_SKIP() << "sdcc is not installed";
  SetCompiler(".C", "sdcc -c");
  const tModuleRec module = Module("MAIN", "main.c", "void main(void) {\n  int x;\n  x = y;\n}\n");
  Project().ProjectModules = {module};
  EXPECT_EQ(BuildProject(true), BuildOutcome::Errors);
  const auto& report = Build().Report;
  const auto line = std::find_if(report.begin(), report.end(), [](const BuildReportLine& l) { return l.Line > 0; });
  ASSERT_NE(line, report.end());
  EXPECT_EQ(line->Source, module.FileName);
  EXPECT_EQ(line->Line, 3);
}

}  // namespace
}  // namespace dorvik
