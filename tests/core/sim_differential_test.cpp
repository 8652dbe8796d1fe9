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

#include "core/disassembler.h"
#include "core/interrupts.h"
#include "core/messages.h"
#include "core/runstate.h"
#include "core/simulator.h"
#include "core/target.h"
#include "tests/core/support/intel_hex_writer.h"
#include "tests/core/support/program_generator.h"
#include "tests/core/support/s51_driver.h"

namespace dorvik::testsupport {
namespace {

std::string TempDir(const std::string& name) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("dorvik-diff-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

// The support code itself

TEST(IntelHexWriter, RecordChecksumMakesTheLineSumToZero) {
  const uint8_t data[] = {0x02, 0x33, 0x7A};
  EXPECT_EQ(IntelHexRecord(0x0030, 0, data), ":0300300002337A1E\n");
  EXPECT_EQ(IntelHexRecord(0, 1, {}), ":00000001FF\n");
}

TEST(IntelHexWriter, SplitsRunsAtGapsAndAfterSixteenBytes) {
  std::vector<uint8_t> image(0x10000, 0);
  std::vector<bool> used(0x10000, false);
  for (int a = 0x10; a < 0x10 + 20; ++a) used[a] = true, image[a] = static_cast<uint8_t>(a);
  used[0xFFFF] = true;
  image[0xFFFF] = 0xAB;
  const std::string text = IntelHexText(image, used);
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 9), ":10001000");  // 16 bytes at 0010H
  EXPECT_EQ(lines[1].substr(0, 9), ":04002000");  // the other 4 at 0020H
  EXPECT_EQ(lines[2], ":01FFFF00AB56");
  EXPECT_EQ(lines[3], ":00000001FF");
}

TEST(ProgramGenerator, SameSeedGivesTheSameProgram) {
  for (auto family : {ProgramFamily::Plain, ProgramFamily::Interrupts}) {
    GeneratedProgram a = GenerateProgram(77, family);
    GeneratedProgram b = GenerateProgram(77, family);
    EXPECT_EQ(a.Code, b.Code);
    EXPECT_NE(a.Code, GenerateProgram(78, family).Code);
  }
}

TEST(ProgramGenerator, ProgramsAreWellFormedAndCoverEveryOpcodeButTheBreak) {
  std::set<uint8_t> seen;
  for (uint32_t seed = 0; seed < 300; ++seed) {
    GeneratedProgram p = GenerateProgram(seed, seed % 3 == 0 ? ProgramFamily::Interrupts : ProgramFamily::Plain);
    ASSERT_FALSE(p.Faulty) << "seed " << seed;
    EXPECT_GE(p.InstructionStarts.size(), 200u) << "seed " << seed;
    for (uint16_t at : p.InstructionStarts) {
      EXPECT_LT(at, 0x0800) << "seed " << seed;
      seen.insert(p.Code[at]);
    }
  }
  for (int op = 0; op < 256; ++op) {
    if (op == kBreakOpcode) {
      EXPECT_EQ(seen.count(static_cast<uint8_t>(op)), 0u);
    } else {
      EXPECT_EQ(seen.count(static_cast<uint8_t>(op)), 1u) << "opcode " << std::hex << op << " never generated";
    }
  }
}

TEST(S51Driver, ParsesDumpLinesOfEveryWidth) {
  unsigned address = 0;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(detail::ParseDumpLine("0xe0 56 00 00 00 00 00 00 01 V.......", address, bytes));
  EXPECT_EQ(address, 0xE0u);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x56, 0, 0, 0, 0, 0, 0, 1}));
  ASSERT_TRUE(detail::ParseDumpLine("0x0100 0a 0b 0c", address, bytes));
  EXPECT_EQ(address, 0x100u);
  EXPECT_EQ(bytes.size(), 3u);
  EXPECT_FALSE(detail::ParseDumpLine("Stop at 0x000002: (109) stepped 12 ticks", address, bytes));
}

