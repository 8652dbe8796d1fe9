#include "access/target.h"

#include <array>

#include <algorithm>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/linerender.h"
#include "access/linkstate.h"
#include "access/portviews.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/session.h"
#include "lang/collections.h"
#include "lang/cpudb.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/target_access.h"
#include "lang/typetext.h"
#include "machine/disassembler.h"
#include "machine/simulator.h"

namespace dorvik {

namespace {

// The monitor's target error number for its own break opcode in code memory.
constexpr int kTargetErrorBreakOpcode = 0x17;  // the target's error "17", read as hex

// Processors without timer 2: TM2 and RCAP2 are unknown there.
constexpr std::array<std::string_view, 7> kCpusWithoutTimer2 = {"51", "44", "652", "451", "452", "152", "51GA"};

bool HasNoTimer2() {
  const std::string& name = CpuDb().CpuName;
  return std::find(kCpusWithoutTimer2.begin(), kCpusWithoutTimer2.end(), name) != kCpusWithoutTimer2.end();
}

bool IsTimer2Register(uint8_t token) { return token == tok::kTM2 || token == tok::kRCAP2; }

// A register pair, high byte first: into the local images, or through the
// target's own write, so that a pair written on a board reaches it.
void WritePair(uint8_t high, uint8_t low, int32_t value) {
  TargetBackend& backend = CurrentBackend();
  if (backend.Capabilities().WritesValues || !backend.Capabilities().HasTarget) {
    TargetWriteValue(kSpaceDirect, high, (value >> 8) & 0xFF, 1);
    TargetWriteValue(kSpaceDirect, low, value & 0xFF, 1);
    return;
  }
  const uint8_t hi = static_cast<uint8_t>(value >> 8), lo = static_cast<uint8_t>(value);
  if (backend.WriteBlock(kSpaceDirect, high, std::span<const uint8_t>(&hi, 1), false, {}))
    backend.WriteBlock(kSpaceDirect, low, std::span<const uint8_t>(&lo, 1), false, {});
}

// The access layer as the evaluator sees it.
class LayerAccess final : public TargetAccess {
 public:
  int32_t RegisterValue(uint8_t regToken) override { return TargetRegisterValue(regToken); }
  uint8_t ReadByte(uint8_t space, uint32_t addr) override {
    return TargetReadByte(space, static_cast<int32_t>(addr));
  }
  void ReadTypedRange(uint8_t space, uint8_t typeToken) override {
    ValueList().Items.clear();
    int32_t addr = Evaluator().RangeStart;
    TargetReadTypedBlock(space, addr, typeToken, Evaluator().RangeLength);
  }
  // A number is its value; a code label, procedure or line stands for its
  // address (its "contents" are where it is); a variable with a debug type
  // is read with that type (all elements of an array, a void one is its
  // address); any other symbol is its first byte (its bit in the bit space),
  // read from its own space.
  void ReadSymbolValue(const tSymbolItem& symbol) override {
    ValueList().Items.clear();
    const uint8_t cls = symbol.SymClass & 15;
    uint8_t elemType = 0;
    int32_t count = 0;
    if (cls == kClassNumber) {
      AppendValue(tok::kWORD, symbol.Value & 0xFFFF);
    } else if (cls < kClassProcedure && symbol.VarType == kVoidType) {
      AppendValue(tok::kWORD, symbol.Value & 0xFFFF);
    } else if (cls < kClassProcedure && symbol.VarType != 0 && DebugTypeElements(symbol.VarType, elemType, count)) {
      ReadTyped(symbol, elemType, count);
    } else if (cls >= kClassProcedure || (symbol.SymClass & 7) == kClassCode) {
      AppendValue(tok::kADDRESS, symbol.Value);
    } else {
      TargetReadByte(symbol.SymClass & 7, static_cast<int32_t>(symbol.Value));
    }
  }

 private:
  static constexpr int32_t kVoidType = 11;

