#include "debugger/terminal.h"

#include <cmath>

#include "base/messages.h"
#include "access/backend.h"
#include "access/transport.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "lang/formatting.h"
#include "lang/scanner.h"
#include "platform/clock.h"
#include "platform/pump.h"

namespace dorvik {

TerminalState& Terminal() { return CurrentSession().Get<TerminalState>(); }

namespace {

std::string& LastLine() { return Terminal().Lines.back(); }

int32_t LastLineLength() { return static_cast<int32_t>(LastLine().size()); }

// The caret back on the last line, within it.
void ClampCaret() {
  TerminalState& t = Terminal();
  if (t.Caret < 0) t.Caret = 0;
  if (t.Caret > LastLineLength()) t.Caret = LastLineLength();
}

}  // namespace

void TypeChar(char c) {
  TerminalState& t = Terminal();
  if (!t.Visible) return;
  ClampCaret();
  if (c == '\r') {
    t.Lines.emplace_back();
    t.Caret = 0;
    t.PromptLength = 0;
    return;
  }
  if (c == '\b') {
    if (t.Caret > 0) {
      LastLine().erase(static_cast<size_t>(t.Caret - 1), 1);
      --t.Caret;
    }
    return;
  }
  LastLine().insert(static_cast<size_t>(t.Caret), 1, c);
  ++t.Caret;
}

void OutChar(char c) {
  if (Terminal().TerminalEcho) TypeChar(c);
}

void OutText(std::string_view s) {
  if (!Terminal().TerminalEcho) return;
  for (char c : s) TypeChar(c);
}

void OutToken(uint8_t token) {
  if (!Terminal().TerminalEcho) return;
  if (token > 32) {
    std::string text = TokenText(token);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    OutText(text);
    OutSpace();
  } else {
    OutText(TokenText(token).substr(0, 1));
  }
}

void OutSpace() { OutChar(' '); }

void OutNumber(uint16_t mode, uint8_t width, bool trimZeros, bool zeroPrefix, long double value) {
  OutText(FormatNumber(mode, width, trimZeros, value, zeroPrefix));
}

void OutHex2(uint8_t b) { OutText(FormatHex2(b)); }
void OutHex4(uint16_t w) { OutText(FormatHex4(w)); }
void NewLine() { OutChar('\r'); }

void ShowCursor() {
  TerminalState& t = Terminal();
  if (!t.Visible) return;
  std::string& last = LastLine();
  // Only a bare prompt gives its place to the new one; a reply without CR
  // (however short) stays, and the prompt follows on a fresh line.
  if (last == kPromptHalted || last == kPromptRunning)
    last.clear();
  else if (!last.empty())
    t.Lines.emplace_back();
  t.Caret = 0;
  for (char c : t.MonitorPrompt) TypeChar(c);
  t.PromptLength = t.Caret;
}

void SetTerminalVisible(bool visible) {
  TerminalState& t = Terminal();
  t.Visible = visible;
  Run().UserBreak = false;
  t.KeyPressed = false;
  if (visible) ShowCursor();
}

void DoOnKeyPressed(char c) {
  TerminalState& t = Terminal();
  t.LastKey = c;
  t.KeyPressed = true;
  if (!t.Visible || t.WaitingForKey) return;
  if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return;
  TypeChar(c);
  TryEmptyLine();
}

std::string EditedLine() {
  TerminalState& t = Terminal();
  const std::string& last = LastLine();
  const size_t from = std::min(static_cast<size_t>(t.PromptLength), last.size());
  return last.substr(from);
}

KeyAction DoOnKeyDown(uint16_t key, uint8_t modifiers) {
  TerminalState& t = Terminal();
  t.KeyPressed = true;
  if ((modifiers & kModAlt) != 0 && (modifiers & kModCtrl) == 0 && (key == 'X' || key == 'K')) {
    // File|Exit: a running command is asked to stop first.
    t.ExitRequested = true;
    if (Executor().Running) Run().UserBreak = true;
    return KeyAction::Exit;
  }
  if ((modifiers & ~kModShift) != 0) return KeyAction::None;
  ClampCaret();
  switch (key) {
    case kKeyEsc:
      // Only a running program or command gets the break byte. At rest (at
      // the prompt, or a step loop waiting for its key) the target is at its
      // prompt: the byte would only bring a prompt that no command reads, and
      // the next reply would be read out of step.
      if ((Run().ProgramRunning || Executor().Running) && !RunControl().WaitingForStepKey)
        CurrentBackend().Interrupt();
      t.LastKey = 27;
      Run().UserBreak = true;
      return KeyAction::Break;
    case kKeyBackspace:
      if (t.WaitingForKey) return KeyAction::None;
      // The prompt cannot be erased.
      if (t.Caret > t.PromptLength) TypeChar('\b');
      return KeyAction::None;
    case kKeyDelete:
      if (!t.WaitingForKey && t.Caret < LastLineLength()) LastLine().erase(static_cast<size_t>(t.Caret), 1);
      return KeyAction::None;
    case kKeyHome:
      t.Caret = t.PromptLength;
      return KeyAction::None;
    case kKeyLeft:
      if (t.Caret > t.PromptLength) --t.Caret;
      return KeyAction::None;
    case kKeyRight:
      if (t.Caret < LastLineLength()) ++t.Caret;
      return KeyAction::None;
    case kKeyEnd:
      t.Caret = LastLineLength();
      return KeyAction::None;
    case kKeyEnter: {
      t.LastKey = '\r';
      // The STEP/TRACE loop and ReadKey read Enter themselves.
      if (Run().Tracing || t.WaitingForKey) return KeyAction::None;
      const std::string line = TrimBlanks(EditedLine());
      t.Caret = LastLineLength();
      TypeChar('\r');
      if (line.empty()) {
        t.PromptPending = true;
        TryEmptyLine();
        return KeyAction::EmptyLine;
      }
      return HandToScanner(line);
    }
    default:
      return KeyAction::None;
  }
}

void TryEmptyLine() {
  TerminalState& t = Terminal();
  if (!t.PromptPending) return;
  t.PromptPending = false;
  ShowCursor();
}

KeyAction HandToScanner(std::string_view line) {
  TerminalState& t = Terminal();
  RunState& run = Run();
  if (Executor().Running) {
    if (!run.ProgramRunning) {
      // Never inside the command at work: it runs after it.
      t.TypeAhead.emplace_back(line);
      return KeyAction::LineQueued;
    }
    ExecuteDuringRun(line);
    return run.UserBreak ? KeyAction::Break : KeyAction::None;
  }
  SetScanLine(UpperCase(line) + "\r", false);
  MessageState& m = Messages();
  m.ErrorFlag = false;
  m.WarningFlag = false;
  t.TerminalEcho = true;
  return KeyAction::LineEntered;
}

bool TakeTypeAhead(std::string& line) {
  TerminalState& t = Terminal();
  if (t.TypeAhead.empty()) return false;
  line = std::move(t.TypeAhead.front());
  t.TypeAhead.pop_front();
  return true;
}

void PumpMessages() {
  platform::PumpMessages();
  platform::CurrentClock().Sleep1ms();
}

namespace {

// Enter moves to a new line as it does in the editor (none when a message
// has just ended the line); any other key is not kept in the text: a blank
// stands in its place.
void EchoKey(const TerminalState& t) {
  if (t.LastKey != '\r')
    TypeChar(' ');
  else if (!t.Lines.back().empty())
    TypeChar('\r');
}

}  // namespace

char TakeStepKey(char key) {
  TerminalState& t = Terminal();
  t.KeyPressed = false;
  if (key == 0) {
    // No step key follows: the loop ends, nothing is typed.
    t.LastKey = 27;
    return t.LastKey;
  }
  if (key == 27)
    DoOnKeyDown(kKeyEsc);
  else
    t.LastKey = key;
  t.KeyPressed = false;
  EchoKey(t);
  return t.LastKey;
}

char ReadKey() {
  TerminalState& t = Terminal();
  t.KeyPressed = false;
  t.WaitingForKey = true;
  while (!t.KeyPressed && !t.EndOfInput) PumpMessages();
  t.WaitingForKey = false;
  if (!t.KeyPressed) {
    // The end of the input is Esc, and Esc is a user break.
    t.LastKey = 27;
    Run().UserBreak = true;
    return t.LastKey;
  }
  t.KeyPressed = false;
  EchoKey(t);
  return t.LastKey;
}

int64_t CalibrateCpuSpeed() {
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t t0 = clock.TickCount();
  uint32_t now = t0;
  while (now == t0) now = clock.TickCount();
  uint64_t count = 0;
  while (now - t0 < 1000) {
    now = clock.TickCount();
    ++count;
  }
  const double millions = static_cast<double>(count) / 1'000'000.0;
  return static_cast<int64_t>(std::llround(millions * millions / 1.9));
}

int64_t CpuSpeed() {
  TerminalState& t = Terminal();
  if (!t.CpuSpeedKnown) {
    t.CpuSpeed = CalibrateCpuSpeed();
    t.CpuSpeedKnown = true;
  }
  return t.CpuSpeed;
}

std::string TerminalText() {
  std::string text;
  const auto& lines = Terminal().Lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += '\n';
    text += lines[i];
  }
  return text;
}

}  // namespace dorvik