TEST(S51Driver, GeneratedProgramsStayInsideTheirCodeOnTheReference) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  std::vector<GeneratedProgram> programs;
  for (uint32_t seed = 1000; seed < 1016; ++seed) {
    programs.push_back(GenerateProgram(seed, seed % 2 ? ProgramFamily::Interrupts : ProgramFamily::Plain));
  }
  const std::string dir = TempDir("gen");
  S51Plan plan;
  std::vector<S51Run> runs = RunS51(s51, dir, programs, plan);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(runs.size(), programs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    ASSERT_EQ(runs[i].Steps.size(), static_cast<size_t>(plan.Steps)) << "program " << i;
    ASSERT_EQ(runs[i].Dumps.size(), static_cast<size_t>(plan.Steps / plan.DumpEvery + 1));
    std::set<uint16_t> starts(programs[i].InstructionStarts.begin(), programs[i].InstructionStarts.end());
    for (size_t s = 0; s < runs[i].Steps.size(); ++s) {
      EXPECT_EQ(starts.count(runs[i].Steps[s].Pc), 1u) << "seed " << programs[i].Seed << " step " << s + 1;
    }
    // The reset state as dumped: SP 07H, ports FFH, RAM filled with 0.
    EXPECT_EQ(runs[i].Dumps[0].Sfr[0x81], 0x07);
    EXPECT_EQ(runs[i].Dumps[0].Sfr[0xB0], 0xFF);
    EXPECT_EQ(runs[i].Dumps[0].IRam[0x55], 0x00);
  }
}

// The differential test proper
//
// Differences kept on purpose (each masked where it shows, nowhere else):
//  1. PSW.P: s51 recomputes it only when ACC is written, so a direct write of
//     PSW (or of ACC through its SFR address) leaves it stale there; the chip
//     and our simulator keep P equal to ACC's parity always. s51's P is not
//     compared; ours must equal the parity of ACC after every step. The
//     generator follows every such write with ANL A,#0FFH, so the stale bit
//     never reaches memory.
//  2. Timers: s51 counts an instruction's cycles with TR as it was before the
//     instruction, we with TR after it (SETB TRx counts one cycle more here,
//     CLR TRx one less, so the counts agree again once the timer stopped).
//     TLx/THx and TFx of a running timer are not compared. In mode 0 the
//     upper three bits of TLx are started at 0 (s51 keeps them, our counts
//     clear them; the chip leaves them undefined).
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
//     before it), PUSH at SP = FFH, program writes of P3 (s51 takes a low
//     INT0/INT1 pin written by the program as an interrupt edge or level
//     and shows it in IE0/IE1; our simulator takes edges only from the user,
//     as designed); and what neither side models: the serial port, timer 2,
//     power modes, writes to code memory.

struct Mismatch {
  std::string What;
};

uint8_t Parity(uint8_t v) {
  v ^= v >> 4;
  v ^= v >> 2;
  v ^= v >> 1;
  return v & 1;
}

std::string Hex(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*XH", digits, v);
  return buf;
}

std::string Listing(const GeneratedProgram& p) {
  std::vector<uint16_t> starts = p.InstructionStarts;
  std::sort(starts.begin(), starts.end());
  std::string text;
  for (uint16_t a : starts) {
    const uint32_t bytes = p.Code[a] | p.Code[(a + 1) & 0xFFFF] << 8 | p.Code[(a + 2) & 0xFFFF] << 16;
    text += "  " + Disassemble(a, bytes) + "\n";
  }
  return text;
}

void LoadOurs(const GeneratedProgram& p) {
  ResetMessages();
  ResetTargetState();
  ResetSimulator();
  ResetInterrupts();
  std::copy(p.Code.begin(), p.Code.end(), Target().CodeImage.begin());
  CodeImageChanged();
  Run().TargetKind = kTargetSimulator;
  SimReset();
}

void CompareRegisters(const S51Registers& ref, std::vector<Mismatch>& out) {
  const TargetState& t = Target();
  const auto& sfr = t.SfrImage;
  const uint8_t psw = sfr[sfr::PSW];
  auto check = [&](const char* name, unsigned ours, unsigned theirs, int digits) {
    if (ours != theirs) out.push_back({std::string(name) + ": ours " + Hex(ours, digits) + ", s51 " + Hex(theirs, digits)});
  };
  check("PC", static_cast<unsigned>(t.SimPC), ref.Pc, 4);
  check("ACC", sfr[sfr::ACC], ref.Acc, 2);
  check("B", sfr[sfr::B], ref.B, 2);
  check("PSW (P not compared)", psw & ~psw::P, ref.Psw & ~psw::P, 2);
  check("SP", sfr[sfr::SP], ref.Sp, 2);
  check("DPTR", static_cast<unsigned>(sfr[sfr::DPH] << 8 | sfr[sfr::DPL]), ref.Dptr, 4);
  for (int r = 0; r < 8; ++r) {
    const std::string name = "R" + std::to_string(r);
    check(name.c_str(), t.IDataImage[(psw & 0x18) + r], ref.R[r], 2);
  }
  if ((psw & psw::P) != Parity(sfr[sfr::ACC])) out.push_back({"our PSW.P differs from the parity of ACC"});
}

