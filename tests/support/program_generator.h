#pragma once
// Random but structured 8051 test programs for the differential test.
//
// A program stays inside the code it generates: jumps go forward over a few
// instructions or back through bounded loops, calls return, stack traffic is
// balanced, and every write through a computed address (@Ri, @DPTR, MOVX @Ri)
// is preceded by setting that address to a safe place, so no random write can
// reach the stack, the loop counters or the return addresses.
//
// Memory plan (internal RAM): 00H-6FH random data (banks, bit area, scratch);
// 70H-77H loop counters; 78H-7FH interrupt counters; 80H-BFH data reached by
// @Ri; C0H-FFH stack. External data is written in the pages listed in
// kXDataPages only. Code: 0000H reset and interrupt vectors, 0030H-01FFH and
// 0500H-07FFH subroutines and jump pads (pages 0, 1, 5, 6 and 7), 0200H-04FFH
// the main program (pages 2 to 4).

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "machine/opcodes.h"

namespace dorvik::testsupport {

enum class ProgramFamily : uint8_t {
  Plain,       // every opcode, timers 0 and 1 in modes 0-2, no interrupts
  Interrupts,  // interrupts raised by software through the TCON flags; timers stopped
};

inline constexpr std::array<uint8_t, 3> kXDataPages = {0x00, 0x01, 0xFF};

struct GeneratedProgram {
  uint32_t Seed = 0;
  ProgramFamily Family = ProgramFamily::Plain;
  std::vector<uint8_t> Code = std::vector<uint8_t>(0x10000, 0);
  std::vector<bool> Used = std::vector<bool>(0x10000, false);
  std::vector<uint16_t> InstructionStarts;  // for printing the program
  bool Faulty = false;                       // a generator fault: overlapping pieces or a jump out of range
};

namespace detail {

// SFRs a random instruction may read / write. Timer, interrupt, serial and
// stack registers are driven only by the dedicated sequences below.
inline constexpr std::array<uint8_t, 9> kReadSfrs = {0x80, 0x81, 0x82, 0x83, 0x90, 0xA0, 0xD0, 0xE0, 0xF0};
inline constexpr std::array<uint8_t, 8> kWriteSfrs = {0x80, 0x82, 0x83, 0x90, 0xA0, 0xD0, 0xE0, 0xF0};
inline constexpr std::array<uint8_t, 4> kBitSfrs = {0x90, 0xD0, 0xE0, 0xF0};

inline constexpr uint8_t kLoopCounters = 0x70;
inline constexpr uint16_t kMaxStraight = 11;  // bytes of one Straight(): pointer, page, instruction, parity fix
inline constexpr uint8_t kIrqCounters = 0x78;
inline constexpr uint16_t kMainStart = 0x0200;
inline constexpr uint16_t kMainEnd = 0x0470;  // room for the largest block before 0500H
// Far areas: (start, end) for subroutines and pads in pages 0, 1, 5, 6, 7.
inline constexpr std::array<std::pair<uint16_t, uint16_t>, 5> kFarAreas = {
    {{0x0030, 0x0100}, {0x0100, 0x0200}, {0x0500, 0x0600}, {0x0600, 0x0700}, {0x0700, 0x0800}}};

// Interrupt sources raised by software: TCON bit address of the flag.
inline constexpr std::array<uint8_t, 4> kIrqFlagBits = {0x89, 0x8D, 0x8B, 0x8F};  // IE0, TF0, IE1, TF1

class Generator {
 public:
  Generator(uint32_t seed, ProgramFamily family) : rng_(seed) {
    prog_.Seed = seed;
    prog_.Family = family;
    for (size_t i = 0; i < kFarAreas.size(); ++i) far_[i] = kFarAreas[i].first;
  }

