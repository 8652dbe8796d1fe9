#include "debugger/memshow.h"

#include <algorithm>
#include <string>

#include "access/backend.h"
#include "base/messages.h"
#include "debugger/executor.h"
#include "debugger/memcmds.h"
#include "debugger/terminal.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"

namespace dorvik {

namespace {

bool IsDoublewordSpace(uint8_t t) {
  return t == tok::kCODE || t == tok::kXDATA || t == tok::kRDATA || t == tok::kIDATA || t == tok::kEEPROM;
}

// Values per display line by element size.
size_t ValuesPerLine(int size) {
  switch (size) {
    case 2: return 8;
    case 3: return 5;
    case 4: return 4;
    default: return 16;
  }
}

// " ' ", one character per byte (bit 7 cleared, control characters and 7FH
// as '.'), " '".
using ItemIt = std::vector<tValueItem>::const_iterator;

std::string CharColumn(ItemIt first, ItemIt last) {
  std::string s = " ' ";
  for (auto it = first; it != last; ++it) {
    const char c = static_cast<char>(it->Value & 0x7F);
    s += (c < 0x20 || c == 0x7F) ? '.' : c;
  }
  return s + " '";
}

}  // namespace

int32_t SpaceEnd(uint8_t space) {
  switch (space) {
    case kSpaceCode:
    case kSpaceXData:
    case kSpaceEeprom:
      return 0xFFFF;
    default:
      return 0xFF;
  }
}

bool ReadMemoryOperand(uint8_t token, MemoryOperand& op) {
  // DWORD with a space word is a DOUBLEWORD there; alone, a word of internal
  // data (its token is the word base plus the indirect space).
  if (token == tok::kDWORD && IsDoublewordSpace(PeekToken())) token = tok::kDOUBLEWORD;
  bool spaceWritten = true;
  if (token >= tok::kByteTypeBase && token < tok::kWordTypeBase + 8) {
    op.Space = token & 7;
    op.Type = token == tok::kBIT ? tok::kBIT : token < tok::kWordTypeBase ? tok::kBYTE : tok::kWORD;
  } else {
    op.Type = token;
    uint8_t spaceToken = 0;
    spaceWritten = ReadMemorySpace(spaceToken);
    op.Space = spaceToken & 7;
  }
  if (Messages().ErrorFlag) return false;
  ReadRange(op.Type);
  if (Messages().ErrorFlag) return false;
  EvaluatorState& e = Evaluator();
  if (!spaceWritten) op.Space = e.RangeSpace < kValueSpaceNumber ? e.RangeSpace : kValueSpaceIData;
  if (op.Space == kSpaceDirect && e.RangeStart < 0x80) op.Space = kSpaceIData;
  if (!((CurrentBackend().Capabilities().MemorySpaces >> op.Space) & 1)) {
    ReportError(err::kSystemCommandNotSupported);
    return false;
  }
  const int32_t last = SpaceEnd(op.Space);
  if (e.RangeStart > last) {
    ReportError(err::kPartitionBoundsError);
    return false;
  }
  if (e.RangeEnd > last) {
    const int32_t size = ElementSize(op.Type);
    e.RangeEnd = last - (last - e.RangeStart + 1) % size;
    e.RangeLength = (e.RangeEnd - e.RangeStart + 1) / size;
    if (e.RangeLength < 1) {
      ReportError(err::kPartitionBoundsError);
      return false;
    }
  }
  op.Start = e.RangeStart;
  op.End = e.RangeEnd;
  op.Length = e.RangeLength;
  op.RangeGiven = e.RangeGiven;
  return true;
}

void PrintMemoryLines(uint8_t space, int32_t addr, uint8_t type, const std::vector<tValueItem>& items) {
  const int size = ElementSize(type);
  const size_t perLine = ValuesPerLine(size);
  const uint8_t radix = Formatting().DisplayRadix;
  for (size_t i = 0; i < items.size(); i += perLine) {
    const auto first = items.begin() + static_cast<std::ptrdiff_t>(i);
    const auto last = items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), i + perLine));
    OutToken(static_cast<uint8_t>(tok::kSpaceBase + space));
    OutSpace();
    OutHex4(static_cast<uint16_t>(addr + static_cast<int32_t>(i) * size));
    OutChar('=');
    if (type == tok::kCHAR) {
      OutText(CharColumn(first, last));
    } else {
      for (auto it = first; it != last; ++it) {
        if (it != first) OutChar(',');
        OutText(FormatValue(*it, radix));
      }
      if (type == tok::kBYTE && Executor().ShowAscii) OutText(CharColumn(first, last));
    }
    NewLine();
  }
}

void OutValue(const tValueItem& item) { OutText(FormatValue(item, Formatting().DisplayRadix)); }

}  // namespace dorvik
