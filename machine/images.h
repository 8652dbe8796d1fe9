#pragma once
// The simulated processor's memory: the four local images (code, external
// data, SFRs, internal data) with its program counters, and the numbers of
// memory spaces and SFRs that the engine uses.

#include <array>
#include <cstdint>

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

// SFR image at reset: all zero, SP 07H, P0-P3 0FFH.
inline constexpr std::array<uint8_t, 0x100> kSfrResetImage = [] {
  std::array<uint8_t, 0x100> s{};
  s[sfr::SP] = 0x07;
  s[sfr::P0] = s[sfr::P1] = s[sfr::P2] = s[sfr::P3] = 0xFF;
  return s;
}();

struct MemoryImages {
  std::array<uint8_t, 0x10000> CodeImage{};
  std::array<uint8_t, 0x10000> XDataImage{};
  std::array<uint8_t, 0x100> SfrImage = kSfrResetImage;  // only 80H-FFH are used
  std::array<uint8_t, 0x100> IDataImage{};

  int32_t SimPC = 0;    // program counter of the simulated processor, 0..0FFFFH between steps
  uint16_t PrevPC = 0;  // the instruction executed last (register PPC)
  bool SuppressXDataIO = false;  // external-data reads skip the external bus
};

MemoryImages& Images();
// SFR image to its reset contents.
void ResetSfrImage();

}  // namespace dorvik
