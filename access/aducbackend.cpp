// An ADuC8xx chip as a debug target, reached through the ADuC link
// (access/aduclink.h). Its registers are the shadow the link fills when the
// chip stops (TargetState::TargetRegs); breaks are the break opcode planted
// in its code memory.

#include "access/backend.h"

#include <algorithm>
#include <span>
#include <vector>

#include "access/aduclink.h"
#include "access/linkstate.h"
#include "base/runstate.h"
#include "lang/evaluator.h"
#include "lang/keywords.h"
#include "machine/opcodes.h"

namespace dorvik {

namespace {

constexpr int32_t kPageSize = 64;

uint8_t ShadowBank() { return (Target().TargetRegs.PSW & 0x18) >> 3; }

// The ADuC code write takes its byte as item 1 of the value list.
bool WriteCode(uint16_t addr, uint8_t value) {
  ValueList().Items.assign(1, tValueItem{tok::kBYTE, value});
  return AducWriteCodeByte(addr, value);
}

class AducBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override {
    return {.HasTarget = true, .LocalImages = false, .WritesValues = false, .RunsProgramItself = true,
            .BreakRegisters = false, .LastBreakIndex = 7, .ReadChunk = 128};
  }

  // Memory

  LinkHabits Habits() const override { return {.CharTimeoutMs = kAducReplyTimeoutMs, .XonWhenSilent = false}; }
  bool TakeNews(LinkNews& news) override { return AducTakeNews(news); }
  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
    return AducReadBlock(space, addr, bytes);
  }

  void WriteCodeByte(uint16_t addr, std::string_view valueText) override {
    uint8_t value = 0;
    if (FirstCodeByte(valueText, value)) WriteCode(addr, value);
  }

  // Code memory in 64-byte pages, external data through the data pointer,
  // the other spaces byte by byte; progress every 64 bytes.
  bool WriteBlock(uint8_t space, int32_t addr, std::span<const uint8_t> bytes, bool,
                  const WriteProgress& progress) override {
    const int32_t total = static_cast<int32_t>(bytes.size());
    if (space == kSpaceXData) {
      if (!AducWriteXData(static_cast<uint32_t>(addr), bytes)) return false;
      return !progress || progress(total, total);
    }
    for (int32_t done = 0; done < total;) {
      int32_t n = 1;
      if (space == kSpaceCode) {
        n = std::min(kPageSize - (addr + done) % kPageSize, total - done);
        if (!AducWriteCodePage(static_cast<uint16_t>(addr + done),
                              bytes.subspan(static_cast<size_t>(done), static_cast<size_t>(n))))
          return false;
      } else if (!AducWriteByte(space, addr + done, bytes[static_cast<size_t>(done)])) {
        return false;
      }
      const int32_t before = done;
      done += n;
      if (progress && (done / kPageSize != before / kPageSize || done == total) && !progress(done, total))
        return false;
    }
    return true;
  }

  // Registers: the shadow of the last stop, R1-R7 of its bank and B read from
  // the chip (one single-byte read each: cheaper than the 255-byte dump).

  void GetRegisters(tRegisterFrame& frame) override {
    ReportedRegisters(frame);
    for (size_t n = 1; n < 8; ++n) {
      if (!AducReadBlock(kSpaceIData, 8 * ShadowBank() + static_cast<int32_t>(n), std::span<uint8_t>(&frame.R[n], 1)))
        return;
    }
    AducReadBlock(kSpaceDirect, sfr::B, std::span<uint8_t>(&frame.B, 1));
  }

  bool ReportedRegisters(tRegisterFrame& frame) override {
    const tRegisterSet& r = Target().TargetRegs;
    frame.R[0] = r.R0;
    frame.ACC = r.ACC;
    frame.PSW = r.PSW;
    frame.SP = r.SP;
    frame.DPTR = r.DPTR | (uint32_t{r.DPP} << 16);
    frame.PC = r.PC;
    return true;
  }

