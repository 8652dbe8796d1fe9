#pragma once
// Intel HEX files: the program loader's reading of them into a 64 KB image,
// and the saving of a range of the target's code memory as one.
//
// A record is one line: ':', the data count LL, the address AAAA (high byte
// first), the type TT (00 data, 01 end of file; there are no others), LL data
// bytes and the checksum CC = 0 - (LL + both address bytes + TT + the data),
// each byte two hexadecimal digits (either case when read; upper case and
// CR LF line ends when written). Only blanks and line ends stand between
// records; whatever follows the end record is not read.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>
#include <string>
#include <string_view>

#include "base/hexrecord.h"

namespace dorvik {

inline constexpr size_t kHexImageSize = 0x10000;
using HexImage = std::span<uint8_t, kHexImageSize>;

inline constexpr std::string_view kHexEndRecordText = ":00000001FF";

// Which memory a file's records fill.
enum class HexMemory : uint8_t {
  Code,   // a fresh load image: 0FFH wherever no record puts a byte
  XData,  // external data: the records' bytes go over what the image holds
};

// What a file pass found, as far as it got (also after a failure).
struct HexLoadInfo {
  uint16_t LowestAddress = 0xFFFF;  // lowest address of a code data record
  uint32_t HighestAddress = 0;      // last address used; above 0FFFFH for code past 64K (not stored)
  uint16_t StartAddress = 0;        // where the program starts (below)
  bool StartFound = false;          // from the first-opcode rule, not the end record
  // First and last address of each code data record stored: the bytes the
  // file holds (an appending load sends only these).
  std::vector<std::pair<uint16_t, uint16_t>> Stored;
};

// Called after each data record with its address (the load dialog shows it);
// false cancels the load or save (error 120).
using HexProgress = std::function<bool(uint16_t address)>;

// Reading
// The file pass over the text of a whole HEX file: every record is checked
// whole (digits, type, checksum, bounds) before the next one is read, and the
// pass stops at the first error. It fills a scratch copy of Image that Image
// takes only once the end record was read: after an error Image is as it was.
// - The program start: a code data record at 0000H of three bytes whose first
//   is LJMP (02H) starts at its target; otherwise the end record's address.
// - Errors (FileName as the message's file, with ":line" of the record where
//   the record is at fault): 119 for a field that is not hexadecimal, a type
//   other than 00 and 01, a record that runs past 0FFFFH, a wrong checksum, or
//   any other character than a blank or a line end before a record (a record
//   whose ':' was damaged is not skipped); 121 when the text ends without an
//   end record; 120 when Progress cancelled.
bool ReadHexText(std::string_view text, std::string_view fileName, HexMemory memory, HexImage image,
                 HexLoadInfo& info, const HexProgress& progress = {});
// The same for the file Path, read whole first ("Error loading file %s (%d)."
// when it cannot be read).
bool ReadHexFile(const std::string& path, HexMemory memory, HexImage image, HexLoadInfo& info,
                 const HexProgress& progress = {});
// The external-data form of a load: the records fill the simulator's XDATA
// image when the current target's memory is the local images; on any other
// target the text is read and checked the same way, and its data are dropped.
// Code memory is never touched.
bool LoadHexXData(std::string_view text, std::string_view fileName, HexLoadInfo& info,
                  const HexProgress& progress = {});

// Writing
// Saves Length bytes of the current target's code memory from Start (cut at
// 0FFFFH) as Intel HEX to FileName: blocks of the target's read size through
// the target access layer, records of 16 bytes, then the end record. The file
// is written under a temporary name and takes FileName's place only when it
// is complete. A failed step (a read that gives nothing, a write, Progress
// cancelling) is reported once and ends the save: no end record, FileName as
// it was. While the user program runs: error 144, nothing written.
bool SaveHexFile(const std::string& fileName, int32_t start, int32_t length, const HexProgress& progress = {});

}  // namespace dorvik