  GeneratedProgram Build(int instructions) {
    const bool irq = prog_.Family == ProgramFamily::Interrupts;
    pc_ = 0;
    Insn({0x02, kMainStart >> 8, kMainStart & 0xFF});
    if (irq) {
      for (int source = 0; source < 4; ++source) {
        uint16_t handler = MakeHandler(source);
        pc_ = static_cast<uint16_t>(3 + 8 * source);
        Insn({0x02, static_cast<uint8_t>(handler >> 8), static_cast<uint8_t>(handler)});
      }
    }
    pc_ = kMainStart;
    Insn({0x75, 0x81, static_cast<uint8_t>(0xBF + Below(8))});  // MOV SP,#
    if (irq) {
      Insn({0x75, 0x88, 0x05});                                      // MOV TCON,#05H: both inputs edge-triggered
      Insn({0x75, 0xB8, Priorities()});                                 // MOV IP,#
      Insn({0x75, 0xA8, static_cast<uint8_t>(0x80 | Below(16))});    // MOV IE,#
    }
    while (count_ < instructions && pc_ < kMainEnd) Block(irq);
    Insn({0x80, 0xFE});  // SJMP $
    return std::move(prog_);
  }

 private:
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  uint8_t Byte() { return static_cast<uint8_t>(rng_()); }
  // An immediate operand: often a value at the edge of a flag rule (nibble
  // and sign boundaries, BCD limits) rather than any byte.
  uint8_t Immediate() {
    static constexpr std::array<uint8_t, 12> kEdges = {0x00, 0x01, 0x09, 0x0F, 0x10, 0x7F,
                                                       0x80, 0x81, 0x99, 0x9A, 0xF0, 0xFF};
    return Chance(35) ? kEdges[Below(kEdges.size())] : Byte();
  }

  // Emitting
  void Insn(std::initializer_list<uint8_t> bytes) { Insn(std::vector<uint8_t>(bytes)); }
  void Insn(const std::vector<uint8_t>& bytes) {
    prog_.InstructionStarts.push_back(pc_);
    for (uint8_t b : bytes) {
      if (prog_.Used[pc_]) prog_.Faulty = true;
      prog_.Code[pc_] = b;
      prog_.Used[pc_] = true;
      ++pc_;
    }
    ++count_;
  }
  void Patch(uint16_t at, uint8_t value) { prog_.Code[at] = value; }
  uint8_t Rel(uint16_t from_next, uint16_t target) {
    const int d = int(target) - int(from_next);
    if (d < -128 || d > 127) prog_.Faulty = true;
    return static_cast<uint8_t>(d);
  }

  // Operands
  uint8_t ReadDirect() { return Chance(75) ? static_cast<uint8_t>(Below(0x80)) : kReadSfrs[Below(kReadSfrs.size())]; }
  uint8_t WriteDirect() { return Chance(75) ? static_cast<uint8_t>(Below(0x70)) : kWriteSfrs[Below(kWriteSfrs.size())]; }
  uint8_t RamDirect() { return static_cast<uint8_t>(Below(0x70)); }
  uint8_t AnyBit() {
    return Chance(60) ? static_cast<uint8_t>(Below(0x80)) : static_cast<uint8_t>(kBitSfrs[Below(4)] + Below(8));
  }
  uint8_t RamBit() { return Chance(80) ? static_cast<uint8_t>(Below(0x80)) : static_cast<uint8_t>(0xF0 + Below(8)); }
  uint8_t SafePointer() { return Chance(60) ? static_cast<uint8_t>(Below(0x70)) : static_cast<uint8_t>(0x80 + Below(0x40)); }
  static bool NeedsParityFix(uint8_t direct) { return direct == 0xD0 || direct == 0xE0; }
  static bool BitNeedsParityFix(uint8_t bit) { return (bit & 0xF8) == 0xD0 || (bit & 0xF8) == 0xE0; }

  // One random instruction that does not change the flow of control.
  void Straight() {
    uint8_t op = Byte();
    while (Opcode(op).Flow != FlowKind::None || op == kBreakOpcode || op == 0xC0 || op == 0xD0) op = Byte();
    EmitStraight(op, Opcode(op));
  }

