// The built-in simulator as a debug target: its memory is the local images
// (machine/images.h) and it runs the program through machine/simulator.h.

#include "access/backend.h"

#include <algorithm>

#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/keywords.h"
#include "machine/bus.h"
#include "machine/images.h"
#include "machine/interrupts.h"
#include "machine/opcodes.h"

namespace dorvik {

namespace {

uint8_t RegisterBank() { return (Images().SfrImage[sfr::PSW] & 0x18) >> 3; }

// The simulator's bytes of one space.
bool ReadImages(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  MemoryImages& m = Images();
  switch (space & 7) {
    case kSpaceCode:
      for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = int64_t{addr} + static_cast<int64_t>(i);
        out[i] = (a >= 0 && a <= 0xFFFF) ? m.CodeImage[static_cast<size_t>(a)] : 0xFF;
      }
      return true;
    case kSpaceXData:
      for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = int64_t{addr} + static_cast<int64_t>(i);
        if (a < 0 || a > 0xFFFF) {
          out[i] = 0xFF;
          continue;
        }
        uint8_t b = m.XDataImage[static_cast<size_t>(a)];
        if (!m.SuppressXDataIO) b = ExternalRead(static_cast<uint16_t>(a), b, m.SfrImage[sfr::P3]);
        out[i] = b;
      }
      return true;
    case kSpaceDirect:
    case kSpaceIData:
      // The transfer ends at FFH: later positions are not written.
      for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = int64_t{addr} + static_cast<int64_t>(i);
        if (a < 0 || a > 0xFF) break;
        const bool sfrSpace = (space & 7) == kSpaceDirect && a >= 0x80;
        out[i] = sfrSpace ? m.SfrImage[static_cast<size_t>(a)] : m.IDataImage[static_cast<size_t>(a)];
      }
      return true;
    default:
      // Bits are read through their bytes; paged external data and EEPROM
      // have no image: they read as FFH rather than as stale buffer bytes.
      std::fill(out.begin(), out.end(), uint8_t{0xFF});
      return true;
  }
}

class SimulatorBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override {
    return {.HasTarget = true, .LocalImages = true, .WritesValues = true, .RunsProgramItself = false,
            .BreakRegisters = false, .LastBreakIndex = 7, .ReadChunk = 128,
            // Images of code, external data, direct and indirect data (bits in them).
            .MemorySpaces = 0x1F};
  }

  // Memory

  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override {
    auto& rx = Link().RxBuffer;
    return ReadImages(space, addr, std::span<uint8_t>(rx.data() + 1, static_cast<size_t>(count)));
  }

  // The receive buffer is left alone: the bytes go straight from the images.
  bool ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) override {
    return ReadImages(space, addr, out);
  }

  void WriteByte(uint8_t space, int32_t addr, uint8_t value, bool single) override {
    MemoryImages& m = Images();
    switch (space) {
      case kSpaceCode:
        // A value write of the one byte 0A5H (Single: TargetWriteValue of
        // size 1, a breakpoint text's byte) is taken as a planted break: the
        // simulator keeps the byte it replaces, a run resumed there executes
        // that byte's instruction, and another byte written there forgets the
        // break. Block writes (the memory commands, a load) store 0A5H as the
        // program's own byte: one-byte line that stops the run after it. Run
        // control plants its breaks through PlantBreak.
        if (value == kBreakOpcode && single) {
          PlantBreak(0, static_cast<uint16_t>(addr));
          break;
        }
        m.CodeImage[static_cast<size_t>(addr)] = value;
        CodeImageChanged(static_cast<uint16_t>(addr));
        break;
      case kSpaceXData:
        m.XDataImage[static_cast<size_t>(addr)] = value;
        break;
      case kSpaceDirect:
        if (addr < 0x80)
          m.IDataImage[static_cast<size_t>(addr)] = value;
        else
          m.SfrImage[static_cast<size_t>(addr)] = value;
        break;
      case kSpaceIData:
        m.IDataImage[static_cast<size_t>(addr)] = value;
        break;
      default:
        break;
    }
  }

  void WriteCodeByte(uint16_t addr, std::string_view valueText) override {
    uint8_t value = 0;
    if (FirstCodeByte(valueText, value)) WriteByte(kSpaceCode, addr, value, true);
  }

  // Registers

  void GetRegisters(tRegisterFrame& frame) override {
    TargetState& t = Target();
    const auto& s = Images().SfrImage;
    frame.DPTR = s[sfr::DPH] * 256u + s[sfr::DPL];
    if (t.CpuFamily == kFamilyAduc) {
      t.TargetRegs.DPP = s[sfr::DPP];
      frame.DPTR |= uint32_t{s[sfr::DPP]} << 16;
    }
    frame.SP = s[sfr::SP];
    frame.PSW = s[sfr::PSW];
    frame.ACC = s[sfr::ACC];
    frame.B = s[sfr::B];
    frame.PC = static_cast<uint32_t>(Images().SimPC);
    const size_t base = 8u * ((frame.PSW & 0x18) >> 3);
    for (size_t n = 0; n < 8; ++n) frame.R[n] = Images().IDataImage[base + n];
  }

  RegisterRead ReadRegister(uint8_t regToken, int32_t& value) override {
    const MemoryImages& m = Images();
    if (regToken >= tok::kR0 && regToken <= tok::kR7) {
      value = m.IDataImage[8u * RegisterBank() + (regToken - tok::kR0)];
    } else if (regToken == tok::kDPTR) {
      value = m.SfrImage[sfr::DPH] * 256 + m.SfrImage[sfr::DPL];
      if (Target().CpuFamily == kFamilyAduc) value |= int32_t{m.SfrImage[sfr::DPP]} << 16;
    } else if (regToken == tok::kPC) {
      value = m.SimPC;
    } else if (regToken == tok::kRBS) {
      value = RegisterBank();
    } else {
      return ReadCommonRegister(regToken, value);
    }
    return RegisterRead::Value;
  }

  void SetRegister(uint8_t regToken, int32_t value) override {
    MemoryImages& m = Images();
    if (regToken == tok::kPC) {
      m.SimPC = value & 0xFFFF;
    } else if (regToken == tok::kPPC) {
      m.PrevPC = static_cast<uint16_t>(value);
    } else if (regToken == tok::kBR0 || regToken == tok::kBR1) {
      SetBreakRegister(regToken - tok::kBR0, static_cast<uint16_t>(value));
    } else if (regToken >= tok::kR0 && regToken <= tok::kR7) {
      m.IDataImage[8u * RegisterBank() + (regToken - tok::kR0)] = static_cast<uint8_t>(value);
    } else if (regToken == tok::kRBS) {
      // The register bank is PSW's bits 3 and 4; parity follows ACC alone.
      uint8_t& psw = m.SfrImage[sfr::PSW];
      psw = static_cast<uint8_t>((psw & ~0x18) | ((value & 3) << 3));
    } else if (regToken == tok::kDPTR) {
      TargetState& t = Target();
      if (t.CpuFamily == kFamilyAduc) {
        t.TargetRegs.DPP = static_cast<uint8_t>(value >> 16);
        m.SfrImage[sfr::DPP] = t.TargetRegs.DPP;
      }
      m.SfrImage[sfr::DPH] = static_cast<uint8_t>(value >> 8);
      m.SfrImage[sfr::DPL] = static_cast<uint8_t>(value);
    }
  }

  // Run control: the caller's run loop steps the program; a halt ends that loop.

  bool Go(uint16_t from, std::string_view) override {
    Images().SimPC = from;
    return true;
  }

  HaltResult Halt() override {
    Run().Executing = false;
    return HaltResult::Halted;
  }

  void RunHere(int32_t slice, const std::function<void()>& between) override {
    RunState& run = Run();
    MemoryImages& images = Images();
    while (run.ProgramRunning && run.Executing) {
      Messages().ErrorFlag = false;
      Messages().WarningFlag = false;
      for (int32_t n = slice; n > 0; --n)
        if (SimStep(static_cast<uint16_t>(images.SimPC)) != StepResult::Executed) break;
      between();
    }
  }

  void RunCallHere(uint16_t address, uint16_t ret, int32_t slice, const std::function<void()>& between) override {
    RunState& run = Run();
    MemoryImages& images = Images();
    const uint8_t sp = images.SfrImage[sfr::SP];
    Simulator().StoppedAtBreak = -1;
    int32_t n = 0;
    StepResult r = SimStep(address);
    while (r == StepResult::Executed && run.Executing && run.ProgramRunning && !run.UserBreak &&
           !(images.SimPC == ret && images.SfrImage[sfr::SP] <= sp)) {
      if (++n >= slice) {
        n = 0;
        between();
      }
      r = SimStep(static_cast<uint16_t>(images.SimPC));
    }
  }

  StepResult Step(uint16_t at, std::string& text) override {
    text.clear();
    return SimStep(at);
  }

  // A count pulse counts only while its timer is a counter (C/T set).
  bool DriveInput(PinInput input) override {
    const uint8_t tmod = Images().SfrImage[sfr::TMOD];
    switch (input) {
      case PinInput::Int0Edge: SimInt0Edge(); break;
      case PinInput::Int1Edge: SimInt1Edge(); break;
      case PinInput::Timer0Pulse:
        if (tmod & 0x04) SimTimer0Tick();
        break;
      case PinInput::Timer1Pulse:
        if (tmod & 0x40) SimTimer1Tick();
        break;
    }
    return true;
  }

  bool Reset() override {
    SimReset();
    return true;
  }

  bool PlantBreak(uint8_t, uint16_t address) override {
    dorvik::PlantBreak(address);
    CodeImageChanged(address);
    return true;
  }

  bool LiftBreak(uint8_t, uint16_t address) override {
    dorvik::LiftBreak(address);
    CodeImageChanged(address);
    return true;
  }

  // Program load
  TransferResult TransferProgram(const ProgramTransfer& transfer) override { return SimulatorTransferProgram(transfer); }
};

}  // namespace

TargetBackend& SimulatorBackendInstance() {
  static SimulatorBackend backend;
  return backend;
}

}  // namespace dorvik
