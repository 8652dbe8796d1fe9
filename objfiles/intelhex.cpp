#include "objfiles/intelhex.h"

#include <algorithm>
#include <array>
#include <vector>

#include "access/backend.h"
#include "access/portviews.h"
#include "access/target.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/text.h"
#include "machine/images.h"
#include "machine/opcodes.h"
#include "platform/files.h"

namespace dorvik {

namespace {

constexpr size_t kRecordBytes = 16;      // data bytes of a written record
constexpr int32_t kDefaultReadSize = 128;  // block of a save on a target without a read size of its own

// Reports an I/O failure of FileName with the platform's code; the caller stops.
void IOFailed(std::string_view fmt, std::string_view fileName) {
  CheckIOResult(fmt, fileName);
  Messages().ErrorFlag = true;
}

// Reading

// The records of a HEX text, read one field at a time.
class HexRecords {
 public:
  HexRecords(std::string_view text, std::string_view fileName) : text_(text), fileName_(fileName) {}

  // One byte as two hexadecimal digits; false at any other character or the end.
  bool Byte(uint8_t& value) {
    if (text_.size() - pos_ < 2) return false;
    const uint8_t high = HexDigitValue(text_[pos_]);
    const uint8_t low = HexDigitValue(text_[pos_ + 1]);
    if (high > 15 || low > 15) return false;
    value = static_cast<uint8_t>(high << 4 | low);
    pos_ += 2;
    return true;
  }

  // What follows a record's checksum on its line (a comment) is not read:
  // up to the line end or the next record's ':'.
  void SkipRestOfLine() {
    while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != ':') ++pos_;
  }

  enum class Next : uint8_t { Record, End, Stray };
  // Past blanks and line ends to the first field of the next record. Stray:
  // another character stands before it (the ':' of a record may be damaged).
  Next NextRecord() {
    for (; pos_ < text_.size(); ++pos_) {
      const char c = text_[pos_];
      if (c == ':') {
        record_ = pos_++;
        return Next::Record;
      }
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
        record_ = pos_;
        return Next::Stray;
      }
    }
    return Next::End;
  }

  // Error 119 for the record being read (or the stray character), with its line.
  bool NotHex() const {
    const auto line = 1 + std::count(text_.begin(), text_.begin() + static_cast<ptrdiff_t>(record_), '\n');
    ReportError(err::kFileNotCorrectHexFile, std::string(fileName_) + ":" + std::to_string(line));
    return false;
  }

 private:
  std::string_view text_;
  std::string_view fileName_;
  size_t pos_ = 0;
  size_t record_ = 0;  // the record being read (its ':'), or the stray character
};

// The file pass into Scratch, which holds the image's starting contents.
bool ReadRecords(std::string_view text, std::string_view fileName, HexMemory memory, std::span<uint8_t> scratch,
                 HexLoadInfo& info, const HexProgress& progress) {
  HexRecords records(text, fileName);
  for (auto next = records.NextRecord(); next != HexRecords::Next::End; next = records.NextRecord()) {
    if (next == HexRecords::Next::Stray) return records.NotHex();
    uint8_t count = 0, high = 0, low = 0, type = 0, check = 0;
    if (!records.Byte(count) || !records.Byte(high) || !records.Byte(low) || !records.Byte(type))
      return records.NotHex();
    const uint16_t address = static_cast<uint16_t>(high << 8 | low);
    // Nothing of a record goes past the end of its memory, nor wraps to 0000H.
    // Code past 64K is read whole and only counted: the loader refuses the
    // program for its size (error 164), so none of its bytes is kept.
    const bool pastEnd = size_t{address} + count > kHexImageSize;
    if (type > kHexTypeEnd || (pastEnd && (memory != HexMemory::Code || type != kHexTypeData)))
      return records.NotHex();
    uint8_t sum = static_cast<uint8_t>(count + high + low + type);
    std::array<uint8_t, 255> pastBytes{};
    const std::span<uint8_t> data =
        pastEnd ? std::span<uint8_t>(pastBytes.data(), count) : scratch.subspan(address, count);
    for (uint8_t& b : data) {
      if (!records.Byte(b)) return records.NotHex();
      sum = static_cast<uint8_t>(sum + b);
    }
    if (!records.Byte(check) || static_cast<uint8_t>(sum + check) != 0) return records.NotHex();
    records.SkipRestOfLine();

    if (type == kHexTypeEnd) {
      if (!info.StartFound) info.StartAddress = address;
      return true;
    }
    if (uint32_t{address} + count > info.HighestAddress) info.HighestAddress = uint32_t{address} + count - 1;
    if (memory == HexMemory::Code) {
      info.LowestAddress = std::min(info.LowestAddress, address);
      if (count != 0 && !pastEnd) info.Stored.emplace_back(address, static_cast<uint16_t>(address + count - 1));
      // The first-opcode rule: an LJMP alone at the reset address names the start.
      const std::optional<uint16_t> start =
          address == 0 && count == 3 ? StartNamedAtReset(data) : std::nullopt;
      if (start) {
        info.StartAddress = *start;
        info.StartFound = true;
      }
    }
    if (progress && !progress(address)) {
      ReportError(err::kErrorWhileFile, "loading", fileName);
      return false;
    }
  }
  ReportError(err::kFileNotValidObjectFile, fileName);
  return false;
}

}  // namespace