  void EmitStraight(uint8_t op, const OpcodeInfo& info) {
    std::vector<uint8_t> bytes(info.Length, 0);
    bytes[0] = op;
    bool fix = false;
    bool bank_fix = false;
    for (int i = 0; i < 3; ++i) {
      uint8_t& field = bytes[info.Field[i]];
      const bool dest = (i == 0) || op == 0xC5;  // XCH A,direct writes its second operand
      switch (info.Operands[i]) {
        case OperandForm::Direct:
          field = dest ? WriteDirect() : ReadDirect();
          fix |= dest && NeedsParityFix(field);
          break;
        case OperandForm::Bit:
          field = AnyBit();
          fix |= dest && BitNeedsParityFix(field);
          bank_fix |= dest && (field & 0xF8) == 0xD0;
          break;
        case OperandForm::NotBit: field = AnyBit(); break;
        case OperandForm::Immediate: field = Immediate(); break;
        case OperandForm::Immediate16:
          bytes[1] = Byte();
          bytes[2] = Byte();
          break;
        case OperandForm::AtRi:
          // Every @Ri access gets its pointer set first; reads could go
          // anywhere, but writes must not reach the stack or the counters.
          Insn({static_cast<uint8_t>(0x78 | (op & 1)), SafePointer()});
          break;
        case OperandForm::AtDptr:
          if (op == 0xF0 || Chance(50)) {
            uint16_t x = static_cast<uint16_t>(kXDataPages[Below(kXDataPages.size())] << 8 | Byte());
            Insn({0x90, static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x)});
          }
          break;
        default:
          break;
      }
    }
    // MOVC A,@A+DPTR: the DPTR below FF00H, so that DPTR + A never passes
    // FFFFH (s51 does not wrap there, the chip does); mostly into the program.
    if (op == 0x93) {
      const uint16_t base = static_cast<uint16_t>(Chance(60) ? Below(0x0800) : Below(0xFF00));
      Insn({0x90, static_cast<uint8_t>(base >> 8), static_cast<uint8_t>(base)});
    }
    // MOVX @Ri writes through P2 as the page.
    if (op == 0xF2 || op == 0xF3 || ((op == 0xE2 || op == 0xE3) && Chance(50))) {
      Insn({0x75, 0xA0, kXDataPages[Below(kXDataPages.size())]});
    }
    // The ACC writes above count when they change ACC; XCH A,@Ri etc. are covered by the A operand.
    if (op == 0xC5 && bytes[1] == 0xD0) fix = true;
    Insn(bytes);
    // s51 switches the register bank only on byte writes of PSW, so a bit
    // write of PSW (RS0/RS1 perhaps) is followed by ORL PSW,#0.
    if (bank_fix) Insn({0x43, 0xD0, 0x00});
    if (fix) ParityFix();
  }

  // An ACC write that leaves ACC as it is: s51 computes PSW.P only when ACC
  // is written, so after a direct write of PSW or ACC this puts it right.
  void ParityFix() { Insn({0x54, 0xFF}); }  // ANL A,#0FFH

  void StraightRun(int n) {
    for (int i = 0; i < n; ++i) Straight();
  }

  // Blocks of the main program
  void Block(bool irq) {
    uint32_t kind = Below(100);
    if (kind < 45) return Straight();
    if (kind < 63) return ForwardBranch();
    if (kind < 68) return Loop();
    if (kind < 75) return Call();
    if (kind < 79) return FarJump();
    if (kind < 83) return PushPop();
    if (kind < 86) return JumpTable();
    if (kind < 88) return ForwardJump();
    if (irq) return InterruptAction();
    return TimerRun();
  }