void CompareMemory(const S51Dump& ref, std::vector<Mismatch>& out) {
  const TargetState& t = Target();
  for (int a = 0; a < 256; ++a) {
    if (t.IDataImage[a] != ref.IRam[a]) {
      out.push_back({"IRAM " + Hex(a, 2) + ": ours " + Hex(t.IDataImage[a], 2) + ", s51 " + Hex(ref.IRam[a], 2)});
    }
  }
  const uint8_t tcon = t.SfrImage[sfr::TCON] | ref.Sfr[sfr::TCON];
  const bool run0 = tcon & 0x10, run1 = tcon & 0x40;
  for (int a = 0x80; a < 0x100; ++a) {
    uint8_t mask = 0xFF;
    if (a == sfr::PSW) mask = static_cast<uint8_t>(~psw::P);
    if ((a == sfr::TL0 || a == sfr::TH0) && run0) mask = 0;
    if ((a == sfr::TL1 || a == sfr::TH1) && run1) mask = 0;
    if (a == sfr::TCON) mask = static_cast<uint8_t>(~((run0 ? 0x20 : 0) | (run1 ? 0x80 : 0)));
    if ((t.SfrImage[a] & mask) != (ref.Sfr[a] & mask)) {
      out.push_back({"SFR " + Hex(a, 2) + ": ours " + Hex(t.SfrImage[a], 2) + ", s51 " + Hex(ref.Sfr[a], 2)});
    }
  }
  for (size_t p = 0; p < kXDataPages.size(); ++p) {
    for (int i = 0; i < 256; ++i) {
      const unsigned a = kXDataPages[p] << 8 | i;
      if (t.XDataImage[a] != ref.XData[256 * p + i]) {
        out.push_back({"XDATA " + Hex(a, 4) + ": ours " + Hex(t.XDataImage[a], 2) + ", s51 " + Hex(ref.XData[256 * p + i], 2)});
      }
    }
  }
}