  // Count elements of ElemType from the symbol's address, kept inside its space.
  static void ReadTyped(const tSymbolItem& symbol, uint8_t elemType, int32_t count) {
    uint8_t space = symbol.SymClass & 7;
    auto addr = static_cast<int32_t>(symbol.Value & 0xFFFF);
    if (space == kSpaceBit || elemType == tok::kBIT) {
      TargetReadByte(kSpaceBit, addr);
      return;
    }
    if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
    const int32_t last = space == kSpaceCode || space == kSpaceXData || space == kSpaceEeprom ? 0xFFFF : 0xFF;
    const int32_t size = ElementSize(elemType);
    count = std::min(count, (last - addr + 1) / size);
    if (count <= 0) {
      ReportError(err::kPartitionBoundsError);
      return;
    }
    tValueList& list = ValueList();
    list.ElemType = elemType;
    TargetReadTypedBlock(space, addr, elemType, count);
  }
};

LayerAccess g_layerAccess;

}  // namespace

TargetState& Target() { return CurrentSession().Get<TargetState>(); }

void InstallTargetAccess() {
  SetTargetAccess(&g_layerAccess);
  // A long simulator run moves "$" along with it.
  Simulator().ShowProgress = [](uint16_t pc) { Run().CurrentPC = pc; };
  // The port views read again only after an instruction changed a port.
  Simulator().PortsChanged = [] {
    static PortViewState* const views = &PortViews();
    ++views->PortChanges;
  };
}

// Reading

bool TargetReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  return CurrentBackend().ReadBytes(space, addr, out);
}

bool TargetReadBlock(uint8_t space, int32_t addr, int32_t count) {
  if (count <= 0) return true;
  // RxBuffer is 1-based: positions 1..kRxBufferSize - 1 hold data.
  if (count >= kRxBufferSize) {
    ReportError(err::kDorvikInternalError);
    return false;
  }
  return CurrentBackend().ReadBlock(space, addr, count);
}

uint8_t TargetReadByte(uint8_t space, int32_t addr) {
  space &= 7;
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  uint8_t mask = 0;
  if (space == kSpaceBit) {
    const BitPlace p = PlaceOfBit(addr);
    space = p.Space;
    addr = p.Byte;
    mask = p.Mask;
  }
  // An internal address past FFH reads nothing: FFH then, not a stale byte.
  Link().RxBuffer[1] = 0xFF;
  if (!TargetReadBlock(space, addr, 1)) {
    ReportError(err::kFramingError);
    return 0;
  }
  uint8_t value = Link().RxBuffer[1];
  if (mask) value = (value & mask) ? 1 : 0;
  Scanner().ExprValue = value;
  AppendValue(mask ? tok::kBIT : tok::kBYTE, value);
  return value;
}

bool TargetReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  return CurrentBackend().ReadTypedBlock(space, addr, typeToken, count);
}

// Writing

void TargetWriteValue(uint8_t space, int32_t addr, int32_t value, uint8_t size) {
  TargetBackend& backend = CurrentBackend();
  const TargetCapabilities caps = backend.Capabilities();
  if (!caps.WritesValues) return;
  space &= 7;
  if (space == kSpaceDirect && addr >= 0 && addr < 0x80) space = kSpaceIData;
  if (space == kSpaceBit) {
    const BitPlace p = PlaceOfBit(addr);
    uint8_t byte = TargetReadByte(p.Space, p.Byte);
    byte = value ? (byte | p.Mask) : (byte & static_cast<uint8_t>(~p.Mask));
    space = p.Space;
    addr = p.Byte;
    value = byte;
    size = 1;
  }
  if (space > kSpaceIData) return;
  const int32_t limit = space <= kSpaceXData ? 0xFFFF : 0xFF;
  for (int k = 0; k < size; ++k) {
    const int64_t a = int64_t{addr} + k;
    if (a < 0 || a > limit) break;
    const int shift = 8 * (size - 1 - k);
    const uint8_t b = shift < 32 ? static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift) : 0;
    backend.WriteByte(space, static_cast<int32_t>(a), b, size == 1);
    // On the local images the layer keeps P in step with ACC, as the processor does.
    if (caps.LocalImages && space == kSpaceDirect && (a == sfr::ACC || a == sfr::PSW)) UpdateParityFlag();
  }
}

