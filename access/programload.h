#pragma once
// Sending a loaded program to the target: the range that a load's file pass
// collected in its 64 KB buffer goes to the monitor board as Intel HEX records
// in its HEX load mode, to the ADuC chip as 256-byte page packets, or into
// the simulator's code image. Which of these a target does is its backend's
// business (TargetBackend::TransferProgram); this header holds what they share
// and the record and packet builders.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

inline constexpr size_t kProgramImageSize = 0x10000;
inline constexpr size_t kAducPageSize = 256;

// Shows the address being sent (Clearing: the flash is being cleared first);
// false when the user cancelled.
using TransferProgress = std::function<bool(uint16_t address, bool clearing)>;

// One program to send.
struct ProgramTransfer {
  std::span<const uint8_t, kProgramImageSize> Image;
  uint16_t Lowest = 0;   // lowest address the file pass stored
  uint16_t Highest = 0;  // last address used
  uint16_t MaxRecord = 128;  // data bytes per HEX record
  // Append: the program is added to what the target holds. Only the bytes
  // the file holds (Held[address] not 0; none given: the whole range) are
  // sent; the rest of the target's memory keeps what it has.
  bool Append = false;
  std::span<const uint8_t> Held = {};
  bool ClearCodeFlash = false;
  bool ClearDataFlash = false;
  int DownloadSpeed = 0;  // 0 115200, 1 57600, 2 38400 baud
  std::string FileName;   // for error 120
  TransferProgress Progress;
};

enum class TransferResult : uint8_t {
  Done,
  Failed,   // the load ends without success; the symbols stay
  Aborted,  // the load was aborted (cancelled or the link refused): the loader drops what it read
};

// What the target's program memory holds: a program whose last address + 1 is
// above End is error 164 with SizeText ("56" for 56 KB).
struct ProgramMemoryLimit {
  uint32_t End = kProgramImageSize;
  std::string_view SizeText = "64";
  bool AbortWhenTooLong = false;  // the target was already in its load mode
};

// Data bytes per HEX record of a processor family.
uint16_t TransferRecordSize(uint8_t cpuFamily);

// Builders (also what the tests compare with the wire)
// The HEX records of Lowest..Highest in records of MaxRecord bytes, each with
// CR LF; with Fill the data bytes are all 0FFH (the flash cleared first).
std::string MonitorLoadRecords(std::span<const uint8_t, kProgramImageSize> image, uint16_t lowest, uint16_t highest,
                               uint16_t maxRecord, bool fill);
// The page packet of the ADuC download: 07H, 'Q', the page number, the 256
// bytes of the page and the check byte.
std::vector<uint8_t> AducPagePacket(uint8_t page, std::span<const uint8_t, kAducPageSize> bytes);
// The download speed of a choice, in baud.
int32_t AducDownloadBaud(int choice);

// The kinds' transfers, called by their backends.
// The monitor's HEX load mode: ESC, "LOAD", the reply "HEX LOAD MODE".
TransferResult MonitorBeginLoad(std::string_view fileName);
TransferResult MonitorTransferProgram(const ProgramTransfer& transfer);
TransferResult AducTransferProgram(const ProgramTransfer& transfer);
// With Append the monitor gets records only for the bytes held, the ADuC's
// pages are read back first (in the link's biggest blocks) so that a page
// packet carries the chip's own bytes where the file holds none, and pages
// without a byte held are not written.
// The simulator: whole pages of the range copied into the code image (with
// Append only the bytes held, so that code beside them stays).
TransferResult SimulatorTransferProgram(const ProgramTransfer& transfer);

}  // namespace dorvik
