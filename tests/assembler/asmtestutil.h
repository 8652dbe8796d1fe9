#pragma once
// Helpers of the assembler's end-to-end tests: files in a scratch folder, a
// run of the assembler as diz52 does it, Intel HEX read back into memory.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"
#include "assembler/driver.h"

namespace dorvik::as::testutil {

inline std::filesystem::path ScratchDir(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string leaf = std::string(info ? info->test_suite_name() : "suite") + "_" + (info ? info->name() : "test") + "_" + name;
  for (char& ch : leaf)
    if (ch == '.' || ch == ' ' || ch == '/') ch = '_';
  // Short names: a control's file name parameter is limited to 82 characters.
  // The build folder is part of the key, so that test runs of several build
  // folders at the same time do not share scratch folders.
  char tag[24];
  std::snprintf(tag, sizeof tag, "%016zx", std::hash<std::string>{}(std::string(DORVIK_BIN_DIR) + "|" + leaf));
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "dasm" / tag;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Intel HEX text into an address -> byte map; every record's checksum and the
// end record are checked.
inline std::map<uint32_t, uint8_t> HexToMemory(const std::string& text, bool* endSeen = nullptr) {
  std::map<uint32_t, uint8_t> memory;
  if (endSeen) *endSeen = false;
  for (const std::string& line : SplitLines(text)) {
    if (line.empty()) continue;
    EXPECT_EQ(line[0], ':') << line;
    if (line.size() < 11 || line[0] != ':') continue;
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i + 1 < line.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    EXPECT_EQ(sum, 0) << "checksum of " << line;
    const size_t count = bytes[0];
    EXPECT_EQ(bytes.size(), count + 5) << line;
    if (bytes.size() != count + 5) continue;
    const uint32_t address = (bytes[1] << 8) | bytes[2];
    if (bytes[3] == 1) {
      if (endSeen) *endSeen = true;
      continue;
    }
    for (size_t i = 0; i < count; ++i) memory[address + i] = bytes[4 + i];
  }
  return memory;
}

struct AsmRun {
  AsmRunResult Result;
  std::string Status;
};

// Assembles SOURCE_PATH with the invocation CONTROLS, as diz52 does.
inline AsmRun Assemble(const std::filesystem::path& sourcePath, const std::string& controls) {
  ResetAsm();
  AsmContext& c = Asm();
  std::ostringstream console;
  c.ConsoleOut = &console;
  AsmRun run;
  run.Result = AssembleFileWithControls(c, sourcePath.string(), controls);
  run.Status = c.StatusText;
  return run;
}

// Bytes of a source (an "END" line is added), read back from its HEX file,
// with the errors of its error print.
struct Assembled {
  std::map<uint32_t, uint8_t> Memory;
  uint32_t Errors = 0;
  std::vector<std::string> ErrorLines;
  bool Fatal = false;
};

inline Assembled AssembleSource(const std::string& body, const std::string& extraControls = "") {
  const std::filesystem::path dir = ScratchDir("src");
  WriteFile(dir / "t.a51", body + "\n END\n");
  const AsmRun run = Assemble(dir / "t.a51", "NOPRINT NOOBJECT ERRORPRINT(" + (dir / "t.err").string() + ") " + extraControls);
  Assembled a;
  a.Fatal = run.Result.Fatal;
  a.Errors = run.Result.ErrorCount;
  a.Memory = HexToMemory(ReadFile(dir / "t.hex"));
  for (const std::string& l : SplitLines(ReadFile(dir / "t.err")))
    if (l.rfind("*** ERROR #", 0) == 0) a.ErrorLines.push_back(l);
  return a;
}

// Error numbers of the error lines ("*** ERROR #115, ...").
inline std::vector<int> ErrorNumbers(const Assembled& a) {
  std::vector<int> numbers;
  for (const std::string& l : a.ErrorLines) numbers.push_back(std::stoi(l.substr(11)));
  return numbers;
}

inline std::vector<uint8_t> BytesAt(const std::map<uint32_t, uint8_t>& memory, uint32_t address, size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    auto it = memory.find(address + static_cast<uint32_t>(i));
    if (it == memory.end()) break;
    bytes.push_back(it->second);
  }
  return bytes;
}

}  // namespace dorvik::as::testutil

#include <cctype>

#include "core/opcodes.h"

namespace dorvik::as::testutil {

// One instruction of every defined opcode, with representative operands.
struct GeneratedInstruction {
  uint8_t Op = 0;
  uint32_t Address = 0;
  std::string Text;  // our syntax, upper case
};

inline std::string HexNumber(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0%XH", v);
  return buf;
}

inline std::string OperandText(OperandForm form, uint8_t op, uint32_t next, int index) {
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

inline std::vector<GeneratedInstruction> AllOpcodeInstructions(uint32_t start) {
  std::vector<GeneratedInstruction> program;
  uint32_t address = start;
  for (unsigned op = 0; op < 256; ++op) {
    const OpcodeInfo& info = Opcode(static_cast<uint8_t>(op));
    if (op == kBreakOpcode) continue;
    GeneratedInstruction g;
    g.Op = static_cast<uint8_t>(op);
    g.Address = address;
    g.Text = std::string(info.Name);
    const uint32_t next = address + info.Length;
    for (int i = 0; i < 3 && info.Operands[i] != OperandForm::None; ++i) {
      g.Text += i == 0 ? " " : ",";
      g.Text += OperandText(info.Operands[i], g.Op, next, i);
    }
    program.push_back(g);
    address = next;
  }
  return program;
}

inline std::string LowerCase(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

}  // namespace dorvik::as::testutil