  // A conditional jump forward over 0-3 instructions.
  void ForwardBranch() {
    uint8_t op;
    std::vector<uint8_t> bytes;
    switch (Below(10)) {
      case 0: bytes = {0x10, RamBit(), 0}; break;                                   // JBC bit,rel
      case 1: bytes = {0x20, AnyBit(), 0}; break;                                   // JB
      case 2: bytes = {0x30, AnyBit(), 0}; break;                                   // JNB
      case 3: bytes = {static_cast<uint8_t>(0x40 + 0x10 * Below(4)), 0}; break;     // JC JNC JZ JNZ
      case 4: bytes = {0xB4, Byte(), 0}; break;                                     // CJNE A,#
      case 5: bytes = {0xB5, ReadDirect(), 0}; break;                               // CJNE A,dir
      case 6:
        op = static_cast<uint8_t>(0xB6 | Below(2));
        Insn({static_cast<uint8_t>(0x78 | (op & 1)), SafePointer()});
        bytes = {op, Byte(), 0};  // CJNE @Ri,#
        break;
      case 7: bytes = {static_cast<uint8_t>(0xB8 + Below(8)), Byte(), 0}; break;   // CJNE Rn,#
      case 8: bytes = {static_cast<uint8_t>(0xD8 + Below(8)), 0}; break;           // DJNZ Rn
      default: bytes = {0xD5, RamDirect(), 0}; break;                              // DJNZ dir
    }
    Insn(bytes);
    const uint16_t rel_at = static_cast<uint16_t>(pc_ - 1);
    StraightRun(static_cast<int>(Below(4)));
    Patch(rel_at, Rel(static_cast<uint16_t>(rel_at + 1), pc_));
  }

  // SJMP or LJMP forward over 0-2 instructions.
  void ForwardJump() {
    const bool longjump = Chance(50);
    Insn(longjump ? std::vector<uint8_t>{0x02, 0, 0} : std::vector<uint8_t>{0x80, 0});
    const uint16_t at = static_cast<uint16_t>(pc_ - (longjump ? 2 : 1));
    StraightRun(static_cast<int>(Below(3)));
    if (longjump) {
      Patch(at, static_cast<uint8_t>(pc_ >> 8));
      Patch(static_cast<uint16_t>(at + 1), static_cast<uint8_t>(pc_));
    } else {
      Patch(at, Rel(static_cast<uint16_t>(at + 1), pc_));
    }
  }

  // MOV counter,#n; body; DJNZ counter,body (counters are never written by random code).
  void Loop() {
    if (loop_depth_ >= 8) return Straight();
    const uint8_t counter = static_cast<uint8_t>(kLoopCounters + loop_depth_);
    ++loop_depth_;
    Insn({0x75, counter, static_cast<uint8_t>(1 + Below(3))});
    const uint16_t top = pc_;
    StraightRun(1 + static_cast<int>(Below(4)));
    Insn({0xD5, counter, 0});
    Patch(static_cast<uint16_t>(pc_ - 1), Rel(pc_, top));
    --loop_depth_;
  }

  // Room in a far area for a piece of `size` bytes; 0 when full.
  uint16_t FarSpace(uint16_t size) {
    for (int tries = 0; tries < 8; ++tries) {
      size_t area = Below(far_.size());
      if (far_[area] + size <= kFarAreas[area].second) {
        uint16_t at = far_[area];
        far_[area] = static_cast<uint16_t>(at + size);
        return at;
      }
    }
    return 0;
  }

  // A subroutine in a far area, or inline (skipped by SJMP) when the areas are full.
  uint16_t MakeSubroutine() {
    const int body = 1 + static_cast<int>(Below(4));
    const uint16_t save = pc_;
    const uint16_t at = Chance(60) ? FarSpace(static_cast<uint16_t>(body * kMaxStraight + 1)) : 0;
    if (at != 0) {
      pc_ = at;
      StraightRun(body);
      Insn({static_cast<uint8_t>(Chance(85) ? 0x22 : 0x32)});  // RET, sometimes RETI
      pc_ = save;
      return at;
    }
    Insn({0x80, 0});
    const uint16_t skip = static_cast<uint16_t>(pc_ - 1);
    const uint16_t sub = pc_;
    StraightRun(body);
    Insn({0x22});
    Patch(skip, Rel(static_cast<uint16_t>(skip + 1), pc_));
    return sub;
  }

