// Generated programs run through the console's commands only, against the
// reference simulator s51: the code is written with CBYTE, run with
// GO FROM 0 TILL <end>, and internal RAM, SFRs, external data and code are
// read back from the DBYTE / RBYTE / XBYTE / CBYTE displays and compared with
// s51's memories after it ran the same program to a breakpoint at the same end.
//
// Kept differences (those of tests/machine/sim_differential_test.cpp, most
// avoided by the program generator; only the first two are allowed for here):
//  - PSW.P: s51 updates it only when ACC is written; ours always equals the
//    parity of ACC. s51's P is not compared; ours is checked against the
//    displayed ACC.
//  - s51's instruction counter, stopped on a breakpoint, counts the
//    instruction under it too: the counts are compared with that one off.
//  - Timer mode 0 (upper bits of TLx), bank switching by bit writes of PSW,
//    the one-instruction delay after writes of IE/IP, priorities, PUSH/POP
//    SP, the break opcode, MOVC past FFFFH, P3 writes: kept out of the
//    generated programs. Interrupts are step-aligned differently by the two
//    (s51's step that raises one also runs the handler's first instruction);
//    a run to a breakpoint is compared at its end only, where the programs
//    of both families (plain and with interrupts) agree unmasked.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "machine/alu.h"
#include "machine/images.h"
#include "machine/simulator.h"
#include "platform/process.h"
#include "tests/support/console_fixture.h"
#include "tests/support/program_generator.h"
#include "tests/support/s51_driver.h"

