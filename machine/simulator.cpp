#include "machine/simulator.h"
#include "base/session.h"

#include <algorithm>
#include <array>

#include "machine/alu.h"
#include "lang/evaluator.h"
#include "machine/interrupts.h"
#include "lang/keywords.h"
#include "base/messages.h"
#include "machine/opcodes.h"
#include "base/runstate.h"
#include "machine/bus.h"
#include "machine/images.h"

namespace dorvik {

namespace {

// One decoded code line, plain data: filled once per address from the code
// image and the opcode table, dropped when code memory under it changes.
struct Decoded {
  uint8_t Length = 0;  // 0: not decoded
  uint8_t Opcode = 0;
  uint8_t B1 = 0;      // operand bytes
  uint8_t B2 = 0;
  uint16_t Target = 0;  // jump or call target, or the 16-bit immediate
  uint8_t Cycles = 0;
};

// The decoded line of every code address.
struct DecodedLines {
  std::array<Decoded, 0x10000> Lines{};
};

// The session states the step touches, resolved once: session states never move.
SimState* const g_sim = &Simulator();
std::array<Decoded, 0x10000>& g_decoded = CurrentSession().Get<DecodedLines>().Lines;
MemoryImages* const g_images = &Images();
InterruptState* const g_irq = &Interrupts();
RunState* const g_run = &Run();

// Side effects of SFR writes that the step must notice.
constexpr uint8_t kEffectPort = 1;  // P0-P3 changed
constexpr uint8_t kEffectHold = 2;  // IE or IP written: one more instruction before an interrupt
constexpr std::array<uint8_t, 256> kSfrEffects = [] {
  std::array<uint8_t, 256> e{};
  e[sfr::P0] = e[sfr::P1] = e[sfr::P2] = e[sfr::P3] = kEffectPort;
  e[sfr::IE] = e[sfr::IP] = kEffectHold;
  return e;
}();

constexpr std::array<uint8_t, 256> kParity = [] {
  std::array<uint8_t, 256> p{};
  for (unsigned i = 0; i < 256; ++i) p[i] = alu::Parity(static_cast<uint8_t>(i));
  return p;
}();

Decoded DecodeBytes(uint16_t pc, uint8_t op, uint8_t b1, uint8_t b2) {
  const OpcodeInfo& info = Opcode(op);
  Decoded d;
  d.Opcode = op;
  d.Length = info.Length;
  d.Cycles = info.Cycles;
  d.B1 = info.Length >= 2 ? b1 : 0;
  d.B2 = info.Length >= 3 ? b2 : 0;
  const uint16_t next = static_cast<uint16_t>(pc + info.Length);
  for (size_t k = 0; k < info.Operands.size(); ++k) {
    const uint8_t field = info.Field[k] == 2 ? d.B2 : d.B1;
    switch (info.Operands[k]) {
      case OperandForm::Relative:
        d.Target = static_cast<uint16_t>(next + static_cast<int8_t>(field));
        break;
      case OperandForm::Addr11:
        d.Target = static_cast<uint16_t>((next & 0xF800) | ((op & 0xE0) << 3) | d.B1);
        break;
      case OperandForm::Addr16:
      case OperandForm::Immediate16:
        d.Target = static_cast<uint16_t>(d.B1 << 8 | d.B2);
        break;
      default:
        break;
    }
  }
  return d;
}

const PlantedBreak* FindPlanted(uint16_t address) {
  for (const PlantedBreak& p : g_sim->Planted)
    if (p.Address == address) return &p;
  return nullptr;
}

// A code byte as the program reads it with MOVC or as an operand: a planted
// break stands in for the program's own byte only for the opcode fetch.
uint8_t ProgramByte(const uint8_t* code, uint16_t address) {
  const uint8_t b = code[address];
  if (b != kBreakOpcode) [[likely]]
    return b;
  const PlantedBreak* planted = FindPlanted(address);
  return planted ? planted->Original : b;
}

// The line at Pc; operand bytes past 0FFFFH come from 0000H on, as the PC
// wraps. A break planted inside the instruction does not change its operands.
[[gnu::noinline, gnu::cold]] void FillDecoded(Decoded* lines, const uint8_t* code, uint16_t pc) {
  lines[pc] = DecodeBytes(pc, code[pc], ProgramByte(code, static_cast<uint16_t>(pc + 1)),
                          ProgramByte(code, static_cast<uint16_t>(pc + 2)));
}

const Decoded& DecodedAt(Decoded* lines, const uint8_t* code, uint16_t pc) {
  if (lines[pc].Length == 0) [[unlikely]]
    FillDecoded(lines, code, pc);
  return lines[pc];
}

// Register access helpers over the images. kRecord: the step's byte reads go
// to the value list.
template <bool kRecord>
struct Cpu {
  uint8_t* iram;
  uint8_t* sfrs;
  uint8_t effects = 0;
  uint8_t p3Falls = 0;  // P3 pins the instruction drove from 1 to 0