void TargetWriteCodeByte(uint16_t addr, std::string_view valueText) {
  CurrentBackend().WriteCodeByte(addr, valueText);
}

void CodeImageChanged(uint16_t addr) {
  Target().CodeCacheAddr = -1;
  DisasLines().InvalidateLines(addr);
  InvalidateDecoded(addr);
}

void CodeImageChanged() {
  Target().CodeCacheAddr = -1;
  DisasLines().InvalidateAll();
  InvalidateAllDecoded();
}

// Code lines

namespace {

// Reads the hex number of Len characters at Pos; -1 when it is not one.
int32_t HexField(const std::string& s, size_t pos, size_t len) {
  if (pos + len > s.size()) return -1;
  int32_t v = 0;
  for (size_t i = 0; i < len; ++i) {
    const uint8_t d = HexDigitValue(s[pos + i]);
    if (d > 15) return -1;
    v = v * 16 + d;
  }
  return v;
}

// Decodes Bytes at Addr into the line item; false when the text does not read back.
bool BuildLine(tDisasLine& item, uint16_t addr, uint32_t bytes) {
  const std::string text = Disassemble(addr, bytes);
  const int32_t address = HexField(text, 0, 4);
  if (address < 0) return false;
  std::array<uint8_t, 3> code{};
  uint8_t count = 0;
  for (size_t col = kDisasBytesColumn; count < 3 && col < kDisasBytesColumn + 6; col += 2) {
    if (col >= text.size() || text[col] == ' ') break;
    const int32_t b = HexField(text, col, 2);
    if (b < 0) return false;
    code[count++] = static_cast<uint8_t>(b);
  }
  if (count == 0) return false;
  item.Addr = static_cast<uint16_t>(address);
  item.BytesNo = count;
  item.OpCode = code[0];
  item.DisasText = text;
  PlainDisasLineFields(item);
  BuildDisasLineLabels(item);
  return true;
}

}  // namespace

