// Randomised bad input: garbage, truncated and mutated sources must never
// crash, hang or write out of bounds (the sanitizer run watches the last);
// whatever the run produces stays well formed: HEX records with valid
// checksums and an end record, object records that sum to zero.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "assembler/driver.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

const fs::path kData = fs::path(DORVIK_SOURCE_DIR) / "tests" / "assembler" / "data";

const char kAlphabet[] =
    " \t,.#@$;:()'+-*/<>=!&|^~\"%?_\\ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefhorx";

std::string Mutate(std::string s, std::mt19937& rng) {
  std::uniform_int_distribution<int> op(0, 5);
  const int edits = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < edits && !s.empty(); ++i) {
    const size_t at = rng() % s.size();
    switch (op(rng)) {
      case 0: s.resize(at); break;                                                        // truncate
      case 1: s[at] = static_cast<char>(rng() % 256); break;                              // any byte
      case 2: s.insert(at, 1, kAlphabet[rng() % (sizeof kAlphabet - 1)]); break;          // insert
      case 3: s.erase(at, 1 + rng() % 20); break;                                         // delete
      case 4: s.insert(at, std::string(200 + rng() % 200, 'X')); break;                   // long line
      default: s.insert(at, s.substr(rng() % s.size(), rng() % 80)); break;               // duplicate
    }
  }
  return s;
}

std::string Garbage(std::mt19937& rng) {
  std::string s;
  const size_t lines = rng() % 40;
  for (size_t l = 0; l < lines; ++l) {
    const size_t n = rng() % 90;
    for (size_t i = 0; i < n; ++i) s += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    s += rng() % 4 == 0 ? "\r\n" : "\n";
  }
  return s;
}

// A HEX file ends with its end record unless an RSEG stopped the HEX output.
void ExpectWellFormedOutputs(const fs::path& dir, bool hexComplete) {
  if (fs::exists(dir / "f.hex")) {
    bool end = false;
    HexToMemory(ReadFile(dir / "f.hex"), &end);
    EXPECT_EQ(end, hexComplete) << "HEX end record";
  }
  if (fs::exists(dir / "f.obj")) ObjRecords(ReadFile(dir / "f.obj"));
}

TEST(AssemblerFuzzTest, MutatedAndGarbageSourcesNeverCrash) {
  std::vector<std::string> seeds;
  for (const char* name : {"blink", "directives", "operators", "errors", "reloc", "controls"})
    seeds.push_back(ReadFile(kData / (std::string(name) + ".a51")));
  std::mt19937 rng(51);
  const fs::path dir = ScratchDir("fuzz");
  for (int round = 0; round < 1500; ++round) {
    const std::string source = round % 4 == 3 ? Garbage(rng) : Mutate(seeds[round % seeds.size()], rng);
    for (const auto& e : fs::directory_iterator(dir)) fs::remove(e.path());
    WriteFile(dir / "f.a51", source);
    WriteFile(dir / "controls_regs.inc", "X EQU 1\n");
    const fs::path home = fs::current_path();
    fs::current_path(dir);
    const Assembly run = AssembleAt("f.a51", round % 2 ? "XREF ERRORPRINT(f.err)" : "");
    fs::current_path(home);
    if (!run.Result.Fatal) ExpectWellFormedOutputs(dir, run.C().HexEligible);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round << " source:\n" << source;
      return;
    }
  }
}

TEST(AssemblerFuzzTest, LineAssemblerSurvivesGarbageStatements) {
  std::mt19937 rng(8051);
  for (int round = 0; round < 2000; ++round) {
    std::string statement;
    const size_t n = rng() % 60;
    for (size_t i = 0; i < n; ++i) statement += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    std::vector<std::string> lines = {"CSEG AT " + std::to_string(rng() % 65536), statement, "END"};
    AsmContext c;
    AssembleFile(c, "", &lines);
    EXPECT_LE(lines.size(), 4u);
  }
}

}  // namespace
}  // namespace dorvik::as