namespace dorvik::testsupport {
namespace {

constexpr int kPrograms = 512;  // half plain, half with interrupts
constexpr int kShards = 8;
constexpr uint16_t kCodeEnd = 0x07FF;  // generated programs stay below 0800H

// Hexadecimal digits, at least `digits` of them.
std::string Hex(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, v);
  return buf;
}

// A number as the console reads it in the hexadecimal display radix: a
// leading 0 when it starts with a letter.
std::string Num(unsigned v) {
  const std::string digits = Hex(v, 1);
  return std::isalpha(uint8_t(digits[0])) ? "0" + digits : digits;
}

GeneratedProgram Program(int i) {
  return GenerateProgram(0xC0DE0000u + static_cast<uint32_t>(i),
                         i % 2 ? ProgramFamily::Interrupts : ProgramFamily::Plain);
}

// The address of the final SJMP $: the generator emits it last.
uint16_t EndAddress(const GeneratedProgram& p) {
  return p.InstructionStarts.back();
}

// The CBYTE lines that write the program's bytes, at most 16 a line.
std::vector<std::string> CodeLines(const GeneratedProgram& p) {
  std::vector<std::string> lines;
  for (unsigned a = 0; a <= kCodeEnd;) {
    if (!p.Used[a]) {
      ++a;
      continue;
    }
    std::string line = "CBYTE " + Num(a) + " =";
    for (unsigned n = 0; n < 16 && a <= kCodeEnd && p.Used[a]; ++n, ++a)
      line += (n ? "," : " ") + Num(p.Code[a]);
    lines.push_back(line);
  }
  return lines;
}

// Reads a byte display of first..last back into out: every line
// "SPACE  AAAA=bb,bb,..." (addresses consecutive, at most 16 bytes a line),
// with the character column " ' ... '" when ascii is on. Empty on success,
// else what was wrong.
std::string ParseDisplay(const std::string& text, const std::string& space, unsigned first, unsigned last,
                         bool ascii, uint8_t* out) {
  std::istringstream lines(text);
  unsigned next = first;
  for (std::string line; std::getline(lines, line);) {
    const std::string head = space + "  " + Hex(next, 4) + "=";
    if (line.rfind(head, 0) != 0) return "line \"" + line + "\" does not start with \"" + head + "\"";
    size_t at = head.size();
    std::string column;
    unsigned count = 0;
    for (;;) {
      if (next > last) return "line \"" + line + "\" runs past " + Hex(last, 4);
      if (at + 2 > line.size() || !std::isxdigit(uint8_t(line[at])) || !std::isxdigit(uint8_t(line[at + 1])))
        return "line \"" + line + "\": no byte at column " + std::to_string(at);
      const uint8_t b = static_cast<uint8_t>(std::stoul(line.substr(at, 2), nullptr, 16));
      out[next++ - first] = b;
      const char c = static_cast<char>(b & 0x7F);
      column += (c < 0x20 || c == 0x7F) ? '.' : c;
      ++count;
      at += 2;
      if (at < line.size() && line[at] == ',') {
        ++at;
        continue;
      }
      break;
    }
    if (count > 16) return "line \"" + line + "\" holds more than 16 bytes";
    const std::string tail = ascii ? " ' " + column + " '" : "";
    if (line.substr(at) != tail)
      return "line \"" + line + "\" ends in \"" + line.substr(at) + "\", not \"" + tail + "\"";
  }
  if (next != last + 1) return "display ends at " + Hex(next, 4) + ", not after " + Hex(last, 4);
  return {};
}

struct ReferenceRun {
  S51Dump Memories;
  int64_t StopPc = -1;  // where s51's run stopped on a breakpoint; -1 when it stopped otherwise
};

// Runs every program on one s51 from reset to a breakpoint at its end and
// dumps the memories there (in a scratch folder of this process).
std::vector<ReferenceRun> RunReference(const std::string& s51, const std::string& name,
                                       const std::vector<GeneratedProgram>& programs) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("dorvik-consolediff-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string cmd = "set error stack off\n";
  for (size_t i = 0; i < programs.size(); ++i) {
    const std::string file = (dir / ("prog" + std::to_string(i) + ".hex")).string();
    std::ofstream(file) << detail::IntelHexText(programs[i].Code, programs[i].Used);
    cmd += "fill rom 0 0xffff 0\nfill iram 0 0xff 0\nfill xram 0 0xffff 0\nfile \"" + file + "\"\nreset\n";
    cmd += "break 0x" + Hex(EndAddress(programs[i]), 4) + "\nrun\n";
    detail::AppendDumpCommands(cmd);
    cmd += "delete\n";
  }
  std::ofstream(dir / "commands.txt") << cmd << "quit\n";
  platform::ProcessRequest request;
  request.Argv = {s51, "-b", "-t", "C52", "-C", (dir / "commands.txt").string()};
  request.OutputPath = (dir / "output.txt").string();
  request.TimeoutMs = 600'000;
  std::vector<ReferenceRun> runs;
  if (platform::Processes().Run(request).Status == platform::ProcessStatus::Exited) {
    std::ifstream output(request.OutputPath);
    for (const S51Run& run : detail::ParseS51Output(output))
      runs.push_back({run.Dumps.empty() ? S51Dump{} : run.Dumps.back(), -1});
    // The stop lines, which the dump parser skips: "Stop at 0x000470: (104) Breakpoint".
    std::ifstream again(request.OutputPath);
    int program = -1;
    for (std::string line; std::getline(again, line);) {
      if (line.rfind("file \"", 0) == 0) ++program;
      if (line.rfind("Stop at 0x", 0) == 0 && line.find("Breakpoint") != std::string::npos && program >= 0 &&
          program < static_cast<int>(runs.size()))
        runs[static_cast<size_t>(program)].StopPc = detail::HexAfter(line, "Stop at 0x");
    }
  }
  std::filesystem::remove_all(dir);
  return runs;
}

class ConsoleRuns : public testing::ConsoleTest {
 protected:
  // A command that must print exactly `expected` and raise no message.
  void Expect(const std::string& line, const std::string& expected, std::vector<std::string>& diffs) {
    const std::string out = Output(line);
    if (out != expected)
      diffs.push_back("\"" + line + "\" printed \"" + out + "\", expected \"" + expected + "\"");
    if (!Errors().empty())
      diffs.push_back("\"" + line + "\" raised error " + std::to_string(Errors().front()));
  }

  // A byte display of first..last read back into out.
  void Display(const std::string& command, const std::string& space, unsigned first, unsigned last,
               bool ascii, uint8_t* out, std::vector<std::string>& diffs) {
    const std::string line = command + " " + Num(first) + " TO " + Hex(last, 4);
    const std::string problem = ParseDisplay(Output(line), space, first, last, ascii, out);
    if (!problem.empty()) diffs.push_back("\"" + line + "\": " + problem);
    if (!Errors().empty())
      diffs.push_back("\"" + line + "\" raised error " + std::to_string(Errors().front()));
  }

