#pragma once
// Disassembly line items: one per code address, holding the decoded instruction that the simulator executes
// and the symbolic text that the disassembly window shows. A line is decoded once and kept until the code
// memory under it changes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

// One code line. `BytesNo` 0 means the line is not decoded yet.
struct tDisasLine {
  // Source and display columns
  std::string SourceLineNo;  // ":" module "#" line, when a line symbol lies at the address
  std::string LabelStr;      // label name and ":", when a label lies at the address
  std::string CodeBytes;     // the instruction's bytes, two hex digits each
  std::string Instruction;   // mnemonic and operands, symbolic where symbols are on
  std::string Comment;       // ";" and the numbers behind the symbolic operands
  std::string SourceLine;    // the rendered text: the fields joined (see linerender.h)
  std::string DisasText;  // the disassembler's fixed-column text the line was decoded from

  // Code
  uint16_t Addr = 0;
  uint8_t BytesNo = 0;
  uint8_t OpCode = 0;

  // The decoded instruction: plain data, read by the simulator on every step
  uint8_t Mnemonic = 0;  // token 208..251, or 138 for a DB line
  // The operands at indexes 0..2, in the order they are written.
  std::array<uint8_t, 3> Operand{};  // 133 number, 136 C, 137 A, 88 AB, 89 DPTR, 90 PC, 80+n Rn
  std::array<uint16_t, 3> Value{};
  std::array<bool, 3> HasOp{};
  // The first: '@' or 0; the second: '#', '@', '/' or 0; the third: always 0.
  std::array<char, 3> Prefix{};

  // How the rendering showed the operands: 0 number, 1 symbol, 2 line reference
  uint8_t TargetShownAsSymbol = 0;
  bool ImmediateShownAsSymbol = false;
  bool Operand1ShownAsSymbol = false;

  static constexpr std::string_view DisplayName() { return "DisasLine"; }
  bool IsDecoded() const { return BytesNo != 0; }
  // Copies the source columns, the rendered fields and text, the length and the address (not the decoded
  // instruction and not the comment).
  void Assign(const tDisasLine& source);
  // Forgets the decoded line so that it is built again.
  void Invalidate() { BytesNo = 0; }
};

// One line item per code address 0..0FFFFH.
class tDisasCollection {
 public:
  static constexpr uint32_t kCount = 0x10000;

  tDisasLine& GetItem(uint16_t address) {
    if (items_.empty()) [[unlikely]]
      Allocate();
    return items_[address];
  }
  uint32_t Count() const { return kCount; }

  // Code memory at `address` changed: forgets every decoded line that covers it (the line at the address
  // and those of the two addresses before it whose length reaches it).
  void InvalidateLines(uint16_t address);
  // Forgets every decoded line (after a load).
  void InvalidateAll();

 private:
  // The lines exist from the first use on: a session reset then costs nothing
  // until the disassembly is wanted again.
  void Allocate();
  std::vector<tDisasLine> items_;
};

// The program's one line collection.
tDisasCollection& DisasLines();


}  // namespace dorvik