  uint8_t& Acc() { return sfrs[sfr::ACC]; }
  uint8_t& Psw() { return sfrs[sfr::PSW]; }
  uint8_t Carry() { return sfrs[sfr::PSW] >> 7; }
  void SetCarry(bool c) { Psw() = static_cast<uint8_t>((Psw() & 0x7F) | (c ? 0x80 : 0)); }
  uint8_t& Reg(uint8_t n) { return iram[(sfrs[sfr::PSW] & 0x18) + n]; }
  uint8_t& AtRi(uint8_t op) { return iram[Reg(op & 1)]; }
  uint8_t ReadAtRi(uint8_t op) {
    const uint8_t v = AtRi(op);
    if constexpr (kRecord) AppendValue(tok::kBYTE, v);
    return v;
  }

  uint8_t Read(uint8_t a) {
    const uint8_t v = a < 0x80 ? iram[a] : sfrs[a];
    if constexpr (kRecord) AppendValue(tok::kBYTE, v);
    return v;
  }
  void Write(uint8_t a, uint8_t v) {
    if (a < 0x80) {
      iram[a] = v;
      return;
    }
    if (kSfrEffects[a]) [[unlikely]] {
      if (sfrs[a] != v || kSfrEffects[a] == kEffectHold) effects |= kSfrEffects[a];
      if (a == sfr::P3) p3Falls |= static_cast<uint8_t>(sfrs[a] & ~v);
    }
    sfrs[a] = v;
  }

  uint8_t& BitByte(uint8_t b) { return b < 0x80 ? iram[0x20 + (b >> 3)] : sfrs[b & 0xF8]; }
  uint8_t ReadBit(uint8_t b) {
    const uint8_t v = (BitByte(b) >> (b & 7)) & 1;
    if constexpr (kRecord) AppendValue(tok::kBIT, v);
    return v;
  }
  void WriteBit(uint8_t b, bool v) {
    const uint8_t mask = static_cast<uint8_t>(1u << (b & 7));
    const uint8_t old = BitByte(b);
    const uint8_t now = v ? (old | mask) : (old & static_cast<uint8_t>(~mask));
    if (b < 0x80)
      iram[0x20 + (b >> 3)] = now;
    else
      Write(b & 0xF8, now);
  }

  // Second operand of the arithmetic and logic rows: #data, direct, @Ri or Rn.
  uint8_t Source(uint8_t op, const Decoded& d) {
    switch (op & 0x0F) {
      case 0x04: return d.B1;
      case 0x05: return Read(d.B1);
      case 0x06:
      case 0x07: return ReadAtRi(op);
      default: return Reg(op & 7);
    }
  }

  void Push(uint8_t v) {
    const uint8_t sp = static_cast<uint8_t>(sfrs[sfr::SP] + 1);
    iram[sp] = v;
    sfrs[sfr::SP] = sp;
  }
  uint8_t Pop() {
    const uint8_t sp = sfrs[sfr::SP];
    sfrs[sfr::SP] = static_cast<uint8_t>(sp - 1);
    return iram[sp];
  }
  uint16_t Dptr() { return static_cast<uint16_t>(sfrs[sfr::DPH] << 8 | sfrs[sfr::DPL]); }
  // MOVX @Ri: the page comes from P2.
  uint16_t PagedAddress(uint8_t op) { return static_cast<uint16_t>(sfrs[sfr::P2] << 8 | Reg(op & 1)); }
  // An external-data read, offered to the virtual hardware when a receiver listens.
  uint8_t ReadExternal(MemoryImages& t, uint16_t address) {
    uint8_t b = t.XDataImage[address];
    if (!t.SuppressXDataIO) b = ExternalRead(address, b, sfrs[sfr::P3]);
    if constexpr (kRecord) AppendValue(tok::kBYTE, b);
    return b;
  }

