#pragma once
// Intel HEX output of the assembler: the absolute code of a module, cut into
// data records of at most 16 bytes that never span a gap, closed by the end
// record.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>


namespace dorvik::as {

struct AsmContext;

// The pending data record (the file is the driver's AsmOutputs::Hex).
struct HexState {
  uint8_t Count = 0;  // bytes in the pending record (0..16)
  uint16_t Address = 0;  // load address of the pending record
  std::array<uint8_t, 16> Data{};
};

inline constexpr std::string_view kHexEndRecord = ":00000001FF";

// Record texts (no line end)
// ":" count, address, type 00, data, checksum; upper-case hexadecimal.
std::string HexDataRecordText(uint16_t address, std::span<const uint8_t> bytes);

// Assembly entries (pass 2); all do nothing while the HEX file is not open
// The bytes of the statement just processed (instruction, DB or DW).
void AddHexBytes(AsmContext& cx);
// Appends bytes placed at ADDRESS onwards. A pending record whose next address
// is not ADDRESS is written first, so no byte ever lands at a wrong address.
void AddHexBytes(AsmContext& cx, uint32_t address, std::span<const uint8_t> bytes);
// Writes the pending record when it holds at least one byte.
void FlushHexRecord(AsmContext& cx);
// Code from here on still needs the linker (WHY: a relocatable segment, or a
// statement that refers to an external or relocatable symbol): the HEX file
// ends with the records before it and gets no end record, so no loader takes
// it for a whole program. The first stop of pass 2 is told on the console.
void StopHexOutput(AsmContext& cx, std::string_view why);
// Writes the pending record and the end record, closes the file. After a
// stop the file ends without the end record.
void CloseHexFile(AsmContext& cx);

}  // namespace dorvik::as
