// The monitor program on a board as a debug target, reached through the
// monitor link (access/monitorlink.h). The monitor runs the program itself and keeps
// two break registers, BR0 and BR1.

#include "access/backend.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "access/monitorlink.h"
#include "access/linkstate.h"
#include "lang/typedvalue.h"
#include "lang/valuelist.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/text.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"

namespace dorvik {

namespace {

// A line of keyword texts in the monitor's words ("RESET BR0" goes out as "RESE BR0").
bool SendWords(std::string_view line) {
  bool first = true;
  for (size_t at = 0; at < line.size();) {
    const size_t end = std::min(line.find(' ', at), line.size());
    const std::string word(line.substr(at, end - at));
    at = end + 1;
    if (word.empty()) continue;
    if (!first && !MonitorSendSpace()) return false;
    first = false;
    const int row = FirstAcceptingRow(word);
    const uint8_t token = row >= 0 ? KeywordTable[static_cast<size_t>(row)].Token : 0;
    const bool ok = token && KeywordTable[static_cast<size_t>(row)].Name == word ? MonitorSendKeyword(token)
                                                                                 : MonitorSendString(word);
    if (!ok) return false;
  }
  if (!MonitorEndCommand()) return false;
  // A break register dropped ("RESE BR0") is followed by XON: a monitor that holds its output goes on.
  if (line.rfind(TrimBlanks(TokenText(tok::kRESET)), 0) == 0 && !MonitorSendXon()) return false;
  return MonitorWaitPrompt();
}

class MonitorBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override {
    return {.HasTarget = true, .LocalImages = false, .WritesValues = false, .RunsProgramItself = true,
            .BreakRegisters = true, .BreakPatchBytes = 3, .LastBreakIndex = 1, .ReadChunk = 16};
  }

  bool SendCommandLine(std::string_view line) override { return SendWords(line); }
  void TakeErrorReply(std::string& arg1) override { MonitorTakeErrorReply(arg1); }
  LinkHabits Habits() const override { return {.CharTimeoutMs = kMonitorCharTimeoutMs, .XonWhenSilent = true}; }
  bool TakeNews(LinkNews& news) override { return MonitorTakeNews(news); }

  // Memory

  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
    return MonitorReadBlock(space, addr, bytes);
  }