  // Runs one program through the console and compares; the report of its
  // differences, or nothing.
  std::string RunThroughConsole(const GeneratedProgram& p, const ReferenceRun& ref, bool ascii) {
    std::vector<std::string> diffs;
    auto check = [&diffs](const std::string& what, unsigned ours, unsigned theirs) {
      if (ours != theirs) diffs.push_back(what + ": console " + Hex(ours, 2) + ", s51 " + Hex(theirs, 2));
    };
    // A clean machine, by commands: code, internal and external data zero, then a reset.
    Expect("CBYTE 0 TO " + Num(kCodeEnd) + " = 0", "", diffs);
    Expect("DBYTE 0 TO 0FF = 0", "", diffs);
    Expect("XBYTE 0 TO 0FFFF = 0", "", diffs);
    Expect("RESET CPU", "", diffs);
    Expect(ascii ? "ENABLE ASCII" : "DISABLE ASCII", "", diffs);
    const std::vector<std::string> code = CodeLines(p);
    for (const std::string& line : code) Expect(line, "", diffs);
    const uint16_t end = EndAddress(p);
    const uint64_t before = Simulator().InstructionCounter;
    Expect("GO FROM 0 TILL " + Num(end), "EXECUTION HALTED AT " + Hex(end, 4) + "\n", diffs);
    const uint64_t ran = Simulator().InstructionCounter - before;

    std::array<uint8_t, 256> iram{}, sfrs{};
    std::vector<uint8_t> xdata(256 * kXDataPages.size()), codeback(kCodeEnd + 1u);
    Display("DBYTE", "IDATA", 0, 0xFF, ascii, iram.data(), diffs);
    Display("RBYTE", "RDATA", 0x80, 0xFF, ascii, sfrs.data() + 0x80, diffs);
    for (size_t i = 0; i < kXDataPages.size(); ++i)
      Display("XBYTE", "XDATA", kXDataPages[i] << 8, kXDataPages[i] << 8 | 0xFF, ascii,
              xdata.data() + 256 * i, diffs);
    Display("CBYTE", "CODE", 0, kCodeEnd, ascii, codeback.data(), diffs);
    if (diffs.empty()) {
      if (ref.StopPc != end) diffs.push_back("s51 did not stop at its breakpoint " + Hex(end, 4));
      // s51's counter, stopped on a breakpoint, counts the instruction under it too.
      if (ref.Memories.Inst >= 0 && ran + 1 != static_cast<uint64_t>(ref.Memories.Inst))
        diffs.push_back("instructions: console run " + std::to_string(ran) + ", s51 " +
                        std::to_string(ref.Memories.Inst - 1));
      for (unsigned a = 0; a < 256; ++a) check("IRAM " + Hex(a, 2), iram[a], ref.Memories.IRam[a]);
      for (unsigned a = 0x80; a < 0x100; ++a) {
        const uint8_t mask = a == sfr::PSW ? static_cast<uint8_t>(~psw::P) : 0xFF;
        check("SFR " + Hex(a, 2) + (mask != 0xFF ? " (P not compared)" : ""), sfrs[a] & mask,
              ref.Memories.Sfr[a] & mask);
      }
      if ((sfrs[sfr::PSW] & psw::P) != alu::Parity(sfrs[sfr::ACC]))
        diffs.push_back("the displayed PSW.P differs from the parity of the displayed ACC");
      for (size_t i = 0; i < xdata.size(); ++i)
        check("XDATA " + Hex(unsigned(kXDataPages[i / 256] << 8 | (i % 256)), 4), xdata[i],
              ref.Memories.XData[i]);
      for (unsigned a = 0; a <= kCodeEnd; ++a) check("CODE " + Hex(a, 4), codeback[a], p.Code[a]);
    }
    if (diffs.empty()) return {};
    std::string text = "seed " + std::to_string(p.Seed) + ":\n";
    for (size_t i = 0; i < diffs.size() && i < 20; ++i) text += "  " + diffs[i] + "\n";
    text += "program, as console lines:\n";
    for (const std::string& line : code) text += "  " + line + "\n";
    return text + "  GO FROM 0 TILL " + Num(end) + "\n";
  }
};

class ConsoleDifferential : public ConsoleRuns, public ::testing::WithParamInterface<int> {};

TEST_P(ConsoleDifferential, DisplaysAfterGoTillTheEndAgreeWithTheReference) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  const int shard = GetParam();
  std::vector<GeneratedProgram> programs;
  for (int i = shard; i < kPrograms; i += kShards) {
    programs.push_back(Program(i));
    ASSERT_FALSE(programs.back().Faulty) << "seed " << programs.back().Seed;
    ASSERT_LE(EndAddress(programs.back()), kCodeEnd);
  }
  const std::vector<ReferenceRun> runs = RunReference(s51, "shard" + std::to_string(shard), programs);
  ASSERT_EQ(runs.size(), programs.size()) << "s51 stopped early";
  int failures = 0;
  for (size_t i = 0; i < programs.size() && failures < 3; ++i) {
    const std::string report = RunThroughConsole(programs[i], runs[i], i % 2 == 0);
    if (!report.empty()) {
      ++failures;
      ADD_FAILURE() << report;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, ConsoleDifferential, ::testing::Range(0, kShards));

// The comparison notices a difference in each memory it reads, and masks
// exactly the kept ones.
TEST_F(ConsoleRuns, ComparisonReportsEachKindOfDifferenceAndMasksOnlyTheKeptOnes) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  const std::vector<GeneratedProgram> programs = {Program(0), Program(1)};
  const std::vector<ReferenceRun> runs = RunReference(s51, "cmp", programs);
  ASSERT_EQ(runs.size(), 2u);
  struct Tamper {
    const char* Name;
    void (*Apply)(ReferenceRun&);
    bool Noticed;
  };
  const Tamper cases[] = {
      {"none", [](ReferenceRun&) {}, false},
      {"IRAM", [](ReferenceRun& r) { r.Memories.IRam[0x45] ^= 1; }, true},
      {"upper IRAM", [](ReferenceRun& r) { r.Memories.IRam[0xC3] ^= 0x80; }, true},
      {"SFR B", [](ReferenceRun& r) { r.Memories.Sfr[sfr::B] ^= 1; }, true},
      {"SFR TH1", [](ReferenceRun& r) { r.Memories.Sfr[sfr::TH1] ^= 4; }, true},
      {"PSW.CY", [](ReferenceRun& r) { r.Memories.Sfr[sfr::PSW] ^= psw::CY; }, true},
      {"PSW.P (kept)", [](ReferenceRun& r) { r.Memories.Sfr[sfr::PSW] ^= psw::P; }, false},
      {"XDATA page 00", [](ReferenceRun& r) { r.Memories.XData[0x12] ^= 1; }, true},
      {"XDATA page FF", [](ReferenceRun& r) { r.Memories.XData[0x2FF] ^= 1; }, true},
      {"stop address", [](ReferenceRun& r) { r.StopPc = -1; }, true},
      {"instruction count", [](ReferenceRun& r) { r.Memories.Inst += 1; }, true},
  };
  for (size_t i = 0; i < programs.size(); ++i)
    for (const Tamper& t : cases) {
      ReferenceRun copy = runs[i];
      t.Apply(copy);
      EXPECT_EQ(RunThroughConsole(programs[i], copy, i == 0).empty(), !t.Noticed)
          << t.Name << ", program " << i;
    }
}

// A break planted for GO ... TILL (or for a BR entry) is the break opcode in
// the simulator's code image while the program runs; MOVC reading that
// address still loads the program's byte, here 80H of the final SJMP $, as
// s51 (and a chip with hardware breaks) does.
TEST_F(ConsoleRuns, MovcReadsTheProgramByteAtATillAddress) {
  const std::string s51 = FindS51();
  if (s51.empty()) GTEST_SKIP() << "s51 (package sdcc-ucsim) is not installed";
  GeneratedProgram p;
  // MOV A,#2; MOVC A,@A+PC (reads 0005H); MOV 30H,A; SJMP $
  const std::vector<uint8_t> code = {0x74, 0x02, 0x83, 0xF5, 0x30, 0x80, 0xFE};
  std::copy(code.begin(), code.end(), p.Code.begin());
  std::fill(p.Used.begin(), p.Used.begin() + static_cast<ptrdiff_t>(code.size()), true);
  p.InstructionStarts = {0, 2, 3, 5};
  const std::vector<ReferenceRun> runs = RunReference(s51, "movc", {p});
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].Memories.IRam[0x30], 0x80);
  EXPECT_EQ(RunThroughConsole(p, runs[0], true), "");
}

}  // namespace
}  // namespace dorvik::testsupport