  void Call() {
    uint16_t sub;
    if (!subs_.empty() && Chance(40)) {
      sub = subs_[Below(subs_.size())];
    } else {
      sub = MakeSubroutine();
      subs_.push_back(sub);
    }
    const uint8_t lo = static_cast<uint8_t>(sub);
    if (Chance(50)) return Insn({static_cast<uint8_t>(0x11 | ((sub >> 3) & 0xE0)), lo});  // ACALL
    Insn({0x12, static_cast<uint8_t>(sub >> 8), lo});                                      // LCALL
  }

  // AJMP to a pad in a far page that jumps back (AJMP or LJMP) to the next instruction.
  void FarJump() {
    const uint16_t pad = FarSpace(3);
    if (pad == 0) return Straight();
    Insn({static_cast<uint8_t>(0x01 | ((pad >> 3) & 0xE0)), static_cast<uint8_t>(pad)});
    const uint16_t back = pc_;
    pc_ = pad;
    if (Chance(50)) {
      Insn({static_cast<uint8_t>(0x01 | ((back >> 3) & 0xE0)), static_cast<uint8_t>(back)});
    } else {
      Insn({0x02, static_cast<uint8_t>(back >> 8), static_cast<uint8_t>(back)});
    }
    pc_ = back;
  }

  // PUSH a byte, run a little, POP into a random place.
  void PushPop() {
    uint8_t source = ReadDirect();
    if (source == 0x81) source = 0xF0;  // not PUSH SP: which SP it stores is a modelling choice
    Insn({0xC0, source});
    StraightRun(static_cast<int>(Below(3)));
    uint8_t dest = WriteDirect();
    Insn({0xD0, dest});
    if (NeedsParityFix(dest)) ParityFix();
  }

  // MOV DPTR,#table; MOV A,#2k; JMP @A+DPTR; table of SJMP/AJMP to the join point.
  void JumpTable() {
    const int entries = 2 + static_cast<int>(Below(3));
    const int pick = static_cast<int>(Below(entries));
    Insn({0x90, 0, 0});
    const uint16_t dptr_at = static_cast<uint16_t>(pc_ - 2);
    Insn({0x74, static_cast<uint8_t>(2 * pick)});
    Insn({0x73});
    const uint16_t table = pc_;
    Patch(dptr_at, static_cast<uint8_t>(table >> 8));
    Patch(static_cast<uint16_t>(dptr_at + 1), static_cast<uint8_t>(table));
    std::vector<uint16_t> slots;
    for (int i = 0; i < entries; ++i) {
      slots.push_back(pc_);
      Insn({0x80, 0});
    }
    const uint16_t join = pc_;
    for (uint16_t s : slots) {
      if (Chance(30)) {
        Patch(s, static_cast<uint8_t>(0x01 | ((join >> 3) & 0xE0)));
        Patch(static_cast<uint16_t>(s + 1), static_cast<uint8_t>(join));
      } else {
        Patch(static_cast<uint16_t>(s + 1), Rel(static_cast<uint16_t>(s + 2), join));
      }
    }
  }