std::string DisassembleLine(int32_t addr) {
  RunState& run = Run();
  const bool wasBusy = run.TargetBusy;
  run.TargetBusy = true;
  const uint16_t address = static_cast<uint16_t>(addr);
  tDisasLine& item = DisasLines().GetItem(address);
  std::string text;
  bool built = false;
  bool readable = true;
  if (item.IsDecoded()) {
    text = ConsoleLineText(item);
    if (run.ProgramRunning) {
      run.TargetBusy = wasBusy;
      return text;
    }
    // Decoded again from the bytes the item holds.
    uint32_t bytes = item.OpCode;
    for (size_t k = 1; k < item.BytesNo; ++k) {
      const int32_t b = HexField(item.DisasText, kDisasBytesColumn + 2 * k, 2);
      if (b >= 0) bytes |= static_cast<uint32_t>(b) << (8 * k);
    }
    built = BuildLine(item, address, bytes);
  } else if (run.TargetReady) {
    TargetState& t = Target();
    if (t.CodeCacheAddr < 0 || addr < t.CodeCacheAddr || addr > t.CodeCacheAddr + 13) {
      if (!TargetReadBytes(kSpaceCode, address, t.CodeCache)) readable = false;
      else t.CodeCacheAddr = address;
    }
    if (readable) {
      const size_t at = static_cast<size_t>(address - t.CodeCacheAddr);
      uint32_t bytes = t.CodeCache[at] | uint32_t{t.CodeCache[at + 1]} << 8 | uint32_t{t.CodeCache[at + 2]} << 16;
      if (address > 0xFFFD) {
        // The instruction's bytes go on at 0000H, as the program counter does.
        std::array<uint8_t, 2> wrapped{};
        const size_t inside = static_cast<size_t>(0x10000 - address);
        if (!TargetReadBytes(kSpaceCode, 0, std::span<uint8_t>(wrapped.data(), 3 - inside))) readable = false;
        for (size_t k = inside; k < 3; ++k) {
          bytes &= ~(uint32_t{0xFF} << (8 * k));
          bytes |= uint32_t{wrapped[k - inside]} << (8 * k);
        }
      }
      if (readable) built = BuildLine(item, address, bytes);
    }
  } else {
    readable = false;
  }
  if (built) {
    text = ConsoleLineText(item);
  } else if (readable || item.IsDecoded()) {
    MessageState& m = Messages();
    item.Invalidate();
    text.clear();
    if (m.LastErrorCode == err::kTargetError && m.TargetErrorNumber == kTargetErrorBreakOpcode) {
      // The monitor reports its break opcode: shown as a data byte.
      item.Addr = address;
      item.BytesNo = 1;
      item.OpCode = 0xA5;
      item.CodeBytes = "A5";
      item.Instruction = "DB      0A5H";
      item.Comment.clear();
      item.SourceLine = JoinRenderedText(address, item.CodeBytes, item.Instruction);
      item.DisasText = item.SourceLine;
      Link().RxIndex = Link().RxCount;
      text = ConsoleLineText(item);
    } else if (m.ShowMessageBoxes) {
      ReportError(err::kFramingError);
    }
  }
  if (text.empty()) {
    // Message output is switched back on after a line that could not be shown.
    SuspendMessages();
    ResumeMessages();
  }
  run.TargetBusy = wasBusy;
  return text;
}

// Registers

void TargetGetRegisters(tRegisterFrame& frame) {
  LinkState& link = Link();
  link.RxIndex = 0;
  std::fill(link.RxBuffer.begin(), link.RxBuffer.begin() + 11, uint8_t{0});
  link.RxCount = 0;
  CurrentBackend().GetRegisters(frame);
}

int32_t TargetRegisterValue(uint8_t regToken) {
  ScannerState& scan = Scanner();
  scan.ScanToken = tok::kNumberValue;
  if (IsTimer2Register(regToken) && HasNoTimer2()) {
    ReportError(err::kSymbolNotKnownForCurrent);
    scan.ExprValue = 0;
    return 0;
  }
  uint8_t high = 0, low = 0;
  if ((regToken == tok::kAB || IsTimer2Register(regToken)) && PairOf(regToken, high, low)) {
    const int32_t v = ReadPair(high, low);
    scan.ExprValue = v;
    return v;
  }
  int32_t value = static_cast<int32_t>(LowBits32(scan.ExprValue));
  switch (CurrentBackend().ReadRegister(regToken, value)) {
    case RegisterRead::Failed: return 0;
    case RegisterRead::Value: scan.ExprValue = value; break;
    case RegisterRead::Unknown: break;
  }
  return static_cast<int32_t>(LowBits32(scan.ExprValue));
}

bool TargetSetRegister(uint8_t regToken, int32_t value) {
  MessageState& m = Messages();
  const bool earlierError = m.ErrorFlag;
  m.ErrorFlag = false;
  if (IsTimer2Register(regToken) && HasNoTimer2()) {
    ReportError(err::kSymbolNotKnownForCurrent);
    return false;
  }
  uint8_t high = 0, low = 0;
  if (PairOf(regToken, high, low))
    WritePair(high, low, value);
  else
    CurrentBackend().SetRegister(regToken, value);
  const bool ok = !m.ErrorFlag;
  m.ErrorFlag = m.ErrorFlag || earlierError;
  return ok;
}

}  // namespace dorvik
