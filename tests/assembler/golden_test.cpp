// Golden sources: each tests/assembler/data/NAME.a51 is assembled as diz52
// does it (in its own folder, with the invocation controls of its case) and
// every output file is compared byte for byte with the expected file beside
// it: NAME.lst (listing), NAME.hex, NAME.obj (object module), NAME.err
// (error print) and NAME.out (the status text). The expected files were
// checked by hand against the assembler's rules. Setting
// DORVIK_UPDATE_GOLDEN=1 rewrites them from the current output (check the diff!).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

struct GoldenCase {
  const char* Name;
  const char* Controls;  // invocation controls
  std::vector<const char*> Outputs;  // extensions compared (lower case, as derived from NAME.a51)
};

void PrintTo(const GoldenCase& k, std::ostream* os) { *os << k.Name; }

const fs::path kData = fs::path(DORVIK_SOURCE_DIR) / "tests" / "assembler" / "data";

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, OutputsMatchTheExpectedFiles) {
  const GoldenCase& k = GetParam();
  const fs::path dir = ScratchDir("golden");
  for (const fs::directory_entry& e : fs::directory_iterator(kData)) {
    const std::string file = e.path().filename().string();
    if (file.rfind(k.Name, 0) == 0 && (e.path().extension() == ".a51" || e.path().extension() == ".inc"))
      fs::copy_file(e.path(), dir / file, fs::copy_options::overwrite_existing);
  }
  const fs::path home = fs::current_path();
  fs::current_path(dir);
  const Assembly run = AssembleAt(std::string(k.Name) + ".a51", k.Controls);
  fs::current_path(home);
  WriteFile(dir / (std::string(k.Name) + ".out"), run.Status());

  const bool update = std::getenv("DORVIK_UPDATE_GOLDEN") != nullptr;
  for (const char* ext : k.Outputs) {
    const std::string file = std::string(k.Name) + "." + ext;
    const std::string actual = ReadFile(dir / file);
    if (update) {
      WriteFile(kData / file, actual);
      continue;
    }
    ASSERT_TRUE(fs::exists(kData / file)) << "missing expected file " << file;
    EXPECT_EQ(actual, ReadFile(kData / file)) << "output " << file << " differs (actual in " << dir << ")";
  }
}

const GoldenCase kGolden[] = {
    {"blink", "XREF", {"lst", "hex", "obj", "out"}},
    {"directives", "", {"lst", "hex", "obj", "out"}},
    {"operators", "NOOBJECT", {"lst", "hex", "out"}},
    {"controls", "NOHEX OBJECT(controls.o)", {"lst", "o", "out"}},
    {"errors", "ERRORPRINT(errors.err) NOOBJECT", {"lst", "err", "hex", "out"}},
    {"errors2", "NOOBJECT", {"lst", "hex", "out"}},
    {"reloc", "XREF DEBUG", {"lst", "hex", "obj", "out"}},
    // The error print receives the faulty lines and messages with the listing off.
    {"noprint", "NOPRINT ERRORPRINT(noprint.err)", {"err", "hex", "obj", "out"}},
    // Controls given on the invocation line: PRINT names the listing.
    // Page headers, continued lines, error markers and messages, reference
    // lists at a 64-column page of 20 lines; a symbol table over pages, its
    // heading wrapped alike on each of them.
    {"layout", "NOOBJECT", {"lst", "hex", "out"}},
    {"pages", "NOOBJECT XREF PAGEWIDTH(80)", {"lst", "out"}},
    {"invoke", "PRINT(invoke.prn) PAGEWIDTH(64) NOPAGING DATE(01/02/03) MODE(652) NOSYMBOLS", {"prn", "hex", "obj", "out"}},
};

INSTANTIATE_TEST_SUITE_P(Sources, GoldenTest, ::testing::ValuesIn(kGolden),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) { return info.param.Name; });

// The example programs assemble cleanly; blink.a51 is also a golden source.
TEST(ExamplesTest, EveryExampleAssemblesWithoutErrors) {
  const fs::path examples = fs::path(DORVIK_SOURCE_DIR) / "examples";
  int count = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(examples)) {
    if (e.path().extension() != ".a51") continue;
    ++count;
    const Assembly run = Assemble(ReadFile(e.path()), "", e.path().filename().string());
    EXPECT_FALSE(run.Result.Fatal) << e.path();
    EXPECT_EQ(run.Result.ErrorCount, 0u) << e.path() << "\n" << run.Output(".lst");
    bool end = false;
    EXPECT_FALSE(HexToMemory(run.Output(".hex"), &end).empty());
    EXPECT_TRUE(end);
  }
  EXPECT_GE(count, 2);
  EXPECT_EQ(ReadFile(examples / "blink.a51"), ReadFile(kData / "blink.a51"));
}

}  // namespace
}  // namespace dorvik::as
