#include "assembler/asmhex.h"

#include "base/hexrecord.h"

#include <algorithm>
#include <ostream>

#include "assembler/context.h"
#include "assembler/asmerrors.h"
#include "assembler/controls.h"
#include "assembler/listing.h"
#include "lang/formatting.h"

namespace dorvik::as {

std::string HexDataRecordText(uint16_t address, std::span<const uint8_t> bytes) {
  return HexRecordText(address, kHexTypeData, bytes);
}

namespace {

bool HexActive(const AsmContext& cx) {
  return cx.out.Files.HexOpen && cx.out.Files.Hex && cx.HexRequested;
}

void WriteHexLine(AsmContext& cx, std::string_view text) {
  *cx.out.Files.Hex << text << kFileLineEnd;
  CheckOutputIO(cx, cx.out.Files.Hex.get());
}

}  // namespace

void FlushHexRecord(AsmContext& cx) {
  HexState& h = cx.out.HexRecord;
  if (h.Count == 0) return;
  if (HexActive(cx)) WriteHexLine(cx, HexDataRecordText(h.Address, std::span(h.Data.data(), h.Count)));
  h.Address = static_cast<uint16_t>(h.Address + h.Count);
  h.Count = 0;
}

void AddHexBytes(AsmContext& cx, uint32_t address, std::span<const uint8_t> bytes) {
  if (!HexActive(cx)) return;
  HexState& h = cx.out.HexRecord;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint32_t at = (address + i) & 0xFFFF;
    // A byte that does not follow the pending record (a gap, or the wrap from
    // FFFFH to 0) starts a record of its own.
    if (h.Count > 0 && static_cast<uint32_t>(h.Address) + h.Count != at) FlushHexRecord(cx);
    if (h.Count == 0) h.Address = static_cast<uint16_t>(at);
    h.Data[h.Count++] = bytes[i];
    if (h.Count == h.Data.size()) FlushHexRecord(cx);
  }
}

void AddHexBytes(AsmContext& cx) {
  AddHexBytes(cx, cx.line.StatementLocation, cx.line.EmittedBytes());
}

void StopHexOutput(AsmContext& cx, std::string_view why) {
  if (!cx.HexEligible) return;
  cx.HexEligible = false;
  if (cx.AsmPass != 2 || !HexActive(cx)) return;
  FlushHexRecord(cx);
  cx.HexStopWarning = "WARNING: HEX FILE " + Control(cx, ControlId::Hex).Value + " ENDS BEFORE " +
                      FormatHex4(static_cast<uint16_t>(cx.line.StatementLocation)) + "H WITHOUT END RECORD: " +
                      std::string(why);
}

void CloseHexFile(AsmContext& cx) {
  if (!cx.out.Files.HexOpen) return;
  // After a stop the file gets no end record, so that a loader refuses a
  // module that still needs the linker.
  if (cx.out.Files.Hex && cx.HexRequested && cx.HexEligible) {
    FlushHexRecord(cx);
    WriteHexLine(cx, kHexEndRecord);
  }
  cx.out.HexRecord.Count = 0;
  if (!cx.HexStopWarning.empty()) cx.StatusText += "\r\n" + cx.HexStopWarning;
  if (cx.out.Files.Hex) cx.out.Files.Hex->flush();
  CheckOutputIO(cx, cx.out.Files.Hex.get());
  CommitAsmFile(cx, cx.out.Files.Hex.get(), kKindHex, Control(cx, ControlId::Hex).Value);
  cx.out.Files.Hex.reset();
  cx.out.Files.HexOpen = false;
}

}  // namespace dorvik::as
