// The simulator against the reference simulator s51: the same generated
// programs run on both, and registers, internal RAM, SFRs and external data
// are compared step by step.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "machine/alu.h"
#include "machine/disassembler.h"
#include "tests/support/program_generator.h"
#include "tests/support/s51_driver.h"
#include "tests/support/sim_fixture.h"

namespace dorvik::testsupport {
namespace {

// Differences kept on purpose (each masked where it shows, nowhere else):
//  1. PSW.P: s51 recomputes it only when ACC is written, so a direct write of
//     PSW (or of ACC through its SFR address) leaves it stale there; the chip
//     and our simulator keep P equal to ACC's parity always. s51's P is not
//     compared; ours must equal the parity of ACC after every step. The
//     generator follows every such write with ANL A,#0FFH, so the stale bit
//     never reaches memory.
//  2. Timers in mode 0: the upper three bits of TLx are started at 0 (s51
//     keeps them, our counts clear them; the chip leaves them undefined).
//  3. Interrupts: the s51 step that raises an interrupt also runs the first
//     instruction of the handler; our step raises the request and accepts it
//     at the next step. Steps are aligned on s51's instruction counter.
//  4. s51 switches the register bank only when PSW is written as a byte,
//     not by a bit write of RS0/RS1: the generator follows every bit write
//     of PSW by ORL PSW,#0. And after a write of IE or IP the chip (and our
//     simulator) runs one more instruction before it accepts an interrupt,
//     s51 does not: the generator changes IE and IP only with EA clear and
//     clears the request flags before it sets EA again. With requests of
//     different priority pending at once, s51 accepts the lowest-numbered
//     source first (and nests the high one at once), the chip the high one:
//     the generator's IP values never give a lower number a lower priority.
//  5. Not generated, because the two differ there by design: PUSH SP and
//     POP SP (s51 pushes the incremented SP and leaves the popped value in
//     SP), the break opcode A5H (a 1-byte no-op for s51), timer 0 in mode 3,
//     timers together with interrupts (our vector call takes two machine
//     cycles), PC wrap-around and MOVC A,@A+DPTR past FFFFH (s51 reads 00H
//     there, the chip wraps to 0000H: the generator sets DPTR below FF00H
//     before it), PUSH at SP = FFH, program writes of P3 (kept out so that
//     no generated program depends on how a pin the program drives low
//     raises INT0/INT1 or counts T0/T1); and what neither side models: the
//     serial port, timer 2, power modes, writes to code memory.

std::string Hex(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*XH", digits, v);
  return buf;
}

std::string DisassembleAt(const std::vector<uint8_t>& code, uint16_t a) {
  return Disassemble(a, code[a] | code[(a + 1) & 0xFFFF] << 8 | code[(a + 2) & 0xFFFF] << 16);
}

std::string Listing(const GeneratedProgram& p) {
  std::vector<uint16_t> starts = p.InstructionStarts;
  std::sort(starts.begin(), starts.end());
  std::string text;
  for (uint16_t a : starts) text += "  " + DisassembleAt(p.Code, a) + "\n";
  return text;
}

void LoadOurs(const GeneratedProgram& p) {
  testing::ResetMachine();
  std::copy(p.Code.begin(), p.Code.end(), Images().CodeImage.begin());
  CodeImageChanged();
  SimReset();
}

using Mismatches = std::vector<std::string>;

void Check(Mismatches& out, const std::string& name, unsigned ours, unsigned theirs, int digits) {
  if (ours != theirs) out.push_back(name + ": ours " + Hex(ours, digits) + ", s51 " + Hex(theirs, digits));
}

void CompareRegisters(const S51Registers& ref, Mismatches& out) {
  const MemoryImages& t = Images();
  const auto& sfr = t.SfrImage;
  const uint8_t psw = sfr[sfr::PSW];
  Check(out, "PC", static_cast<unsigned>(t.SimPC), ref.Pc, 4);
  Check(out, "ACC", sfr[sfr::ACC], ref.Acc, 2);
  Check(out, "B", sfr[sfr::B], ref.B, 2);
  Check(out, "PSW (P not compared)", psw & ~psw::P, ref.Psw & ~psw::P, 2);
  Check(out, "SP", sfr[sfr::SP], ref.Sp, 2);
  Check(out, "DPTR", static_cast<unsigned>(sfr[sfr::DPH] << 8 | sfr[sfr::DPL]), ref.Dptr, 4);
  for (int r = 0; r < 8; ++r)
    Check(out, "R" + std::to_string(r), t.IDataImage[(psw & 0x18) + r], ref.R[r], 2);
  if ((psw & psw::P) != alu::Parity(sfr[sfr::ACC])) out.push_back("our PSW.P differs from the parity of ACC");
}

void CompareMemory(const S51Dump& ref, Mismatches& out) {
  const MemoryImages& t = Images();
  for (int a = 0; a < 256; ++a) Check(out, "IRAM " + Hex(a, 2), t.IDataImage[a], ref.IRam[a], 2);
  for (int a = 0x80; a < 0x100; ++a) {
    const uint8_t mask = a == sfr::PSW ? static_cast<uint8_t>(~psw::P) : 0xFF;
    Check(out, "SFR " + Hex(a, 2), t.SfrImage[a] & mask, ref.Sfr[a] & mask, 2);
  }
  for (size_t p = 0; p < kXDataPages.size(); ++p)
    for (unsigned i = 0; i < 256; ++i) {
      const unsigned a = kXDataPages[p] << 8 | i;
      Check(out, "XDATA " + Hex(a, 4), t.XDataImage[a], ref.XData[256 * p + i], 2);
    }
}

// Runs one program on our simulator along the s51 run; returns the report of
// the first mismatch, or nothing.
std::string RunAlong(const GeneratedProgram& p, const S51Run& ref, const S51Plan& plan) {
  const std::string seed = "seed " + std::to_string(p.Seed);
  if (ref.Steps.size() != static_cast<size_t>(plan.Steps) || ref.Dumps.empty())
    return seed + ": s51 output incomplete (" + std::to_string(ref.Steps.size()) + " steps)";
  LoadOurs(p);
  Mismatches diffs;
  auto report = [&](const std::string& at) {
    std::string text =
        seed + (p.Family == ProgramFamily::Interrupts ? " (interrupts)" : " (plain)") + ", " + at + ":\n";
    for (const std::string& m : diffs) text += "  " + m + "\n";
    return text + "program:\n" + Listing(p);
  };
  CompareMemory(ref.Dumps[0], diffs);
  if (!diffs.empty()) return report("after reset");
  const uint64_t& ours = Simulator().InstructionCounter;
  size_t dump = 1;
  for (size_t s = 0; s < ref.Steps.size(); ++s) {
    const S51Registers& r = ref.Steps[s];
    const uint64_t target = r.Inst >= 0 ? static_cast<uint64_t>(r.Inst) : ours + 1;
    if (ours >= target)
      diffs.push_back("our simulator ran ahead: " + std::to_string(ours) + " instructions, s51 " +
                      std::to_string(target));
    std::string ran;
    while (ours < target && diffs.empty()) {
      const uint16_t pc = static_cast<uint16_t>(Images().SimPC);
      ran += (ran.empty() ? "" : "; ") + DisassembleAt(p.Code, pc);
      if (SimStep(pc) != StepResult::Executed) diffs.push_back("our step did not execute");
      if (Messages().ErrorFlag)
        diffs.push_back("our step reported error " + std::to_string(Messages().LastErrorCode));
    }
    const std::string at = "step " + std::to_string(s + 1) + " (ran " + ran + ")";
    if (diffs.empty()) CompareRegisters(r, diffs);
    if (!diffs.empty()) return report(at);
    for (; dump < ref.Dumps.size() && ref.Dumps[dump].AfterStep == static_cast<int>(s + 1); ++dump) {
      if (ref.Dumps[dump].Inst >= 0)
        Check(diffs, "instructions", unsigned(ours), unsigned(ref.Dumps[dump].Inst), 1);
      CompareMemory(ref.Dumps[dump], diffs);
      if (!diffs.empty()) return report(at + ", memory dump");
    }
  }
  return {};
}

// Programs of the differential test: DORVIK_DIFF_PROGRAMS, else 1024 (512
// under the sanitizers, where our side runs several times slower).
int ProgramCount() {
  if (const char* env = std::getenv("DORVIK_DIFF_PROGRAMS")) return std::max(1, std::atoi(env));
#if defined(__SANITIZE_ADDRESS__)
  return 512;
#else
  return 1024;
#endif
}

GeneratedProgram Program(int i) {
  return GenerateProgram(0x5EED0000u + static_cast<uint32_t>(i),
                         i % 4 == 3 ? ProgramFamily::Interrupts : ProgramFamily::Plain);
}

// The generated programs, run on our simulator (which agrees with s51 step by
// step below): well formed, never leaving their own code, and together
// executing every opcode but the break.
TEST(ProgramGenerator, ProgramsStayInTheirCodeAndExecuteEveryOpcode) {
  EXPECT_EQ(GenerateProgram(77, ProgramFamily::Plain).Code, GenerateProgram(77, ProgramFamily::Plain).Code);
  std::set<uint8_t> executed;
  for (int i = 0; i < ProgramCount(); ++i) {
    const GeneratedProgram p = Program(i);
    ASSERT_FALSE(p.Faulty) << "seed " << p.Seed;
    EXPECT_GE(p.InstructionStarts.size(), 200u) << "seed " << p.Seed;
    const std::set<uint16_t> starts(p.InstructionStarts.begin(), p.InstructionStarts.end());
    ASSERT_LT(*starts.rbegin(), 0x0800) << "seed " << p.Seed;
    LoadOurs(p);
    for (int step = 0; step < 400; ++step) {
      const uint16_t pc = static_cast<uint16_t>(Images().SimPC);
      ASSERT_EQ(starts.count(pc), 1u) << "seed " << p.Seed << " step " << step << " at " << Hex(pc, 4);
      executed.insert(Images().CodeImage[pc]);
      SimStep(pc);
    }
  }
  for (int op = 0; op < 256; ++op)
    EXPECT_EQ(executed.count(static_cast<uint8_t>(op)), op == kBreakOpcode ? 0u : 1u)
        << "opcode " << Hex(op, 2);
}

// Runs the programs on s51 in a scratch folder of this process.
std::vector<S51Run> RunReference(const std::string& s51, const std::string& name,
                                 const std::vector<GeneratedProgram>& programs, const S51Plan& plan) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("dorvik-diff-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::vector<S51Run> runs = RunS51(s51, dir.string(), programs, plan);
  std::filesystem::remove_all(dir);
  return runs;
}

constexpr int kShards = 16;

class Differential : public ::testing::TestWithParam<int> {};

TEST_P(Differential, SimulatorAgreesWithTheReferenceOnGeneratedPrograms) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  const int shard = GetParam();
  std::vector<GeneratedProgram> programs;
  for (int i = shard; i < ProgramCount(); i += kShards) programs.push_back(Program(i));
  if (programs.empty()) return;
  const S51Plan plan{.Steps = 400, .DumpEvery = 50};
  const std::vector<S51Run> runs = RunReference(s51, "shard" + std::to_string(shard), programs, plan);
  ASSERT_EQ(runs.size(), programs.size()) << "s51 stopped early";
  int failures = 0;
  for (size_t i = 0; i < programs.size() && failures < 3; ++i) {
    const std::string report = RunAlong(programs[i], runs[i], plan);
    if (!report.empty()) {
      ++failures;
      ADD_FAILURE() << report;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, Differential, ::testing::Range(0, kShards));

// The comparison itself notices a difference in each kind of state it reads,
// and masks exactly the kept differences.
TEST(DifferentialComparison, ReportsEachKindOfDifferenceAndMasksOnlyTheKeptOnes) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  const std::vector<GeneratedProgram> programs = {GenerateProgram(4242, ProgramFamily::Plain)};
  const S51Plan plan{.Steps = 60, .DumpEvery = 30};
  const std::vector<S51Run> runs = RunReference(s51, "cmp", programs, plan);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(RunAlong(programs[0], runs[0], plan), "");

  struct Tamper {
    const char* Name;
    void (*Apply)(S51Run&);
    bool Noticed;
  };
  const Tamper cases[] = {
      {"PC", [](S51Run& r) { r.Steps[10].Pc ^= 1; }, true},
      {"R3", [](S51Run& r) { r.Steps[20].R[3] ^= 0x40; }, true},
      {"ACC", [](S51Run& r) { r.Steps[5].Acc ^= 0x80; }, true},
      {"PSW.CY", [](S51Run& r) { r.Steps[7].Psw ^= psw::CY; }, true},
      {"PSW.P (kept)", [](S51Run& r) { r.Steps[7].Psw ^= psw::P; }, false},
      {"SP", [](S51Run& r) { r.Steps[59].Sp ^= 1; }, true},
      {"DPTR", [](S51Run& r) { r.Steps[30].Dptr ^= 0x100; }, true},
      {"IRAM", [](S51Run& r) { r.Dumps[1].IRam[0x33] ^= 1; }, true},
      {"SFR B", [](S51Run& r) { r.Dumps[2].Sfr[sfr::B] ^= 1; }, true},
      {"SFR TL0", [](S51Run& r) { r.Dumps[2].Sfr[sfr::TL0] ^= 1; }, true},
      {"SFR PSW.P in a dump (kept)", [](S51Run& r) { r.Dumps[2].Sfr[sfr::PSW] ^= psw::P; }, false},
      {"XDATA", [](S51Run& r) { r.Dumps[1].XData[0x1FF] ^= 1; }, true},
      {"reset state", [](S51Run& r) { r.Dumps[0].Sfr[sfr::SP] = 0x08; }, true},
      {"instruction count", [](S51Run& r) { r.Steps[3].Inst += 1; }, true},
      {"instruction count of a dump", [](S51Run& r) { r.Dumps[1].Inst += 1; }, true},
  };
  for (const Tamper& t : cases) {
    S51Run copy = runs[0];
    t.Apply(copy);
    EXPECT_EQ(RunAlong(programs[0], copy, plan).empty(), !t.Noticed) << t.Name;
  }
}

}  // namespace
}  // namespace dorvik::testsupport