// Runs one program on our simulator along the s51 run; returns the report of the first mismatch (empty: none).
std::string RunAlong(const GeneratedProgram& p, const S51Run& ref, const S51Plan& plan) {
  LoadOurs(p);
  std::vector<Mismatch> diffs;
  std::string where;
  size_t dump = 0;
  auto report = [&](const std::string& at) {
    std::string text = "seed " + std::to_string(p.Seed) +
                       (p.Family == ProgramFamily::Interrupts ? " (interrupts)" : " (plain)") + ", " + at + ":\n";
    for (const Mismatch& m : diffs) text += "  " + m.What + "\n";
    return text + "program:\n" + Listing(p);
  };
  if (ref.Steps.size() != static_cast<size_t>(plan.Steps) || ref.Dumps.empty()) {
    return "seed " + std::to_string(p.Seed) + ": s51 output incomplete (" + std::to_string(ref.Steps.size()) + " steps)";
  }
  CompareMemory(ref.Dumps[0], diffs);
  if (!diffs.empty()) return report("after reset");
  dump = 1;
  std::string last;
  for (size_t s = 0; s < ref.Steps.size(); ++s) {
    const S51Registers& r = ref.Steps[s];
    const uint64_t target = r.Inst >= 0 ? static_cast<uint64_t>(r.Inst) : Simulator().InstructionCounter + 1;
    if (Simulator().InstructionCounter >= target) {
      diffs.push_back({"our simulator ran ahead: " + std::to_string(Simulator().InstructionCounter) +
                       " instructions, s51 " + std::to_string(target)});
    }
    last.clear();
    while (Simulator().InstructionCounter < target && diffs.empty()) {
      const uint16_t pc = static_cast<uint16_t>(Target().SimPC);
      const uint32_t bytes = Target().CodeImage[pc] | Target().CodeImage[(pc + 1) & 0xFFFF] << 8 |
                             Target().CodeImage[(pc + 2) & 0xFFFF] << 16;
      last += (last.empty() ? "" : "; ") + Disassemble(pc, bytes);
      const StepResult result = SimStep(pc);
      if (result != StepResult::Executed) diffs.push_back({"our step did not execute"});
      if (Messages().ErrorFlag) diffs.push_back({"our step reported error " + std::to_string(Messages().LastErrorCode)});
    }
    const std::string at = "step " + std::to_string(s + 1) + " (ran " + last + ")";
    if (!diffs.empty()) return report(at);
    CompareRegisters(r, diffs);
    if (!diffs.empty()) return report(at);
    while (dump < ref.Dumps.size() && ref.Dumps[dump].AfterStep == static_cast<int>(s + 1)) {
      const int64_t inst = ref.Dumps[dump].Inst;
      if (inst >= 0 && static_cast<uint64_t>(inst) != Simulator().InstructionCounter) {
        diffs.push_back({"instructions: ours " + std::to_string(Simulator().InstructionCounter) + ", s51 " +
                         std::to_string(inst)});
      }
      CompareMemory(ref.Dumps[dump], diffs);
      if (!diffs.empty()) return report(at + ", memory dump");
      ++dump;
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

constexpr int kShards = 16;

class Differential : public ::testing::TestWithParam<int> {};

TEST_P(Differential, SimulatorAgreesWithTheReferenceOnGeneratedPrograms) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  const int total = ProgramCount();
  const int shard = GetParam();
  std::vector<GeneratedProgram> programs;
  for (int i = shard; i < total; i += kShards) {
    const uint32_t seed = 0x5EED0000u + static_cast<uint32_t>(i);
    programs.push_back(GenerateProgram(seed, i % 4 == 3 ? ProgramFamily::Interrupts : ProgramFamily::Plain));
    ASSERT_FALSE(programs.back().Faulty) << "seed " << seed;
  }
  if (programs.empty()) return;
  S51Plan plan;
  plan.Steps = 400;
  plan.DumpEvery = 50;
  const std::string dir = TempDir("shard" + std::to_string(shard));
  std::vector<S51Run> runs = RunS51(s51, dir, programs, plan);
  std::filesystem::remove_all(dir);
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
  std::vector<GeneratedProgram> programs = {GenerateProgram(4242, ProgramFamily::Plain)};
  S51Plan plan;
  plan.Steps = 60;
  plan.DumpEvery = 30;
  const std::string dir = TempDir("cmp");
  std::vector<S51Run> runs = RunS51(s51, dir, programs, plan);
  std::filesystem::remove_all(dir);
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
      {"SFR TL0 of a stopped timer", [](S51Run& r) { r.Dumps[2].Sfr[sfr::TL0] ^= 1; }, true},
      {"XDATA", [](S51Run& r) { r.Dumps[1].XData[0x1FF] ^= 1; }, true},
      {"reset state", [](S51Run& r) { r.Dumps[0].Sfr[sfr::SP] = 0x08; }, true},
      {"instruction count", [](S51Run& r) { r.Steps[3].Inst += 1; }, true},
  };
  for (const Tamper& t : cases) {
    S51Run copy = runs[0];
    t.Apply(copy);
    EXPECT_EQ(RunAlong(programs[0], copy, plan).empty(), !t.Noticed) << t.Name;
  }
}

// Over the programs of the differential test every opcode but the break runs
// at least once (on our simulator; the two agree step by step).
TEST(DifferentialCoverage, GeneratedProgramsExecuteEveryOpcode) {
  std::set<uint8_t> executed;
  const int total = ProgramCount();
  for (int i = 0; i < total; ++i) {
    GeneratedProgram p =
        GenerateProgram(0x5EED0000u + static_cast<uint32_t>(i), i % 4 == 3 ? ProgramFamily::Interrupts : ProgramFamily::Plain);
    LoadOurs(p);
    for (int step = 0; step < 400; ++step) {
      const uint16_t pc = static_cast<uint16_t>(Target().SimPC);
      executed.insert(Target().CodeImage[pc]);
      SimStep(pc);
    }
  }
  for (int op = 0; op < 256; ++op) {
    if (op == kBreakOpcode) continue;
    EXPECT_EQ(executed.count(static_cast<uint8_t>(op)), 1u) << "opcode " << std::hex << op;
  }
}

}  // namespace
}  // namespace dorvik::testsupport
