#pragma once
// The text of one Intel HEX record, as the assembler writes its HEX output and
// the debugger saves memory.

#include <cstdint>
#include <span>
#include <string>

namespace dorvik {

inline constexpr uint8_t kHexTypeData = 0x00;
inline constexpr uint8_t kHexTypeEnd = 0x01;

// One record's text, without its line end: ":", the length, the address, the
// type, the data and the checksum in upper-case hexadecimal.
std::string HexRecordText(uint16_t address, uint8_t type, std::span<const uint8_t> data);

}  // namespace dorvik