  RegisterRead ReadRegister(uint8_t regToken, int32_t& value) override {
    const TargetState& t = Target();
    if (regToken == tok::kR0) {
      value = t.TargetRegs.R0;
    } else if (regToken > tok::kR0 && regToken <= tok::kR7) {
      // The chip's own register bank, read through the link.
      uint8_t byte = 0;
      if (!AducReadBlock(kSpaceIData, 8 * ShadowBank() + (regToken - tok::kR0), std::span<uint8_t>(&byte, 1)))
        return RegisterRead::Failed;
      value = byte;
    } else if (regToken == tok::kDPTR) {
      value = static_cast<int32_t>(t.TargetRegs.DPTR | (uint32_t{t.TargetRegs.DPP} << 16));
    } else if (regToken == tok::kPC) {
      value = t.TargetRegs.PC;
    } else if (regToken == tok::kRBS) {
      value = ShadowBank();
    } else {
      return ReadCommonRegister(regToken, value);
    }
    return RegisterRead::Value;
  }

  void SetRegister(uint8_t regToken, int32_t value) override {
    tRegisterSet& regs = Target().TargetRegs;
    if (regToken == tok::kR0) {
      regs.R0 = static_cast<uint8_t>(value);
    } else if (regToken > tok::kR0 && regToken <= tok::kR7) {
      AducWriteByte(kSpaceIData, 8 * ShadowBank() + (regToken - tok::kR0), static_cast<uint8_t>(value));
    } else if (regToken == tok::kDPTR) {
      regs.DPTR = static_cast<uint32_t>(value) & 0xFFFF;
      regs.DPP = static_cast<uint8_t>(value >> 16);
    } else if (regToken == tok::kPC) {
      regs.PC = static_cast<uint16_t>(value);
    } else if (regToken == tok::kRBS) {
      // The bank bits of the PSW shadow that the link writes back.
      regs.PSW = static_cast<uint8_t>((regs.PSW & ~0x18) | ((value & 3) << 3));
    }
  }

  // Run control: the chip runs the program; breaks are the break opcode in its
  // code memory, with the replaced byte kept in TargetState::AducPlanted.

  bool Go(uint16_t from, std::string_view) override { return AducGo(from); }

  void StartRun(uint16_t from, const RunHelpers& h) override {
    if (!h.PlantBreaks() || !Go(from, {})) {
      h.RestoreBreaks();
      return;
    }
    h.Running({});
  }

  // The cursor break at the return address stops the chip after the call.
  bool RunOverCall(uint16_t, uint16_t ret, const RunHelpers& h) override {
    h.CursorAtReturn(ret, false);
    if (!h.PlantBreaks() || !Go(static_cast<uint16_t>(Run().CurrentPC), {})) {
      h.RestoreBreaks();
      return false;
    }
    Run().ProgramRunning = true;
    h.AwaitHalt();
    return true;
  }

  HaltResult Halt() override {
    bool targetReset = false;
    if (!AducHalt(targetReset)) return HaltResult::Failed;
    return targetReset ? HaltResult::TargetReset : HaltResult::Halted;
  }

  StepResult Step(uint16_t at, std::string& text) override {
    text.clear();
    return AducStep(at) ? StepResult::Executed : StepResult::Error;
  }

  // After its reset the chip holds the registers of a program start.
  ResetAftermath AfterReset() const override { return {.PcInRegisters = true}; }
  bool Reset() override {
    if (!AducReset()) return false;
    Target().TargetRegs = tRegisterSet{};
    return true;
  }

  bool PlantBreak(uint8_t, uint16_t address) override {
    auto& planted = Target().AducPlanted;
    const bool known = std::any_of(planted.begin(), planted.end(), [&](const PlantedBreak& p) { return p.Address == address; });
    if (!known) {
      uint8_t original = 0;
      if (!AducReadBlock(kSpaceCode, address, std::span<uint8_t>(&original, 1))) return false;
      planted.push_back({address, original});
    }
    return WriteCode(address, kBreakOpcode);
  }

  bool LiftBreak(uint8_t, uint16_t address) override {
    auto& planted = Target().AducPlanted;
    auto it = std::find_if(planted.begin(), planted.end(), [&](const PlantedBreak& p) { return p.Address == address; });
    if (it == planted.end()) return true;
    if (!WriteCode(address, it->Original)) return false;
    planted.erase(it);
    return true;
  }

  // Program load
  ProgramMemoryLimit ProgramMemory() const override { return {.End = 0xF800, .SizeText = "62"}; }
  TransferResult TransferProgram(const ProgramTransfer& transfer) override { return AducTransferProgram(transfer); }
};

}  // namespace

TargetBackend& AducBackendInstance() {
  static AducBackend backend;
  return backend;
}

}  // namespace dorvik
