#pragma once
// Target access layer: memory and registers of the debug target by memory
// space, for every target kind. Each function forwards to the backend of the
// current kind (access/backend.h) and does here what is alike for all kinds.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "machine/images.h"
#include "machine/simulator.h"

namespace dorvik {

// Processor families (CpuFamily)
inline constexpr uint8_t kFamilyAduc = 2;   // 24-bit data pointer, DPP at SFR 84H
inline constexpr uint8_t kFamilyOther = 3;

// Register shadow of the ADuC target, filled by its link when the target stops.
struct tRegisterSet {
  uint8_t R0 = 0;
  uint8_t ACC = 0;
  uint8_t PSW = 0;
  uint8_t SP = 0x07;
  uint32_t DPTR = 0;  // DPH:DPL in the low 16 bits
  uint8_t DPP = 0;    // bits 16-23 of the 24-bit data pointer
  uint8_t SfrBC = 0, SfrBD = 0, SfrBE = 0, SfrBF = 0, SfrC6 = 0, SfrC7 = 0;
  uint16_t PC = 0;
};

// The register record the views fill.
struct tRegisterFrame {
  std::array<uint8_t, 8> R{};  // R0..R7 of the bank selected by PSW
  uint8_t ACC = 0;
  uint8_t B = 0;
  uint8_t PSW = 0;
  uint8_t SP = 0;
  uint32_t PC = 0;
  uint32_t DPTR = 0;  // DPH:DPL; DPP in bits 16-23 on the ADuC family
};

// Where the BR0/BR1 registers live: the breakpoint table installs these; until
// it does, the layer keeps the two addresses itself (TargetState::BreakRegisters).
struct BreakRegisterHooks {
  uint16_t (*Get)(int index) = nullptr;
  void (*Set)(int index, uint16_t address) = nullptr;
};

// The layer's state beside the simulator's images (machine/images.h).
struct TargetState {
  uint8_t CpuFamily = kFamilyOther;
  tRegisterSet TargetRegs{};
  std::array<uint16_t, 2> BreakRegisters{};
  BreakRegisterHooks BreakHooks{};
  // Breaks planted in the ADuC's code memory and the bytes they replaced.
  std::vector<PlantedBreak> AducPlanted;
  // The ADuC's code and external-data control SFRs (A7H, AFH), saved while
  // its data pointer serves a read or write.
  uint8_t AducSavedCodeCtl = 0;
  uint8_t AducSavedXdataCtl = 0;

  // The last 16 code bytes read for DisassembleLine; -1 = empty.
  int32_t CodeCacheAddr = -1;
  std::array<uint8_t, 16> CodeCache{};
};

TargetState& Target();
// Makes this layer the evaluator's way into the target, and the simulator's
// progress the current PC (start-up).
void InstallTargetAccess();

// Reading
// Count bytes from Addr into RxBuffer positions 1..Count (at most kRxBufferSize - 1).
bool TargetReadBlock(uint8_t space, int32_t addr, int32_t count);
// The same into a caller's buffer (the receive buffer is left alone on the simulator).
bool TargetReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out);
// One byte (a bit as 0 or 1); also the evaluator's current value and one value-list item.
uint8_t TargetReadByte(uint8_t space, int32_t addr);
// Count typed values from Addr into the value list; Addr becomes the first byte read.
bool TargetReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count);

// Writing
// Size bytes of Value, most significant first (targets that write values; a bit is set when Value is not 0).
void TargetWriteValue(uint8_t space, int32_t addr, int32_t value, uint8_t size);
// The first of the comma-separated code bytes ("0" and two hex digits each) at Addr.
void TargetWriteCodeByte(uint16_t addr, std::string_view valueText);
// Code memory changed behind the layer's back (loader, line assembler): forgets
// every decoded line that covers Addr. Without an address: everything.
void CodeImageChanged(uint16_t addr);
void CodeImageChanged();

// Registers (tokens of the keyword table: R0-R7, AB, DPTR, PC, PPC, TM0-TM2, RCAP2, BR0, BR1)
void TargetGetRegisters(tRegisterFrame& frame);
int32_t TargetRegisterValue(uint8_t regToken);
bool TargetSetRegister(uint8_t regToken, int32_t value);

// Code lines
// The code line of Addr from the mnemonic on (empty when it cannot be read).
std::string DisassembleLine(int32_t addr);

}  // namespace dorvik
