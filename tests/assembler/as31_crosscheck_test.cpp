// Every instruction form, assembled by us and by the reference assembler
// as31 (when installed), must give the same bytes; each instruction also
// matches the shared opcode table and disassembles to its mnemonic.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cctype>
#include <filesystem>
#include <string>

#include "core/disassembler.h"
#include "core/opcodes.h"
#include "tests/assembler/asmtestutil.h"

namespace dorvik::as {
namespace {

using namespace testutil;

constexpr uint32_t kStart = 0x0100;

std::string OurSource(const std::vector<GeneratedInstruction>& program) {
  std::string s = "        CSEG AT " + HexNumber(kStart) + "\n";
  for (const GeneratedInstruction& g : program) s += "        " + g.Text + "\n";
  return s + "        END\n";
}

std::string As31Source(const std::vector<GeneratedInstruction>& program) {
  std::string s = "\t.org " + LowerCase(HexNumber(kStart)) + "\n";
  for (const GeneratedInstruction& g : program) s += "\t" + LowerCase(g.Text) + "\n";
  return s + "\t.end\n";
}

std::map<uint32_t, uint8_t> AssembleOurs(const std::vector<GeneratedInstruction>& program, uint32_t& errors) {
  const std::filesystem::path dir = ScratchDir("ours");
  WriteFile(dir / "all.a51", OurSource(program));
  const AsmRun run = Assemble(dir / "all.a51", "NOOBJECT");
  EXPECT_FALSE(run.Result.Fatal) << run.Status;
  errors = run.Result.ErrorCount;
  EXPECT_EQ(errors, 0u) << ReadFile(dir / "all.lst");
  return HexToMemory(ReadFile(dir / "all.hex"));
}

TEST(AllOpcodesTest, EveryInstructionMatchesTheOpcodeTable) {
  const auto program = AllOpcodeInstructions(kStart);
  ASSERT_EQ(program.size(), 255u);
  uint32_t errors = 0;
  const auto memory = AssembleOurs(program, errors);
  for (const GeneratedInstruction& g : program) {
    const OpcodeInfo& info = Opcode(g.Op);
    const auto bytes = BytesAt(memory, g.Address, info.Length);
    ASSERT_EQ(bytes.size(), info.Length) << g.Text;
    EXPECT_EQ(bytes[0], g.Op) << g.Text;
    // The next instruction starts right after the table's length.
    if (&g != &program.back()) {
      EXPECT_EQ((&g + 1)->Address, g.Address + info.Length);
    }
    uint32_t packed = 0;
    for (size_t i = 0; i < bytes.size(); ++i) packed |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    const std::string text = Disassemble(g.Address, packed);
    ASSERT_GT(text.size(), kDisasMnemonicColumn) << g.Text;
    EXPECT_EQ(text.substr(kDisasMnemonicColumn, info.Name.size()), info.Name) << g.Text << " -> " << text;
  }
  EXPECT_EQ(memory.size(), program.back().Address + Opcode(program.back().Op).Length - kStart);
}

// Disassembler text back into source: its numbers are hexadecimal without a
// suffix (005, 00103, #0C0); ours take an H.
std::string DisassemblyToSource(const std::string& text) {
  const std::string in = text.substr(kDisasMnemonicColumn);
  std::string out;
  for (size_t i = 0; i < in.size();) {
    const bool startsNumber = std::isdigit(static_cast<unsigned char>(in[i])) &&
                              (i == 0 || !std::isalnum(static_cast<unsigned char>(in[i - 1])));
    if (!startsNumber) {
      out += in[i++];
      continue;
    }
    while (i < in.size() && std::isxdigit(static_cast<unsigned char>(in[i]))) out += in[i++];
    out += 'H';
  }
  return out;
}

TEST(AllOpcodesTest, DisassembledTextAssemblesToTheSameBytes) {
  const auto program = AllOpcodeInstructions(kStart);
  uint32_t errors = 0;
  const auto memory = AssembleOurs(program, errors);
  std::string source;
  for (const GeneratedInstruction& g : program) {
    const auto bytes = BytesAt(memory, g.Address, Opcode(g.Op).Length);
    uint32_t packed = 0;
    for (size_t i = 0; i < bytes.size(); ++i) packed |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    source += "        CSEG AT " + HexNumber(g.Address) + "\n        " + DisassemblyToSource(Disassemble(g.Address, packed)) +
              "\n";
  }
  const std::filesystem::path dir = ScratchDir("round");
  WriteFile(dir / "back.a51", source + "        END\n");
  const AsmRun run = Assemble(dir / "back.a51", "NOOBJECT");
  ASSERT_FALSE(run.Result.Fatal) << run.Status;
  EXPECT_EQ(run.Result.ErrorCount, 0u) << ReadFile(dir / "back.lst");
  EXPECT_EQ(HexToMemory(ReadFile(dir / "back.hex")), memory);
}

TEST(As31CrossCheckTest, EveryInstructionFormGivesTheSameBytes) {
  if (std::system("command -v as31 > /dev/null 2>&1") != 0) GTEST_SKIP() << "as31 is not installed";
  const auto program = AllOpcodeInstructions(kStart);
  uint32_t errors = 0;
  const auto ours = AssembleOurs(program, errors);

  const std::filesystem::path dir = ScratchDir("as31");
  WriteFile(dir / "all.asm", As31Source(program));
  const std::string command = "cd '" + dir.string() + "' && as31 -l -Fhex all.asm > as31.out 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadFile(dir / "as31.out");
  const auto theirs = HexToMemory(ReadFile(dir / "all.hex"));

  ASSERT_EQ(ours.size(), theirs.size());
  for (const GeneratedInstruction& g : program) {
    const size_t length = Opcode(g.Op).Length;
    EXPECT_EQ(BytesAt(ours, g.Address, length), BytesAt(theirs, g.Address, length)) << g.Text;
  }
}

}  // namespace
}  // namespace dorvik::as