  // Timers 0 and 1 in modes 0-2, started and stopped
  // by SETB/CLR TRx around a few instructions, then their counts are read.
  void TimerRun() {
    const uint8_t mode0 = static_cast<uint8_t>(Below(3));
    const uint8_t mode1 = static_cast<uint8_t>(Below(3));
    // Now and then GATE (P3.2/P3.3 stay high, so it counts) or C/T (no pulses
    // arrive on T0/T1, so it holds).
    auto control = [this](uint8_t mode) {
      return static_cast<uint8_t>(mode | (Chance(25) ? 0x08 : 0) | (Chance(15) ? 0x04 : 0));
    };
    Insn({0x75, 0x89, static_cast<uint8_t>(control(mode1) << 4 | control(mode0))});  // MOV TMOD,#
    // In mode 0 the upper three bits of TLx are left 0: what a count does to
    // them is a modelling choice on which the two simulators differ.
    Insn({0x75, 0x8A, static_cast<uint8_t>(Byte() & (mode0 == 0 ? 0x1F : 0xFF))});  // TL0
    Insn({0x75, 0x8C, Byte()});                                                      // TH0
    Insn({0x75, 0x8B, static_cast<uint8_t>(Byte() & (mode1 == 0 ? 0x1F : 0xFF))});  // TL1
    Insn({0x75, 0x8D, Byte()});                                                      // TH1
    const bool t0 = Chance(70);
    const bool t1 = !t0 || Chance(50);
    if (t0) Insn({0xD2, 0x8C});  // SETB TR0
    if (t1) Insn({0xD2, 0x8E});  // SETB TR1
    StraightRun(2 + static_cast<int>(Below(7)));
    if (t0) Insn({0xC2, 0x8C});  // CLR TR0
    if (t1) Insn({0xC2, 0x8E});  // CLR TR1
    Insn({0x85, 0x8A, RamDirect()});  // MOV dir,TL0
    Insn({0x85, 0x8D, RamDirect()});  // MOV dir,TH1
    Insn({0x85, 0x88, RamDirect()});  // MOV dir,TCON
  }

  // Interrupts: raise a source, clear one, change the enables or priorities.
  void InterruptAction() {
    const uint32_t what = Below(5);  // SETB or CLR a flag, or new enables and priorities
    if (what < 4) return Insn({static_cast<uint8_t>(what < 3 ? 0xD2 : 0xC2), kIrqFlagBits[Below(4)]});
    // New enables and priorities, written while nothing is pending: after a
    // write of IE or IP the chip runs one more instruction before it accepts
    // an interrupt, s51 does not.
    Insn({0xC2, 0xAF});                                   // CLR EA
    Insn({0x75, 0xB8, Priorities()});                     // MOV IP,#
    Insn({0x75, 0xA8, static_cast<uint8_t>(Below(16))});  // MOV IE,# (EA clear)
    for (uint8_t flag : kIrqFlagBits) Insn({0xC2, flag});  // CLR flag
    if (Chance(85)) Insn({0xD2, 0xAF});                   // SETB EA
  }

  // IP values under which a lower source number never has the lower
  // priority: with two requests of different priority pending, the chip (and
  // our simulator) accepts the high one, s51 the lower-numbered one first.
  uint8_t Priorities() { return static_cast<uint8_t>((1u << Below(5)) - 1); }

  // Handler of a source: count, sometimes raise another source (nesting), RETI.
  uint16_t MakeHandler(int source) {
    const uint16_t at = FarSpace(12);
    if (at == 0) prog_.Faulty = true;
    const uint16_t save = pc_;
    pc_ = at;
    Insn({0x05, static_cast<uint8_t>(kIrqCounters + source)});  // INC counter
    if (Chance(50)) Insn({0xD2, kIrqFlagBits[Below(4)]});
    if (Chance(30)) Insn({0x05, static_cast<uint8_t>(kIrqCounters + 4 + Below(4))});
    Insn({0x32});  // RETI
    pc_ = save;
    return at;
  }

  std::mt19937 rng_;
  GeneratedProgram prog_;
  uint16_t pc_ = 0;
  int count_ = 0;
  int loop_depth_ = 0;
  std::array<uint16_t, kFarAreas.size()> far_{};
  std::vector<uint16_t> subs_;
};

}  // namespace detail

inline GeneratedProgram GenerateProgram(uint32_t seed, ProgramFamily family, int instructions = 300) {
  return detail::Generator(seed, family).Build(instructions);
}

}  // namespace dorvik::testsupport
