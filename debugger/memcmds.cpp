#include "debugger/memcmds.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "access/backend.h"
#include "base/dialogs.h"
#include "base/messages.h"
#include "base/session.h"
#include "debugger/executor.h"
#include "debugger/memshow.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/typedvalue.h"

namespace dorvik {

MemCmdsState& MemCmds() { return CurrentSession().Get<MemCmdsState>(); }

namespace {

bool Failed() { return Messages().ErrorFlag; }

bool IsWordType(uint8_t type) { return type == tok::kADDRESS || type == tok::kINTEGER || type == tok::kWORD; }

// The memory keywords of the command table, which may also stand as a source.
bool IsMemoryKeyword(uint8_t t) {
  switch (t) {
    case tok::kCBYTE: case tok::kXBYTE: case tok::kRBYTE: case tok::kDBYTE: case tok::kBIT:
    case tok::kPBYTE: case tok::kEBYTE: case tok::kCWORD: case tok::kXWORD: case tok::kDWORD:
    case tok::kPWORD: case tok::kBOOLEAN: case tok::kADDRESS: case tok::kCHAR: case tok::kBYTE:
    case tok::kINTEGER: case tok::kWORD: case tok::kLONGINT: case tok::kDOUBLEWORD: case tok::kFLOAT:
    case tok::kPOINTER:
      return true;
    default:
      return false;
  }
}

// The raw bits of a typed value: a FLOAT as its single-precision pattern, a
// BIT as 0 or 1, anything else as its two's complement.
uint32_t RawValue(uint8_t type, long double v) {
  if (type == tok::kFLOAT) return std::bit_cast<uint32_t>(static_cast<float>(v));
  if (type == tok::kBIT) return v != 0 ? 1 : 0;
  return LowBits32(v);
}

void ShowRange(const MemoryOperand& op) {
  const int32_t size = ElementSize(op.Type);
  int32_t addr = op.Start;
  int32_t left = op.Length;
  tValueList& list = ValueList();
  while (left > 0) {
    list.Items.clear();
    list.ElemType = op.Type;
    const int32_t n = ReadTypedBlock(op.Space, addr, op.Type);
    if (n <= 0) break;
    left -= n;
    PrintMemoryLines(op.Space, addr, op.Type, list.Items);
    addr += n * size;
  }
}

// Copies the bytes of the destination's range (the source's whole range when
// the destination is a single element) from the source.
void CopyRange(const MemoryOperand& dst, const MemoryOperand& src) {
  int32_t count = dst.RangeGiven ? dst.End - dst.Start + 1 : src.End - src.Start + 1;
  count = std::min(count, SpaceEnd(dst.Space) - dst.Start + 1);
  CurrentBackend().CopyBlock(dst.Space, dst.Start, src.Space, src.Start, count);
  // A board's registers are asked at its next stop, not after every write.
  RefreshDebugViews(false);
}

void ModifyRange(const MemoryOperand& dst) {
  MemCmdsState& mc = MemCmds();
  mc.ModStart = static_cast<uint16_t>(dst.Start);
  mc.ModEnd = static_cast<uint16_t>(dst.End);
  // The values are kept apart from the value list, which every expression
  // that reads memory refills.
  std::vector<tValueItem> values;
  for (;;) {
    const uint8_t next = PeekToken();
    if (Failed()) return;
    if (next == tok::kQuote && !IsWordType(dst.Type)) {
      GetToken();
      for (char c = ReadQuotedChar(); c != '\0' && !Failed(); c = ReadQuotedChar())
        values.push_back({dst.Type, static_cast<uint8_t>(c)});
      if (Failed()) return;
      SkipBlanks();
    } else if (IsMemoryKeyword(next)) {
      GetToken();
      MemoryOperand src;
      if (!ReadMemoryOperand(next, src)) return;
      const bool bits = dst.Type == tok::kBIT || src.Type == tok::kBIT;
      if (values.empty() && src.RangeGiven && !bits && src.End - src.Start >= dst.End - dst.Start &&
          PeekToken() == tok::kEndOfLine) {
        CopyRange(dst, src);
        return;
      }
      ReadTypedRange(src.Space, src.Type);
      if (Failed()) return;
      values.insert(values.end(), ValueList().Items.begin(), ValueList().Items.end());
    } else {
      const long double v = Expression(tok::kNone);
      if (Failed()) return;
      values.push_back({dst.Type, RawValue(dst.Type, v)});
    }
    if (PeekToken() != tok::kComma) break;
    GetToken();
  }
  if (!CheckEndOfLine()) return;

  tValueList& list = ValueList();
  list.ElemType = dst.Type;
  list.Items = std::move(values);
  if ((dst.Type == tok::kBIT || dst.Type == tok::kBYTE) && list.Count() == 1) {
    mc.ValueIndex = dst.Length;
    WriteMemoryList(dst.Space, dst.Start, true);
    return;
  }
  if (dst.Type == tok::kBIT) {
    mc.ValueIndex = dst.RangeGiven ? dst.Length : list.Count();
  } else {
    const int32_t count = list.Count();
    ValuesToBytes();
    // Every byte of every value: the range's bytes, or all the values' bytes.
    mc.ValueIndex = dst.RangeGiven ? dst.Length * ElementSize(dst.Type) : count * ElementSize(dst.Type);
  }
  WriteMemoryList(dst.Space, dst.Start, false);
}

}  // namespace

// Reading in chunks

int32_t ReadTypedBlock(uint8_t space, int32_t addr, uint8_t typeToken) {
  const int32_t chunk = CurrentBackend().Capabilities().ReadChunk;
  int32_t bytes = Evaluator().RangeEnd - addr + 1;
  if (chunk > 0) bytes = std::min(bytes, chunk);
  if (typeToken == tok::kPOINTER) bytes -= bytes % 3;
  const int32_t elements = bytes / ElementSize(typeToken);
  if (elements <= 0) return 0;
  tValueList& list = ValueList();
  const size_t before = list.Items.size();
  int32_t at = addr;
  if (!TargetReadTypedBlock(space, at, typeToken, elements) || Failed()) {
    list.Items.resize(std::min(before, list.Items.size()));
    return 0;
  }
  return static_cast<int32_t>(list.Items.size() - before);
}

void ReadTypedRange(uint8_t space, uint8_t typeToken) {
  tValueList& list = ValueList();
  list.Items.clear();
  list.ElemType = typeToken;
  const EvaluatorState& e = Evaluator();
  int32_t addr = e.RangeStart;
  int32_t left = e.RangeLength;
  while (left > 0) {
    const int32_t n = ReadTypedBlock(space, addr, typeToken);
    if (n <= 0 || Failed()) break;
    addr += n * ElementSize(typeToken);
    left -= n;
  }
}

// Writing

bool WriteMemoryList(uint8_t space, int32_t addr, bool fill) {
  const tValueList& list = ValueList();
  const int32_t total = MemCmds().ValueIndex;
  const size_t n = list.Items.size();
  if (n == 0) {
    ReportWarning(warn::kPartitionBoundsIncomplete);
    return false;
  }
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  bool ok = true;
  if (list.ElemType == tok::kBIT) {
    std::vector<uint8_t> bits(static_cast<size_t>(std::clamp(0x100 - addr, 0, std::max(total, 0))));
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = list.Items[i % n].Value & 1;
    ok = CurrentBackend().WriteBits(addr, bits, fill);
  } else {
    const int32_t count = std::clamp(SpaceEnd(space) - addr + 1, 0, std::max(total, 0));
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(list.Items[i % n].Value);
    TargetBackend& backend = CurrentBackend();
    const TargetCapabilities caps = backend.Capabilities();
    // A write over a link shows its progress and can be cancelled.
    WriteProgress progress;
    TProgressDlg& dialog = Dialogs().ProgressDlg;
    const bool showProgress = caps.HasTarget && !caps.LocalImages;
    if (showProgress) {
      dialog.Show("Fill memory");
      progress = [&dialog](int32_t done, int32_t all) {
        dialog.SetProgress(done, all);
        return !dialog.PollCancelled();
      };
    }
    ok = backend.WriteBlock(space, addr, bytes, fill, progress);
    if (showProgress) dialog.Hide();
  }
  RefreshDebugViews(false);
  return ok && !Failed();
}

// Handlers

void CmdMemory() {
  if (!TargetStopped()) return;
  MemoryOperand op;
  if (!ReadMemoryOperand(Executor().CommandToken, op)) return;
  if (PeekToken() == tok::kEqual) {
    GetToken();
    ModifyRange(op);
    return;
  }
  if (!CheckEndOfLine()) return;
  ShowRange(op);
}

void CmdChecksum() {
  if (!TargetStopped()) return;
  MemoryOperand op;
  // A memory keyword names the range's space ("CHECKSUM XBYTE 0 TO 3").
  uint8_t token = tok::kBYTE;
  const uint8_t next = PeekToken();
  if (next >= tok::kByteTypeBase && next < tok::kByteTypeBase + 8 && next != tok::kBIT) token = GetToken();
  if (!ReadMemoryOperand(token, op) || !CheckEndOfLine()) return;
  uint32_t sum = 0;
  int32_t addr = op.Start;
  int32_t left = op.Length;
  tValueList& list = ValueList();
  while (left > 0) {
    list.Items.clear();
    list.ElemType = tok::kBYTE;
    const int32_t n = ReadTypedBlock(op.Space, addr, tok::kBYTE);
    // The sum of a part of the range is no checksum of it.
    if (n <= 0) return;
    for (const tValueItem& item : list.Items) sum += item.Value & 0xFF;
    left -= n;
    addr += n;
  }
  OutToken(tok::kCHECKSUM);
  OutChar('=');
  OutHex4(static_cast<uint16_t>(sum));
  NewLine();
}

}  // namespace dorvik
