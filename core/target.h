#pragma once
// Target access layer: memory and registers of the debug target by memory
// space, for every target kind. The simulator's target memory is the four
// local images held here; the monitor and ADuC kinds go through their links.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dorvik {

// Memory spaces (only the low 3 bits of a space number count)
inline constexpr uint8_t kSpaceCode = 0;
inline constexpr uint8_t kSpaceXData = 1;
inline constexpr uint8_t kSpaceDirect = 2;  // below 80H internal RAM, from 80H the SFRs
inline constexpr uint8_t kSpaceIData = 3;   // internal RAM 00H-FFH
inline constexpr uint8_t kSpaceBit = 4;
inline constexpr uint8_t kSpacePagedXData = 6;
inline constexpr uint8_t kSpaceEeprom = 7;

// Special-function registers the engine uses
namespace sfr {
inline constexpr uint8_t P0 = 0x80, SP = 0x81, DPL = 0x82, DPH = 0x83, DPP = 0x84;
inline constexpr uint8_t TCON = 0x88, TMOD = 0x89, TL0 = 0x8A, TL1 = 0x8B, TH0 = 0x8C, TH1 = 0x8D;
inline constexpr uint8_t P1 = 0x90, SCON = 0x98, P2 = 0xA0, IE = 0xA8, P3 = 0xB0, IP = 0xB8;
inline constexpr uint8_t RCAP2L = 0xCA, RCAP2H = 0xCB, TL2 = 0xCC, TH2 = 0xCD;
inline constexpr uint8_t PSW = 0xD0, ACC = 0xE0, B = 0xF0;
}  // namespace sfr

// PSW bits
namespace psw {
inline constexpr uint8_t CY = 0x80, AC = 0x40, F0 = 0x20, RS1 = 0x10, RS0 = 0x08, OV = 0x04, P = 0x01;
}  // namespace psw

// Processor families (CpuFamily)
inline constexpr uint8_t kFamilyAduc = 2;   // 24-bit data pointer, DPP at SFR 84H
inline constexpr uint8_t kFamilyOther = 3;

// Register shadow of the ADuC target, filled by its link when the target stops.
struct tRegisterSet {
  uint8_t R0 = 0;
  uint8_t ACC = 0;
  uint8_t PSW = 0;
  uint8_t SP = 0;
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

// The layer's state; one instance, reached through Target().
struct TargetState {
  // Local images of the simulated processor
  std::array<uint8_t, 0x10000> CodeImage{};
  std::array<uint8_t, 0x10000> XDataImage{};
  std::array<uint8_t, 0x100> SfrImage{};  // only 80H-FFH are used
  std::array<uint8_t, 0x100> IDataImage{};

  int32_t SimPC = 0;     // program counter of the simulated processor, 0..0FFFFH between steps
  uint16_t PrevPC = 0;   // the instruction executed last (register PPC)
  uint8_t CpuFamily = kFamilyOther;
  bool SuppressXDataIO = false;  // simulator XDATA reads skip the virtual hardware
  tRegisterSet TargetRegs{};
  std::array<uint16_t, 2> BreakRegisters{};
  BreakRegisterHooks BreakHooks{};

  // The last 16 code bytes read for DisassembleLine; -1 = empty.
  int32_t CodeCacheAddr = -1;
  std::array<uint8_t, 16> CodeCache{};
};

TargetState& Target();
// Fresh images with the SFR reset values (tests start clean through this).
void ResetTargetState();
// Makes this layer the evaluator's way into the target (start-up).
void InstallTargetAccess();
// SFR image to its reset contents: all zero, SP 07H, P0-P3 0FFH.
void ResetSfrImage();

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
// Size bytes of Value, most significant first (simulator only; a bit is set when Value is not 0).
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