bool ReadHexText(std::string_view text, std::string_view fileName, HexMemory memory, HexImage image,
                 HexLoadInfo& info, const HexProgress& progress) {
  info = HexLoadInfo{};
  std::vector<uint8_t> scratch(kHexImageSize, 0xFF);
  if (memory == HexMemory::XData) std::copy(image.begin(), image.end(), scratch.begin());
  if (!ReadRecords(text, fileName, memory, scratch, info, progress)) return false;
  std::copy(scratch.begin(), scratch.end(), image.begin());
  return true;
}

bool ReadHexFile(const std::string& path, HexMemory memory, HexImage image, HexLoadInfo& info,
                 const HexProgress& progress) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) {
    info = HexLoadInfo{};
    IOFailed("Error loading file %s (%d).", path);
    return false;
  }
  return ReadHexText(text, path, memory, image, info, progress);
}

bool LoadHexXData(std::string_view text, std::string_view fileName, HexLoadInfo& info,
                  const HexProgress& progress) {
  if (CurrentBackend().Capabilities().LocalImages)
    return ReadHexText(text, fileName, HexMemory::XData, Images().XDataImage, info, progress);
  std::vector<uint8_t> dropped(kHexImageSize);
  return ReadHexText(text, fileName, HexMemory::XData, HexImage(dropped.data(), kHexImageSize), info, progress);
}

// Writing


namespace {

// The data records of the range into File, block by block; false after the one report of a failure.
bool WriteCodeRecords(platform::ReplacingFile& file, const std::string& fileName, int32_t start, int32_t length,
                      const HexProgress& progress) {
  MessageState& m = Messages();
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  const int32_t blockSize = caps.ReadChunk > 0 ? std::min(caps.ReadChunk, kRxBufferSize - 1) : kDefaultReadSize;
  std::vector<uint8_t> block(static_cast<size_t>(blockSize));
  std::string lines;
  for (int32_t address = start, end = start + length; address < end;) {
    const std::span<uint8_t> bytes(block.data(), static_cast<size_t>(std::min(blockSize, end - address)));
    // A read that gives nothing ends the save: the target's link reported why,
    // or nothing did (a target without memory) and it is reported here.
    if (!caps.HasTarget || !TargetReadBytes(kSpaceCode, address, bytes) || m.ErrorFlag) {
      if (!m.ErrorFlag) ReportError(err::kTargetDeviceNotResponding);
      return false;
    }
    lines.clear();
    for (size_t at = 0; at < bytes.size(); at += kRecordBytes) {
      const uint16_t recordAddress = static_cast<uint16_t>(address + static_cast<int32_t>(at));
      lines += HexRecordText(recordAddress, kHexTypeData, bytes.subspan(at, std::min(kRecordBytes, bytes.size() - at)));
      lines += "\r\n";
      if (progress && !progress(recordAddress)) {
        ReportError(err::kErrorWhileFile, "saving", fileName);
        return false;
      }
    }
    if (!file.Write(lines)) {
      IOFailed("Error writting to file %s (%d).", fileName);
      return false;
    }
    address += static_cast<int32_t>(bytes.size());
  }
  return true;
}

}  // namespace

bool SaveHexFile(const std::string& fileName, int32_t start, int32_t length, const HexProgress& progress) {
  MessageState& m = Messages();
  RunState& run = Run();
  if (run.ProgramRunning) {
    ReportError(err::kCommandFormNotAllowedDuring);
    m.ErrorFlag = false;
    return false;
  }
  // The port window reads nothing while the save reads the target.
  const PortRefreshStopped portRefreshStopped;
  start = std::clamp(start, 0, static_cast<int32_t>(kHexImageSize) - 1);
  length = std::clamp(length, 0, static_cast<int32_t>(kHexImageSize) - start);

  platform::ReplacingFile file;
  if (!file.Create(fileName)) {
    IOFailed("Error creating file %s (%d).", fileName);
    return false;
  }
  m.ErrorFlag = false;
  Link().RxCount = 0;
  Link().RxIndex = 0;
  const bool wasBusy = run.TargetBusy;
  run.TargetBusy = true;
  const bool saved = WriteCodeRecords(file, fileName, start, length, progress);
  run.TargetBusy = wasBusy;
  // Not complete: the file is dropped and FileName keeps what it held.
  if (!saved) return false;
  if (!file.Write(std::string(kHexEndRecordText) + "\r\n")) {
    IOFailed("Error writting to file %s (%d).", fileName);
    return false;
  }
  if (!file.Commit()) {
    IOFailed("Error closing file %s (%d).", fileName);
    return false;
  }
  m.ErrorFlag = false;
  m.WarningFlag = false;
  return true;
}

}  // namespace dorvik
