// The small handlers of the command table: BASE, CAUSE, CPU,
// DEFINE, DISABLE, ENABLE, GR, RBS, R0..R7, RESET and SEND.

#include <string>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/target.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/text.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/editormodel.h"
#include "debugger/statusfields.h"
#include "lang/cpudb.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "machine/images.h"

namespace dorvik {

namespace {

// A word the handler does not take: the syntax error, unless reading it
// reported an error of its own (an unknown symbol is 137 alone).
void WrongWord() {
  if (!Messages().ErrorFlag) SyntaxError();
}

// The trimmed keyword text of a token, as the monitor reads it.
std::string KeywordText(uint8_t token) {
  std::string text = TokenText(token);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// ENABLE x / DISABLE x.
void SwitchOption(bool enable) {
  const uint8_t word = GetToken();
  ExecutorState& ex = Executor();
  SymbolLookupState& lookups = SymbolLookup();
  bool* option = nullptr;
  switch (word) {
    case tok::kSYMBOLS:
      option = &lookups.ShowSymbols;
      break;
    case tok::kLINES:
      option = &lookups.ShowLines;
      break;
    case tok::kTRACE:
      option = &ex.TraceOption;
      break;
    case tok::kASCII:
      option = &ex.ShowAscii;
      break;
    case tok::kBR:
    case tok::kBR0:
    case tok::kBR1: {
      // ENABLE checks the end of the line first; the BR forms of DISABLE do not.
      if (enable && !CheckEndOfLine()) return;
      BreakpointState& bp = Breakpoints();
      const int first = word == tok::kBR1 ? 1 : 0;
      const int last = word == tok::kBR ? bp.LastBreakIndex : first;
      for (int i = first; i <= last && i < kBreakTableSize; ++i) {
        tBreak& b = bp.BreakTable[static_cast<size_t>(i)];
        b.Enabled = enable && b.Used;
      }
      BreakpointsChanged();
      MarkAllBreakpoints();
      // A target that plants its own breaks (the monitor) is told to drop
      // them; a target without command lines of its own takes none.
      if (!enable)
        CurrentBackend().SendCommandLine(KeywordText(tok::kRESET) + " " + KeywordText(word));
      return;
    }
    default:
      WrongWord();
      return;
  }
  if (!CheckEndOfLine()) return;
  *option = enable;
  // The code lines are rendered again with the new option.
  DisasLines().InvalidateAll();
}

}  // namespace

void CmdBase() {
  uint8_t token = GetToken();
  FormattingState& f = Formatting();
  if (token == tok::kEndOfLine) {
    OutToken(tok::kBASE);
    OutToken(tok::kEqual);
    switch (f.DisplayRadix) {
      case 16:
        OutToken(tok::kHEX);
        break;
      case 10:
        OutToken(tok::kDECIMAL);
        break;
      case 8:
        OutToken(tok::kOCTAL);
        break;
      default:
        OutToken(tok::kBINARY);
        break;
    }
    NewLine();
    return;
  }
  if (token != tok::kEqual) return WrongWord();
  token = GetToken();
  Executor().CommandToken = token;
  switch (token) {
    case tok::kHEX:
      f.DisplayRadix = 16;
      break;
    case tok::kDECIMAL:
    case tok::kDEC:
      f.DisplayRadix = 10;
      break;
    case tok::kOCTAL:
      f.DisplayRadix = 8;
      break;
    case tok::kBINARY:
      f.DisplayRadix = 2;
      break;
    case tok::kNumberValue: {
      const long double value = Scanner().ExprValue;
      if (value == 2 || value == 8 || value == 10 || value == 16)
        f.DisplayRadix = static_cast<uint8_t>(value);
      else
        ReportError(err::kInvalidBase);
      break;
    }
    default:
      WrongWord();
      break;
  }
  // The code lines show their numbers in the new radix.
  DisasLines().InvalidateAll();
}

void CmdCause() {
  if (!TargetStopped()) return;
  // Only a target that says why it stopped answers.
  const std::optional<std::string> cause = CurrentBackend().StopCause();
  if (!cause) return;
  OutText(*cause);
  NewLine();
}

void CmdCpu() {
  if (!TargetStopped()) return;
  uint8_t token = GetToken();
  if (token == tok::kEndOfLine) {
    OutToken(tok::kCPU);
    OutToken(tok::kEqual);
    OutText(CpuDb().CpuName);
    NewLine();
    return;
  }
  if (token != tok::kEqual) return WrongWord();
  // The name is read as an identifier: "52" and "ADUC812" alike.
  SkipBlanks();
  ReadIdentifier();
  if (Messages().ErrorFlag) return;
  const std::string name = Scanner().ScanIdent;
  if (name.empty()) return WrongWord();
  if (!CheckEndOfLine()) return;
  if (!SelectCpu(name)) return;
  SymbolLookup().SymbolRef = tSymbolRef{};
}

void CmdDefine() {
  OutText("DEFINECMD");
  NewLine();
}

void CmdDisable() { SwitchOption(false); }
void CmdEnable() { SwitchOption(true); }

void CmdGr() {
  if (!TargetStopped()) return;
  CheckEndOfLine();
}

void CmdRbs() {
  if (!TargetStopped()) return;
  const uint8_t token = GetToken();
  if (token == tok::kEndOfLine) {
    // The bank the status fields show, read afresh from the target; a board
    // fills them at its stops, and shows bank 0 until its first one.
    RefreshDebugViews(false);
    const std::string shown = RegisterText("RBS");
    OutToken(tok::kRBS);
    OutToken(tok::kEqual);
    OutText(shown.empty() ? "0" : shown);
    NewLine();
    return;
  }
  if (token != tok::kEqual) return WrongWord();
  const long double value = Expression(0);
  if (Messages().ErrorFlag || !CheckEndOfLine()) return;
  // Four banks: a bank number above 3 would change other PSW bits.
  if (value < 0 || value > 3) {
    ReportError(err::kNumberTooLarge);
    return;
  }
  const auto bank = static_cast<uint8_t>(value);
  // The target's PSW takes the bank (the monitor its RBS register); the
  // status fields follow, also on a board that reports no registers.
  if (!TargetSetRegister(tok::kRBS, bank)) return;
  RefreshDebugViews(false);
  const std::string pswText = RegisterText("PSW");
  uint8_t psw = 0;
  if (pswText.size() == 2 && HexDigitValue(pswText[0]) < 16 && HexDigitValue(pswText[1]) < 16)
    psw = static_cast<uint8_t>(HexDigitValue(pswText[0]) * 16 + HexDigitValue(pswText[1]));
  SetRegisterText("PSW", FormatHex2(static_cast<uint8_t>((psw & ~0x18) | bank << 3)));
  SetRegisterText("RBS", std::to_string(bank));
}

void CmdRegister() {
  if (!TargetStopped()) return;
  const uint8_t reg = Executor().CommandToken;
  const uint8_t token = GetToken();
  if (token == tok::kEndOfLine) {
    const int32_t value = TargetRegisterValue(reg);
    if (Messages().ErrorFlag) return;
    OutToken(reg);
    OutToken(tok::kEqual);
    OutHex2(static_cast<uint8_t>(value));
    NewLine();
    return;
  }
  if (token != tok::kEqual) return WrongWord();
  const long double value = Expression(0);
  if (Messages().ErrorFlag || !CheckEndOfLine()) return;
  const auto written = static_cast<int32_t>(LowBits32(value));
  if (!TargetSetRegister(reg, written)) return;
  // A board is not asked again: its field shows the value written.
  RefreshDebugViews(false);
  if (reg >= tok::kR0 && reg <= tok::kR7)
    SetRegisterText("R" + std::to_string(reg - tok::kR0), FormatHex2(static_cast<uint8_t>(written)));
  else if (reg == tok::kDPTR)
    SetRegisterText("DPTR", FormatHex4(static_cast<uint16_t>(written)));
}

void CmdReset() {
  const uint8_t token = GetToken();
  ScannerState& s = Scanner();
  if (token == tok::kQUELM) {
    // Only parsed: an optional NOINIT, then the end of the line.
    SkipBlanks();
    ReadIdentifier();
    if (Messages().ErrorFlag) return;
    if (!s.ScanIdent.empty() && s.ScanIdent != "NOINIT") return WrongWord();
    CheckEndOfLine();
    return;
  }
  // CPU, CHIP, C, DATA, or the abbreviation CH (the word CHAR shares its token).
  const bool chip = token == tok::kCPU || token == tok::kCHIP || token == tok::kDATA ||
                    (token == tok::kCHAR && s.ScanIdent == "CH");
  if (!chip) return WrongWord();
  if (!CheckEndOfLine()) return;
  ClearSourceMarks();
  ResetTarget();
  // The program starts again: the workbench shows where.
  ShowExecutionSource();
}

void CmdSend() {}

}  // namespace dorvik
