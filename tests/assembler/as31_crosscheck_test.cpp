// Every instruction form, assembled by us and by the reference assembler
// as31 (when installed), must give the same bytes; each instruction also
// matches the shared opcode table and disassembles to its mnemonic.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "machine/disassembler.h"
#include "machine/opcodes.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

constexpr uint32_t kStart = 0x0100;

// One instruction of every defined opcode, with representative operands.
struct GeneratedInstruction {
  uint8_t Op = 0;
  uint32_t Address = 0;
  std::string Text;  // our syntax, upper case
};

std::string HexNumber(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0%XH", v);
  return buf;
}

std::string OperandText(OperandForm form, uint8_t op, uint32_t next, int index) {
  const uint8_t direct = static_cast<uint8_t>(0x20 + (op % 0x50) + index);
  const uint8_t bit = static_cast<uint8_t>((op * 3) & 0x7F);
  switch (form) {
    case OperandForm::A: return "A";
    case OperandForm::AB: return "AB";
    case OperandForm::C: return "C";
    case OperandForm::Dptr: return "DPTR";
    case OperandForm::Rn: return "R" + std::to_string(op & 7);
    case OperandForm::AtRi: return "@R" + std::to_string(op & 1);
    case OperandForm::AtDptr: return "@DPTR";
    case OperandForm::AtADptr: return "@A+DPTR";
    case OperandForm::AtAPc: return "@A+PC";
    case OperandForm::Direct: return HexNumber(direct);
    case OperandForm::Bit: return HexNumber(bit);
    case OperandForm::NotBit: return "/" + HexNumber(bit);
    case OperandForm::Immediate: return "#" + HexNumber(static_cast<uint8_t>(op ^ 0x5A));
    case OperandForm::Immediate16: return "#" + HexNumber(0x1234u + op);
    case OperandForm::Relative: return HexNumber(next + (op % 41) - 20);
    case OperandForm::Addr11: return HexNumber((next & 0xF800) | ((op >> 5) << 8) | ((op * 37u) & 0xFF));
    case OperandForm::Addr16: return HexNumber(0x2000u + op * 17u);
    default: return "";
  }
}

std::vector<GeneratedInstruction> AllOpcodeInstructions() {
  std::vector<GeneratedInstruction> program;
  uint32_t address = kStart;
  for (unsigned op = 0; op < 256; ++op) {
    const OpcodeInfo& info = Opcode(static_cast<uint8_t>(op));
    if (op == kBreakOpcode) continue;
    GeneratedInstruction g{static_cast<uint8_t>(op), address, std::string(info.Name)};
    const uint32_t next = address + info.Length;
    for (int i = 0; i < 3 && info.Operands[i] != OperandForm::None; ++i)
      g.Text += (i == 0 ? " " : ",") + OperandText(info.Operands[i], g.Op, next, i);
    program.push_back(g);
    address = next;
  }
  return program;
}

std::string LowerCase(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

std::map<uint32_t, uint8_t> AssembleOurs(const std::vector<GeneratedInstruction>& program) {
  std::string source = "        CSEG AT " + HexNumber(kStart) + "\n";
  for (const GeneratedInstruction& g : program) source += "        " + g.Text + "\n";
  const Assembly a = Assemble(source + "        END\n", "NOOBJECT");
  EXPECT_FALSE(a.Result.Fatal) << a.Status();
  EXPECT_EQ(a.Result.ErrorCount, 0u) << a.Output(".lst");
  return HexToMemory(a.Output(".hex"));
}

// The instruction's bytes, first byte lowest, as the disassembler takes them.
uint32_t Packed(const std::vector<uint8_t>& bytes) {
  uint32_t packed = 0;
  for (size_t i = 0; i < bytes.size(); ++i) packed |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return packed;
}

TEST(AllOpcodesTest, EveryInstructionMatchesTheOpcodeTable) {
  const auto program = AllOpcodeInstructions();
  ASSERT_EQ(program.size(), 255u);
  const auto memory = AssembleOurs(program);
  for (size_t i = 0; i < program.size(); ++i) {
    const GeneratedInstruction& g = program[i];
    const OpcodeInfo& info = Opcode(g.Op);
    const auto bytes = BytesAt(memory, g.Address, info.Length);
    ASSERT_EQ(bytes.size(), info.Length) << g.Text;
    EXPECT_EQ(bytes[0], g.Op) << g.Text;
    // The next instruction starts right after the table's length.
    if (i + 1 < program.size()) {
      EXPECT_EQ(program[i + 1].Address, g.Address + info.Length);
    }
    const std::string text = Disassemble(g.Address, Packed(bytes));
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
  const auto program = AllOpcodeInstructions();
  const auto memory = AssembleOurs(program);
  std::string source;
  for (const GeneratedInstruction& g : program) {
    const uint32_t packed = Packed(BytesAt(memory, g.Address, Opcode(g.Op).Length));
    source += "        CSEG AT " + HexNumber(g.Address) + "\n        " +
              DisassemblyToSource(Disassemble(g.Address, packed)) + "\n";
  }
  const Assembly a = Assemble(source + "        END\n", "NOOBJECT");
  ASSERT_FALSE(a.Result.Fatal) << a.Status();
  EXPECT_EQ(a.Result.ErrorCount, 0u) << a.Output(".lst");
  EXPECT_EQ(HexToMemory(a.Output(".hex")), memory);
}

TEST(As31CrossCheckTest, EveryInstructionFormGivesTheSameBytes) {
  if (std::system("command -v as31 > /dev/null 2>&1") != 0) GTEST_SKIP() << "as31 is not installed";
  const auto program = AllOpcodeInstructions();
  const auto ours = AssembleOurs(program);

  const fs::path dir = ScratchDir("as31");
  std::string source = "\t.org " + LowerCase(HexNumber(kStart)) + "\n";
  for (const GeneratedInstruction& g : program) source += "\t" + LowerCase(g.Text) + "\n";
  WriteFile(dir / "all.asm", source + "\t.end\n");
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