  // Bits by their own addresses ("RBIT 0B TO 0C"), one reply value per bit:
  // a port's bit is read as the monitor reads it, not through a byte read.
  bool ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) override {
    if ((space & 7) != kSpaceBit || (typeToken != tok::kBIT && TypedValueSize(typeToken) != 1))
      return TargetBackend::ReadTypedBlock(space, addr, typeToken, count);
    const int32_t n = std::min(count, 0x100 - addr);
    if (n <= 0) return true;
    std::vector<uint8_t> bits(static_cast<size_t>(n));
    if (!MonitorReadBlock(kSpaceBit, addr, bits)) return false;
    for (uint8_t bit : bits) AppendValue(typeToken, bit ? 1 : 0);
    return true;
  }

  // Bits by their bit addresses, never through the bytes that hold them:
  // a fill as one ranged command.
  bool WriteBits(int32_t bitAddr, std::span<const uint8_t> bits, bool fill) override {
    return WriteBlock(kSpaceBit, bitAddr, bits, fill, {});
  }

  // The monitor takes the whole text: "CB", the address, "=" and the bytes ("CB 1234=0A5").
  void WriteCodeByte(uint16_t addr, std::string_view valueText) override {
    std::string command = "CB " + FormatHex4(addr);
    command += '=';
    command += valueText;
    command += '\r';
    if (MonitorSendString(command)) MonitorWaitPrompt();
    // The lines of the bytes written are decoded again (a break text has at most three).
    for (uint16_t i = 0; i < 3; ++i) CodeImageChanged(static_cast<uint16_t>(addr + i));
  }

  // Values: 8 per command ("XBYT 00100=01,02,..."); a fill as ranged commands
  // of at most 256 bytes ("XBYT 00000 TO 000FF=55"), also its last chunk of
  // one byte ("XBYT 00100 TO 00100=55"). Each command waits for
  // the monitor's prompt before the next one goes out.
  bool WriteBlock(uint8_t space, int32_t addr, std::span<const uint8_t> bytes, bool fill,
                  const WriteProgress& progress) override {
    const int32_t total = static_cast<int32_t>(bytes.size());
    const int32_t chunk = fill ? 256 : 8;
    // Code written: the lines there are decoded again, also after a write that failed halfway.
    struct Forget {
      uint8_t Space;
      int32_t Addr, Total;
      ~Forget() {
        if ((Space & 7) == kSpaceCode)
          for (int32_t i = 0; i < Total; ++i) CodeImageChanged(static_cast<uint16_t>(Addr + i));
      }
    } forget{space, addr, total};
    for (int32_t done = 0; done < total; done += chunk) {
      const int32_t n = std::min(chunk, total - done);
      const int32_t start = addr + done;
      // A fill chunk names its range also when it holds one byte ("XBYT 00800 TO 00800=01").
      const bool range = fill && total > 1;
      if (!MonitorSendRange(space, start, fill ? start + n - 1 : start, range) || !MonitorSendChar('=')) return false;
      for (int32_t i = 0; i < (fill ? 1 : n); ++i)
        if ((i && !MonitorSendChar(',')) || !MonitorSendByte(bytes[static_cast<size_t>(done + i)])) return false;
      if (!MonitorEndCommand()) return false;
      // Each write command but the last is followed by XON (a monitor that holds its output goes on).
      if (!fill && done + n < total && !MonitorSendXon()) return false;
      if (!MonitorWaitPrompt()) return false;
      if (progress && !progress(done + n, total)) return false;
    }
    return true;
  }

  // The monitor copies itself: "XBYT 00000=XBYT 00100 TO 0010F".
  bool CopyBlock(uint8_t dstSpace, int32_t dst, uint8_t srcSpace, int32_t src, int32_t count) override {
    if (count <= 0) return true;
    if ((dstSpace & 7) == kSpaceCode)
      for (int32_t i = 0; i < count; ++i) CodeImageChanged(static_cast<uint16_t>(dst + i));
    return MonitorSendRange(dstSpace, dst, dst) && MonitorSendChar('=') &&
           MonitorSendRange(srcSpace, src, src + count - 1) && MonitorEndCommand() && MonitorSendXon() &&
           MonitorWaitPrompt();
  }

  bool RegisterLines(std::vector<std::string>& lines) override {
    lines.assign(2, std::string());
    return MonitorRegisterList(lines[0], lines[1]);
  }

  // Registers: the register list at a stop; single registers are asked by keyword.

  // The list's NAME=value pairs (hexadecimal) over its two lines; a register
  // the list does not name keeps the frame's value.
  void GetRegisters(tRegisterFrame& frame) override {
    std::string first, second;
    if (!MonitorRegisterList(first, second)) return;
    for (const std::string& line : {first, second}) {
      for (size_t at = 0; at < line.size();) {
        const size_t end = std::min(line.find(' ', at), line.size());
        const std::string word = UpperCase(line.substr(at, end - at));
        at = end + 1;
        const size_t eq = word.find('=');
        if (eq == std::string::npos || eq + 1 >= word.size()) continue;
        uint32_t value = 0;
        bool hex = true;
        for (char c : word.substr(eq + 1)) {
          const uint8_t d = HexDigitValue(c);
          if (d > 15) hex = false;
          value = value * 16 + d;
        }
        if (!hex) continue;
        const std::string name = word.substr(0, eq);
        const auto byte = static_cast<uint8_t>(value);
        if (name == "PC") frame.PC = value & 0xFFFF;
        else if (name == "DPTR") frame.DPTR = value & 0xFFFF;
        else if (name == "ACC" || name == "A") frame.ACC = byte;
        else if (name == "B") frame.B = byte;
        else if (name == "PSW") frame.PSW = byte;
        else if (name == "SP") frame.SP = byte;
        else if (name.size() == 2 && name[0] == 'R' && name[1] >= '0' && name[1] <= '7')
          frame.R[static_cast<size_t>(name[1] - '0')] = byte;
      }
    }
  }

  RegisterRead ReadRegister(uint8_t regToken, int32_t& value) override {
    return MonitorQueryRegister(regToken, value) ? RegisterRead::Value : RegisterRead::Failed;
  }

  void SetRegister(uint8_t regToken, int32_t value) override { MonitorSetRegister(regToken, value); }

  // Run control: the monitor runs the program and stops at BR0/BR1 itself.

  bool Go(uint16_t from, std::string_view till) override { return MonitorGo(from, till); }
  bool GoTillBr1(uint16_t from) override { return MonitorGoTillBr1(from); }

  // The stop clause names the break registers that hold a break, FOREVER when none does.
  bool GoWithBreaks(uint16_t from, const GoBreaks& breaks) override {
    std::string till;
    if (breaks.Cursor) {
      till = "TILL BR0";
    } else {
      // The same word form as the address after FROM.
      if (breaks.Arm) till = "ARM " + MonitorWordText(*breaks.Arm) + " ";
      if (breaks.Break0 && breaks.Break1)
        till += "TILL BR";
      else if (breaks.Break0)
        till += "TILL BR0";
      else if (breaks.Break1)
        till += "TILL BR1";
    }
    if (till.empty()) till = "FOREVER";
    return MonitorGo(from, till);
  }

  void StartRun(uint16_t from, const RunHelpers& h) override {
    const std::optional<GoBreaks> breaks = h.SetBreakRegisters();
    if (!breaks || !GoWithBreaks(from, *breaks)) return;
    h.Running("EXECUTION BEGUN");
  }

  bool RunOverCall(uint16_t address, uint16_t ret, const RunHelpers& h) override {
    if (!h.BreakRegisterAtReturn(ret) || !GoTillBr1(address)) return false;
    Run().ProgramRunning = true;
    h.AwaitHalt();
    return true;
  }

  void Interrupt() override { LinkSendByte(kEscByte); }

  std::optional<std::string> StopCause() override {
    if (!SendWords(TrimBlanks(TokenText(tok::kCAUSE)))) return std::nullopt;
    // The reply line, from where the reply starts to its CR.
    const LinkState& link = Link();
    std::string reply;
    for (int32_t i = link.ReplyMark; i < link.RxCount && i < kRxBufferSize; ++i) {
      const char c = static_cast<char>(link.RxBuffer[static_cast<size_t>(i)]);
      if (c == '\r' || c == '\n') break;
      reply += c;
    }
    return reply;
  }

  bool BreakSwitch(std::optional<std::string>& state) override {
    state.reset();
    std::string reply;
    if (!MonitorBreakQuery(reply)) return false;
    const size_t eq = reply.find('=');
    if (reply.rfind("BR", 0) == 0 && eq != std::string::npos) state = TrimBlanks(reply.substr(eq + 1));
    return true;
  }

  bool SetBreakSwitch(bool on) override {
    // Its reply to the bare BR tells whether the monitor has a switch.
    std::string reply;
    if (!MonitorBreakQuery(reply)) return false;
    if (reply.rfind("BR", 0) != 0) {
      ReportError(err::kCommandNotSupportedByThis);
      return false;
    }
    // XON after the switch: a monitor that holds its output goes on to its prompt.
    return MonitorSendKeyword(tok::kBR) && MonitorSendChar('=') && MonitorSendKeyword(on ? tok::kON : tok::kOFF) &&
           MonitorEndCommand() && MonitorSendXon() && MonitorWaitPrompt();
  }

  bool ArmBreakSwitch() override { return MonitorSendString("BR=ON\r") && MonitorWaitPrompt(); }

  HaltResult Halt() override { return MonitorHalt() ? HaltResult::Halted : HaltResult::Failed; }

  StepResult Step(uint16_t, std::string& text) override {
    return MonitorSingleStep(text) ? StepResult::Executed : StepResult::Error;
  }

  bool Reset() override { return MonitorReset(banner_); }
  std::string TakeResetText() override { return std::exchange(banner_, {}); }
  ResetAftermath AfterReset() const override { return {.Restarts = true}; }

  bool PlantBreak(uint8_t index, uint16_t address) override {
    assert(index <= 1 && "the monitor has two break registers");
    return MonitorSetRegister(static_cast<uint8_t>(tok::kBR0 + index), address);
  }

  // The monitor takes its 3-byte break patches out itself when the program stops.
  bool LiftBreak(uint8_t, uint16_t) override { return true; }

 private:
  std::string banner_;  // what the last reset received, until taken

  // Program load
  ProgramMemoryLimit ProgramMemory() const override { return {.End = 0xE000, .SizeText = "56", .AbortWhenTooLong = true}; }
  TransferResult TransferProgram(const ProgramTransfer& transfer) override { return MonitorTransferProgram(transfer); }
};

}  // namespace

TargetBackend& MonitorBackendInstance() {
  static MonitorBackend backend;
  return backend;
}

}  // namespace dorvik