  void Arith(const alu::Result& r) {
    Psw() = r.Psw;
    Acc() = r.Value;
  }
};

// Executes one decoded instruction at Pc; returns the next PC.
template <bool kRecord>
uint16_t Execute(MemoryImages& t, Cpu<kRecord>& c, const Decoded& d, uint16_t pc) {
  const uint8_t op = d.Opcode;
  uint16_t next = static_cast<uint16_t>(pc + d.Length);
  uint8_t* const code = t.CodeImage.data();
  auto jumpIf = [&](bool cond) {
    if (cond) next = d.Target;
  };
  auto call = [&] {
    c.Push(static_cast<uint8_t>(next));
    c.Push(static_cast<uint8_t>(next >> 8));
    next = d.Target;
  };

#define CASE_RI(base) case (base): case (base) + 1
#define CASE_RN(base) \
  case (base): case (base) + 1: case (base) + 2: case (base) + 3: case (base) + 4: case (base) + 5: case (base) + 6: case (base) + 7
#define CASE_SRC(base) case (base) + 4: case (base) + 5: CASE_RI((base) + 6): CASE_RN((base) + 8)
#define CASE_PAGES(low)                                                                                     \
  case 0x00 + (low): case 0x20 + (low): case 0x40 + (low): case 0x60 + (low): case 0x80 + (low): case 0xA0 + (low): \
  case 0xC0 + (low): case 0xE0 + (low)

  switch (op) {
    case 0x00: break;  // NOP
    CASE_PAGES(0x01): next = d.Target; break;  // AJMP
    CASE_PAGES(0x11): call(); break;           // ACALL
    case 0x02: next = d.Target; break;         // LJMP
    case 0x12: call(); break;                  // LCALL
    case 0x80: next = d.Target; break;         // SJMP
    case 0x73: next = static_cast<uint16_t>(c.Dptr() + c.Acc()); break;  // JMP @A+DPTR

    // Rotations and the accumulator
    case 0x03: c.Acc() = static_cast<uint8_t>(c.Acc() >> 1 | c.Acc() << 7); break;  // RR A
    case 0x23: c.Acc() = static_cast<uint8_t>(c.Acc() << 1 | c.Acc() >> 7); break;  // RL A
    case 0x13: {  // RRC A
      const uint8_t a = c.Acc();
      c.Acc() = static_cast<uint8_t>(a >> 1 | c.Carry() << 7);
      c.SetCarry(a & 1);
      break;
    }
    case 0x33: {  // RLC A
      const uint8_t a = c.Acc();
      c.Acc() = static_cast<uint8_t>(a << 1 | c.Carry());
      c.SetCarry(a & 0x80);
      break;
    }
    case 0xC4: c.Acc() = static_cast<uint8_t>(c.Acc() << 4 | c.Acc() >> 4); break;  // SWAP A
    case 0xE4: c.Acc() = 0; break;                                                   // CLR A
    case 0xF4: c.Acc() = static_cast<uint8_t>(~c.Acc()); break;                      // CPL A
    case 0xD4: c.Arith(alu::DecimalAdjust(c.Acc(), c.Psw())); break;                 // DA A

    // INC and DEC
    case 0x04: ++c.Acc(); break;
    case 0x05: c.Write(d.B1, static_cast<uint8_t>(c.Read(d.B1) + 1)); break;
    CASE_RI(0x06): ++c.AtRi(op); break;
    CASE_RN(0x08): ++c.Reg(op & 7); break;
    case 0x14: --c.Acc(); break;
    case 0x15: c.Write(d.B1, static_cast<uint8_t>(c.Read(d.B1) - 1)); break;
    CASE_RI(0x16): --c.AtRi(op); break;
    CASE_RN(0x18): --c.Reg(op & 7); break;
    case 0xA3: {  // INC DPTR
      const uint16_t dptr = static_cast<uint16_t>(c.Dptr() + 1);
      c.sfrs[sfr::DPL] = static_cast<uint8_t>(dptr);
      c.sfrs[sfr::DPH] = static_cast<uint8_t>(dptr >> 8);
      break;
    }

    // Arithmetic
    CASE_SRC(0x20): c.Arith(alu::Add(c.Acc(), c.Source(op, d), 0, c.Psw())); break;
    CASE_SRC(0x30): c.Arith(alu::Add(c.Acc(), c.Source(op, d), c.Carry(), c.Psw())); break;
    CASE_SRC(0x90): c.Arith(alu::Subb(c.Acc(), c.Source(op, d), c.Carry(), c.Psw())); break;
    case 0xA4: {  // MUL AB
      const alu::MulDivResult r = alu::Mul(c.Acc(), c.sfrs[sfr::B], c.Psw());
      c.Acc() = r.A, c.sfrs[sfr::B] = r.B, c.Psw() = r.Psw;
      break;
    }
    case 0x84: {  // DIV AB
      const alu::MulDivResult r = alu::Div(c.Acc(), c.sfrs[sfr::B], c.Psw());
      c.Acc() = r.A, c.sfrs[sfr::B] = r.B, c.Psw() = r.Psw;
      break;
    }

    // Logic
    case 0x42: c.Write(d.B1, c.Read(d.B1) | c.Acc()); break;
    case 0x43: c.Write(d.B1, c.Read(d.B1) | d.B2); break;
    CASE_SRC(0x40): c.Acc() |= c.Source(op, d); break;
    case 0x52: c.Write(d.B1, c.Read(d.B1) & c.Acc()); break;
    case 0x53: c.Write(d.B1, c.Read(d.B1) & d.B2); break;
    CASE_SRC(0x50): c.Acc() &= c.Source(op, d); break;
    case 0x62: c.Write(d.B1, c.Read(d.B1) ^ c.Acc()); break;
    case 0x63: c.Write(d.B1, c.Read(d.B1) ^ d.B2); break;
    CASE_SRC(0x60): c.Acc() ^= c.Source(op, d); break;

    // Bits
    case 0x72: c.SetCarry(c.Carry() | c.ReadBit(d.B1)); break;    // ORL C,bit
    case 0xA0: c.SetCarry(c.Carry() | !c.ReadBit(d.B1)); break;   // ORL C,/bit
    case 0x82: c.SetCarry(c.Carry() & c.ReadBit(d.B1)); break;    // ANL C,bit
    case 0xB0: c.SetCarry(c.Carry() & !c.ReadBit(d.B1)); break;   // ANL C,/bit
    case 0xA2: c.SetCarry(c.ReadBit(d.B1)); break;                // MOV C,bit
    case 0x92: c.WriteBit(d.B1, c.Carry()); break;                // MOV bit,C
    case 0xB2: c.WriteBit(d.B1, !c.ReadBit(d.B1)); break;         // CPL bit
    case 0xC2: c.WriteBit(d.B1, false); break;                    // CLR bit
    case 0xD2: c.WriteBit(d.B1, true); break;                     // SETB bit
    case 0xB3: c.SetCarry(!c.Carry()); break;                     // CPL C
    case 0xC3: c.SetCarry(false); break;                          // CLR C
    case 0xD3: c.SetCarry(true); break;                           // SETB C

    // Conditional jumps
    case 0x10:  // JBC
      if (c.ReadBit(d.B1)) {
        c.WriteBit(d.B1, false);
        next = d.Target;
      }
      break;
    case 0x20: jumpIf(c.ReadBit(d.B1)); break;   // JB
    case 0x30: jumpIf(!c.ReadBit(d.B1)); break;  // JNB
    case 0x40: jumpIf(c.Carry()); break;         // JC
    case 0x50: jumpIf(!c.Carry()); break;        // JNC
    case 0x60: jumpIf(c.Acc() == 0); break;      // JZ
    case 0x70: jumpIf(c.Acc() != 0); break;      // JNZ
    case 0xB4: case 0xB5: CASE_RI(0xB6): CASE_RN(0xB8): {  // CJNE
      uint8_t first, second;
      if (op == 0xB4) first = c.Acc(), second = d.B1;
      else if (op == 0xB5) first = c.Acc(), second = c.Read(d.B1);
      else if (op < 0xB8) first = c.ReadAtRi(op), second = d.B1;
      else first = c.Reg(op & 7), second = d.B1;
      c.SetCarry(first < second);
      jumpIf(first != second);
      break;
    }
    case 0xD5: {  // DJNZ direct
      const uint8_t v = static_cast<uint8_t>(c.Read(d.B1) - 1);
      c.Write(d.B1, v);
      jumpIf(v != 0);
      break;
    }
    CASE_RN(0xD8): jumpIf(--c.Reg(op & 7) != 0); break;

    // Moves
    case 0x74: c.Acc() = d.B1; break;
    case 0x75: c.Write(d.B1, d.B2); break;
    CASE_RI(0x76): c.AtRi(op) = d.B1; break;
    CASE_RN(0x78): c.Reg(op & 7) = d.B1; break;
    case 0x85: c.Write(d.B2, c.Read(d.B1)); break;  // MOV dest,src: source byte first
    CASE_RI(0x86): c.Write(d.B1, c.ReadAtRi(op)); break;
    CASE_RN(0x88): c.Write(d.B1, c.Reg(op & 7)); break;
    case 0x90:  // MOV DPTR,#data16
      c.sfrs[sfr::DPH] = static_cast<uint8_t>(d.Target >> 8);
      c.sfrs[sfr::DPL] = static_cast<uint8_t>(d.Target);
      break;
    CASE_RI(0xA6): c.AtRi(op) = c.Read(d.B1); break;
    CASE_RN(0xA8): c.Reg(op & 7) = c.Read(d.B1); break;
    case 0xE5: c.Acc() = c.Read(d.B1); break;
    CASE_RI(0xE6): c.Acc() = c.ReadAtRi(op); break;
    CASE_RN(0xE8): c.Acc() = c.Reg(op & 7); break;
    case 0xF5: c.Write(d.B1, c.Acc()); break;
    CASE_RI(0xF6): c.AtRi(op) = c.Acc(); break;
    CASE_RN(0xF8): c.Reg(op & 7) = c.Acc(); break;
    case 0x83: c.Acc() = ProgramByte(code, static_cast<uint16_t>(next + c.Acc())); break;      // MOVC A,@A+PC
    case 0x93: c.Acc() = ProgramByte(code, static_cast<uint16_t>(c.Dptr() + c.Acc())); break;  // MOVC A,@A+DPTR

    // Exchanges
    case 0xC5: {
      const uint8_t v = c.Read(d.B1);
      c.Write(d.B1, c.Acc());
      c.Acc() = v;
      break;
    }
    CASE_RI(0xC6): std::swap(c.Acc(), c.AtRi(op)); break;
    CASE_RN(0xC8): std::swap(c.Acc(), c.Reg(op & 7)); break;
    CASE_RI(0xD6): {  // XCHD
      uint8_t& m = c.AtRi(op);
      const uint8_t a = c.Acc();
      c.Acc() = static_cast<uint8_t>((a & 0xF0) | (m & 0x0F));
      m = static_cast<uint8_t>((m & 0xF0) | (a & 0x0F));
      break;
    }

    // External data: @Ri takes its page from P2 as it stands before the instruction
    case 0xE0: c.Acc() = c.ReadExternal(t, c.Dptr()); break;
    CASE_RI(0xE2): c.Acc() = c.ReadExternal(t, c.PagedAddress(op)); break;
    case 0xF0: t.XDataImage[c.Dptr()] = c.Acc(); break;
    CASE_RI(0xF2): t.XDataImage[c.PagedAddress(op)] = c.Acc(); break;

    // Stack
    case 0xC0: c.Push(c.Read(d.B1)); break;  // PUSH: the byte is read first
    case 0xD0: {                              // POP: SP is one below its old value afterwards
      const uint8_t sp = c.sfrs[sfr::SP];
      c.Write(d.B1, c.iram[sp]);
      c.sfrs[sfr::SP] = static_cast<uint8_t>(sp - 1);
      break;
    }
    case 0x22:  // RET
    case 0x32: {  // RETI
      const uint8_t high = c.Pop();
      const uint8_t low = c.Pop();
      next = static_cast<uint16_t>(high << 8 | low);
      if (op == 0x32) SimReturnFromInterrupt();
      break;
    }

    default:  // 0A5H runs as a one-byte no-operation when resumed
      break;
  }
#undef CASE_RI
#undef CASE_RN
#undef CASE_SRC
#undef CASE_PAGES
  return next;
}

// The program drove P3 pins low: the pin is the latch, so INT0/INT1 see a
// falling edge and T0/T1 a count pulse, as if it came from outside.
[[gnu::noinline]] void DrivePins(uint8_t falls) {
  if (falls & 0x04) SimInt0Edge();
  if (falls & 0x08) SimInt1Edge();
  const uint8_t tmod = g_images->SfrImage[sfr::TMOD];
  if ((falls & 0x10) && (tmod & 0x04)) SimTimer0Tick();  // counter mode only
  if ((falls & 0x20) && (tmod & 0x40)) SimTimer1Tick();
}

// The timers count the machine cycles of a step as the SFRs stand before its
// instruction: the instruction's own writes of TRx, TMOD or a count take
// effect at its end (SETB TR0 does not count its own cycle, CLR TR0 does, and
// a count written while the timer runs is what stays).
void CountCycles(uint8_t* s, uint32_t cycles) {
  if (const unsigned plan = TimerPlan(s); plan && !CountTimersQuickly(s, cycles, plan)) SimRunTimers(cycles);
}

// The completion of an executed instruction: parity, counters, ports, pins
// and interrupt requests.
template <bool kRecord>
void Complete(SimState& sim, InterruptState& irq, MemoryImages& t, Cpu<kRecord>& c, uint16_t pc,
              uint32_t cycles) {
  uint8_t* s = c.sfrs;
  s[sfr::PSW] = static_cast<uint8_t>((s[sfr::PSW] & 0xFE) | kParity[s[sfr::ACC]]);
  t.SimPC = pc;
  sim.LastCycles = static_cast<uint8_t>(cycles);
  if ((++sim.InstructionCounter & 0xFF) == 0) [[unlikely]] {
    // A long run shows its progress every 256 instructions.
    if (sim.ShowProgress) sim.ShowProgress(pc);
  }
  if ((c.effects & kEffectPort) && sim.PortsChanged) sim.PortsChanged();
  if (c.p3Falls) [[unlikely]] DrivePins(c.p3Falls);
  if (c.effects & kEffectHold) irq.HoldOne = true;
  if (irq.HoldOne | irq.Requests | PendingSources(s)) SimLatchRequests();
}

template <bool kRecord>
StepResult StepWith(uint16_t pc) {
  // The session states once, in locals: the byte stores below may alias any global.
  MemoryImages& t = *g_images;
  SimState& sim = *g_sim;
  InterruptState& irq = *g_irq;
  Cpu<kRecord> c{t.IDataImage.data(), t.SfrImage.data()};
  if constexpr (kRecord) ValueList().Items.clear();

  uint32_t cycles = 0;
  if (irq.Requests && SimAcceptInterrupt(pc)) {
    t.SimPC = pc;
    cycles = kInterruptCallCycles;
  }

  Decoded d = DecodedAt(g_decoded.data(), t.CodeImage.data(), pc);
  // A 0A5H that no breakpoint planted is the program's own byte: it runs as
  // a one-byte line and the run stops after it, so the next GO goes on.
  const bool ownBreakByte = d.Opcode == kBreakOpcode && !FindPlanted(pc);
  if (d.Opcode == kBreakOpcode && !ownBreakByte) {
    if (sim.StoppedAtBreak != pc) {
      // A break stops before the instruction under it.
      sim.StoppedAtBreak = pc;
      g_run->ProgramRunning = false;
      t.SimPC = pc;
      sim.LastCycles = static_cast<uint8_t>(cycles);
      if (cycles) CountCycles(t.SfrImage.data(), cycles);
      return StepResult::BreakOpcode;
    }
    // Resumed at the break: the instruction under it runs.
    const uint8_t* code = t.CodeImage.data();
    d = DecodeBytes(pc, FindPlanted(pc)->Original, ProgramByte(code, static_cast<uint16_t>(pc + 1)),
                    ProgramByte(code, static_cast<uint16_t>(pc + 2)));
  }
  sim.StoppedAtBreak = -1;

  t.PrevPC = pc;
  cycles += d.Cycles;
  CountCycles(c.sfrs, cycles);
  const uint16_t next = Execute(t, c, d, pc);
  Complete(sim, irq, t, c, next, cycles);
  if (ownBreakByte) [[unlikely]] {
    g_run->ProgramRunning = false;
    return StepResult::BreakOpcode;
  }
  return StepResult::Executed;
}

}  // namespace

SimState& Simulator() { return CurrentSession().Get<SimState>(); }

void SimReset() {
  MemoryImages& t = Images();
  t.SimPC = 0;
  ResetSfrImage();
  ClearInterruptStates();
  g_sim->StoppedAtBreak = -1;
}

StepResult SimStep(uint16_t pc) {
  const RunState& run = *g_run;
  if ((run.TargetKind ^ kTargetSimulator) | run.UserBreak | g_sim->RecordReads) [[unlikely]] {
    g_sim->LastCycles = 0;
    if (run.TargetKind != kTargetSimulator) {
      // Only the simulator target has images to run on: the run stops here.
      ReportError(err::kDorvikInternalError);
      g_run->ProgramRunning = false;
      return StepResult::Error;
    }
    if (run.UserBreak) {
      // Escape stops a run here, as a break does; nothing is executed.
      g_images->SimPC = pc;
      g_run->ProgramRunning = false;
      return StepResult::UserBreak;
    }
    return StepWith<true>(pc);
  }
  return StepWith<false>(pc);
}

void UpdateParityFlag() {
  auto& s = Images().SfrImage;
  s[sfr::PSW] = static_cast<uint8_t>((s[sfr::PSW] & 0xFE) | kParity[s[sfr::ACC]]);
}

bool IsTwoCycleOpcode(uint8_t opcode) { return Opcode(opcode).Cycles == 2; }

void PlantBreak(uint16_t address) {
  MemoryImages& t = Images();
  const uint8_t original = t.CodeImage[address];
  t.CodeImage[address] = kBreakOpcode;
  InvalidateDecoded(address);  // forgets any older record of this address
  if (original != kBreakOpcode || !FindPlanted(address)) g_sim->Planted.push_back({address, original});
}

void LiftBreak(uint16_t address) {
  auto it = std::find_if(g_sim->Planted.begin(), g_sim->Planted.end(),
                         [&](const PlantedBreak& p) { return p.Address == address; });
  if (it == g_sim->Planted.end()) return;
  const uint8_t original = it->Original;
  g_sim->Planted.erase(it);
  Images().CodeImage[address] = original;
  InvalidateDecoded(address);
}

bool IsBreakPlanted(uint16_t address) { return FindPlanted(address) != nullptr; }

namespace {
// A planted break whose address no longer holds the break opcode was
// overwritten: its saved byte must never be written back.
void ForgetOverwrittenBreaks() {
  const auto& code = Images().CodeImage;
  auto& planted = g_sim->Planted;
  planted.erase(std::remove_if(planted.begin(), planted.end(),
                               [&](const PlantedBreak& p) { return code[p.Address] != kBreakOpcode; }),
                planted.end());
}
}  // namespace

void InvalidateDecoded(uint16_t address) {
  for (int k = 0; k < 3; ++k) g_decoded[static_cast<uint16_t>(address - k)].Length = 0;
  if (!g_sim->Planted.empty()) ForgetOverwrittenBreaks();
}

void InvalidateAllDecoded() {
  for (Decoded& d : g_decoded) d.Length = 0;
  ForgetOverwrittenBreaks();
}

}  // namespace dorvik
