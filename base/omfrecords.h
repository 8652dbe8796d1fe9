#pragma once
// The record types of OMF-51 object modules, as the assembler writes them
// and the loader reads them.

#include <cstdint>

namespace dorvik {

inline constexpr uint8_t kObjModuleHeader = 0x02;
inline constexpr uint8_t kObjModuleEnd = 0x04;
inline constexpr uint8_t kObjContent = 0x06;
inline constexpr uint8_t kObjFixup = 0x08;
inline constexpr uint8_t kObjSegmentDefs = 0x0E;
inline constexpr uint8_t kObjScope = 0x10;
inline constexpr uint8_t kObjDebugItems = 0x12;
inline constexpr uint8_t kObjPublicDefs = 0x16;
inline constexpr uint8_t kObjExternalDefs = 0x18;
inline constexpr uint8_t kObjTypeDefs = 0x20;
inline constexpr uint8_t kObjDebugItems2 = 0x22;
inline constexpr uint8_t kObjSkipped = 0x70;  // may stand before the header

}  // namespace dorvik
