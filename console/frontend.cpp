#include "console/frontend.h"

#include <cstdio>
#include <exception>
#include <string_view>
#include <vector>

#include "base/messages.h"
#include "base/runstate.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/tty.h"
#include "debugger/executor.h"
#include "debugger/terminal.h"
#include "lang/scanner.h"

namespace dorvik::console {

namespace {

constexpr char kEsc = 0x1B;
constexpr uint32_t kPollIntervalMs = 5;  // the input poll while a command works
constexpr int kIdleWaitMs = 20;          // the main loop's deadline for its timers
constexpr int kEscapeWaitMs = 30;        // how long the rest of an escape sequence may take
constexpr int kStatusInterrupted = 130;  // SIGINT ended the program
constexpr int kStatusTerminated = 143;   // SIGTERM ended the program
// Why a question took its default answer.
constexpr std::string_view kNotATerminal = " (input is not a terminal)";

bool Printable(char c) { return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F; }

// Text typed into the model at the end of its last line (CR: a new line).
void TypeText(std::string_view text) {
  TerminalState& t = Terminal();
  t.Caret = static_cast<int32_t>(t.Lines.back().size());
  for (char c : text) TypeChar(c == '\n' ? '\r' : c);
}

// The model's last line is ended unless it is empty.
void FreshLine() {
  if (!Terminal().Lines.back().empty()) TypeText("\r");
}

struct Choice {
  char Key;
  int Result;
};

std::vector<Choice> ChoicesOf(platform::BoxButtons buttons) {
  using platform::BoxButtons;
  switch (buttons) {
    case BoxButtons::Ok:
      return {};
    case BoxButtons::OkCancel:
      return {{'o', platform::kBoxOk}, {'c', platform::kBoxCancel}};
    case BoxButtons::YesNo:
      return {{'y', platform::kBoxYes}, {'n', platform::kBoxNo}};
    case BoxButtons::YesNoCancel:
    case BoxButtons::YesNoCancelHelp:
      return {{'y', platform::kBoxYes}, {'n', platform::kBoxNo}, {'c', platform::kBoxCancel}};
  }
  return {};
}

}  // namespace

// --- Message boxes -------------------------------------------------------

int ConsoleBoxReporter::ShowBox(const platform::MessageBox& box) {
  FreshLine();
  TypeText(box.Caption + ": " + box.Text);
  TypeText("\r");
  const std::vector<Choice> choices = ChoicesOf(box.Buttons);
  if (choices.empty()) {
    front_.Render();
    return platform::kBoxOk;
  }
  std::string keys;
  for (const Choice& c : choices) {
    if (!keys.empty()) keys += '/';
    keys += c.Key;
  }
  if (!front_.Interactive()) {
    // A command file's lines stay commands. The answer is the one that does
    // the least (Cancel, else No): a script neither overwrites nor starts
    // what it did not ask for.
    Choice taken = choices.back();
    for (const Choice& c : choices)
      if (c.Result == platform::kBoxCancel) taken = c;
    TypeText("(" + keys + ")? " + std::string(1, taken.Key) + std::string(kNotATerminal) + "\r");
    front_.Render();
    return taken.Result;
  }
  for (;;) {
    TypeText("(" + keys + ")? ");
    std::string answer;
    const bool answered = front_.ReadAnswer(answer);
    TypeText("\r");
    front_.Render();
    if (!answered) {
      // No one to ask: the answer that does the least.
      for (const Choice& c : choices)
        if (c.Result == platform::kBoxCancel) return platform::kBoxCancel;
      return platform::kBoxNo;
    }
    const std::string text = TrimBlanks(answer);
    if (text.empty()) continue;
    const char key = static_cast<char>(text[0] >= 'A' && text[0] <= 'Z' ? text[0] - 'A' + 'a' : text[0]);
    for (const Choice& c : choices)
      if (c.Key == key) return c.Result;
  }
}

// --- The user seam -------------------------------------------------------

ConsoleUser::ConsoleUser(ConsoleFrontEnd& front) : front_(front), replaced_(SetUserSeam(this)) {}

ConsoleUser::~ConsoleUser() { SetUserSeam(replaced_); }

char ConsoleUser::ReadStepKey() {
  // A command file's step keys are its lines, read without the key wait's pumping.
  return front_.Interactive() ? ReadKey() : TakeStepKey(front_.ReadStepKeyLine());
}

// --- The front end -------------------------------------------------------

ConsoleFrontEnd::ConsoleFrontEnd(int inFd, int outFd, bool raw, bool ttyOutput)
    : in_(inFd), out_(outFd), raw_(raw), ttyOut_(ttyOutput), reporter_(*this), dialogs_(*this), user_(*this) {
  platform::SetReporter(&reporter_);
  platform::SetDialogUi(&dialogs_);
  platform::MessagePump& pump = platform::Pump();
  pollTimer_ = pump.CreateTimer([this] { PollDuringCommand(); }, kPollIntervalMs, true);
  pump.EnableTimer(pollTimer_, true);
}

ConsoleFrontEnd::~ConsoleFrontEnd() {
  platform::Pump().DestroyTimer(pollTimer_);
  platform::SetReporter(nullptr);
  platform::SetDialogUi(nullptr);
}

void ConsoleFrontEnd::ReadNow() {
  if (eof_) return;
  char buffer[4096];
  for (;;) {
    const ssize_t n = platform::ReadAvailable(in_, buffer, sizeof buffer);
    if (n < 0) return;
    if (n == 0) {
      eof_ = true;
      return;
    }
    const size_t before = input_.size();
    input_.append(buffer, static_cast<size_t>(n));
    if (static_cast<size_t>(n) < sizeof buffer) return;
    // A command file is read a line ahead, not whole: each line taken from
    // the front then moves only what is left of one read.
    if (!raw_ && input_.find('\n', before) != std::string::npos) return;
  }
}

void ConsoleFrontEnd::WaitAndRead(int timeoutMs) {
  if (eof_) return;
  if (platform::WaitReadable(in_, timeoutMs) == 1) ReadNow();
}

bool ConsoleFrontEnd::TakeLine(std::string& line, bool atEnd) {
  const size_t end = input_.find('\n');
  if (end == std::string::npos) {
    if (!atEnd || input_.empty()) return false;
    line = std::move(input_);
    input_.clear();
  } else {
    line = input_.substr(0, end);
    input_.erase(0, end + 1);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

ConsoleFrontEnd::Decode ConsoleFrontEnd::FeedKey(bool force) {
  if (input_.empty()) return Decode::Empty;
  const char c = input_[0];
  size_t used = 1;
  int action = static_cast<int>(KeyAction::None);
  if (c == kEsc) {
    if (input_.size() == 1) {
      if (!force) return Decode::NeedMore;
      action = static_cast<int>(DoOnKeyDown(kKeyEsc));
    } else if (input_[1] == kEsc) {
      action = static_cast<int>(DoOnKeyDown(kKeyEsc));
    } else if (input_[1] == 'O') {
      if (input_.size() < 3) {
        if (!force) return Decode::NeedMore;
        used = input_.size();
      } else {
        used = 3;
        switch (input_[2]) {
          case 'H': DoOnKeyDown(kKeyHome); break;
          case 'F': DoOnKeyDown(kKeyEnd); break;
          case 'C': DoOnKeyDown(kKeyRight); break;
          case 'D': DoOnKeyDown(kKeyLeft); break;
          default: break;
        }
      }
    } else if (input_[1] == '[') {
      size_t j = 2;
      while (j < input_.size() && !(input_[j] >= 0x40 && input_[j] <= 0x7E)) ++j;
      if (j >= input_.size()) {
        if (!force) return Decode::NeedMore;
        used = input_.size();
      } else {
        used = j + 1;
        const std::string params = input_.substr(2, j - 2);
        switch (input_[j]) {
          case 'H': DoOnKeyDown(kKeyHome); break;
          case 'F': DoOnKeyDown(kKeyEnd); break;
          case 'C': DoOnKeyDown(kKeyRight); break;
          case 'D': DoOnKeyDown(kKeyLeft); break;
          case '~':
            if (params == "1" || params == "7") DoOnKeyDown(kKeyHome);
            if (params == "4" || params == "8") DoOnKeyDown(kKeyEnd);
            if (params == "3") DoOnKeyDown(kKeyDelete);
            break;
          default: break;
        }
      }
    } else {
      // Alt (Meta) with a key: ESC and the key.
      used = 2;
      action = static_cast<int>(DoOnKeyDown(static_cast<uint16_t>(UpperChar(input_[1])), kModAlt));
    }
  } else if (c == '\r' || c == '\n') {
    if (c == '\r' && input_.size() > 1 && input_[1] == '\n') used = 2;
    action = static_cast<int>(DoOnKeyDown(kKeyEnter));
  } else if (c == 0x7F || c == 0x08) {
    DoOnKeyDown(kKeyBackspace);
  } else if (c == 0x03) {
    // Ctrl+C breaks like Esc; it never ends the program.
    action = static_cast<int>(DoOnKeyDown(kKeyEsc));
  } else if (c == 0x04) {
    // Ctrl+D ends the program as Alt+X does.
    action = static_cast<int>(DoOnKeyDown('X', kModAlt));
  } else if (c == 0x01) {
    DoOnKeyDown(kKeyHome);
  } else if (c == 0x05) {
    DoOnKeyDown(kKeyEnd);
  } else if (Printable(c) || static_cast<unsigned char>(c) >= 0x80) {
    // A byte of a character beyond ASCII is typed as it came (the scanner refuses it).
    DoOnKeyPressed(c);
  }
  input_.erase(0, used);
  AfterKey(action);
  return Decode::Key;
}

void ConsoleFrontEnd::AfterKey(int action) {
  if (static_cast<KeyAction>(action) == KeyAction::LineEntered) ExecuteScannerLine();
}

void ConsoleFrontEnd::ExecuteScannerLine() {
  Render();
  GetToken();
  ExecuteCommand();
  Render();
}

void ConsoleFrontEnd::EnterTypedLine(const std::string& line) {
  for (char c : line) {
    if (c == '\t') c = ' ';
    // Every byte goes into the line as it came: one that the command
    // language has no use for is the scanner's syntax error, never dropped
    // to leave another command.
    if (Printable(c) || static_cast<unsigned char>(c) >= 0x80)
      DoOnKeyPressed(c);
    else if (c != '\r' && c != '\b')
      TypeChar(c);
  }
  AfterKey(static_cast<int>(DoOnKeyDown(kKeyEnter)));
}

void ConsoleFrontEnd::ScanForBreaks() {
  for (size_t i = 0; i < input_.size();) {
    const char c = input_[i];
    const bool loneEsc = c == kEsc && (i + 1 == input_.size() || input_[i + 1] == kEsc);
    if (c == 0x03 || loneEsc) {
      input_.erase(i, 1);
      dorvik::Run().UserBreak = true;
      continue;
    }
    ++i;
  }
}

void ConsoleFrontEnd::FeedKeysDuringRun() {
  RunState& run = dorvik::Run();
  const TerminalState& t = Terminal();
  // A lone ESC is Esc at once: a terminal sends a key's sequence whole.
  while (run.ProgramRunning && !run.UserBreak && !t.ExitRequested && !t.WaitingForKey)
    if (FeedKey(true) != Decode::Key) break;
}

void ConsoleFrontEnd::TakeSignals() {
  RunState& run = dorvik::Run();
  if (platform::TakeInterrupt()) {
    run.UserBreak = true;
    // On a terminal Ctrl+C only breaks; a command file is interrupted.
    if (!raw_) interrupted_ = true;
  }
  if (platform::TerminationRequested() && !terminated_) {
    terminated_ = true;
    run.UserBreak = true;
  }
}

void ConsoleFrontEnd::PollDuringCommand() {
  if (!Executor().Running) return;  // the main loop reads the input itself
  TakeSignals();
  if (!raw_) {
    // A command file's next line waits until the console is at rest.
    Render();
    return;
  }
  ReadNow();
  RunState& run = dorvik::Run();
  TerminalState& t = Terminal();
  if (eof_ && input_.empty()) {
    t.EndOfInput = true;
    if (run.ProgramRunning) run.UserBreak = true;
  }
  if (t.WaitingForKey)
    FeedKey(true);
  else if (run.ProgramRunning)
    FeedKeysDuringRun();
  else
    ScanForBreaks();
  // The STEP loop waits for a key: its line is shown whole.
  Render(t.WaitingForKey);
}

char ConsoleFrontEnd::ReadStepKeyLine() {
  for (;;) {
    TakeSignals();
    if (Ending()) return 0;
    const size_t end = input_.find('\n');
    if (end != std::string::npos || eof_) {
      if (input_.empty()) return 0;
      std::string line = input_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      char key = 0;
      if (line.empty()) key = '\r';
      if (line == "\x1b") key = 27;
      // Any other line is the next command.
      if (key != 0) input_.erase(0, end == std::string::npos ? input_.size() : end + 1);
      return key;
    }
    Render(true);
    WaitAndRead(kIdleWaitMs);
    platform::PumpMessages();
  }
}

void ConsoleFrontEnd::HaltRunningProgram() {
  if (!dorvik::Run().ProgramRunning || Executor().Running) return;
  SetScanLine("HALT\r", false);
  Terminal().TerminalEcho = true;
  ExecuteScannerLine();
}

bool ConsoleFrontEnd::ReadAnswer(std::string& answer) {
  Render(true);
  answer.clear();
  // Keys of a terminal (a command file's questions are never read).
  for (;;) {
    TakeSignals();
    if (Ending()) return false;  // no one answers any more
    if (input_.empty()) {
      if (eof_) return false;
      WaitAndRead(100);
      continue;
    }
    const char c = input_[0];
    input_.erase(0, 1);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && !input_.empty() && input_[0] == '\n') input_.erase(0, 1);
      return true;
    }
    if (c == kEsc || c == 0x03 || c == 0x04) return false;
    if (c == 0x7F || c == 0x08) {
      if (!answer.empty()) {
        answer.pop_back();
        TypeChar('\b');
      }
    } else if (Printable(c)) {
      answer += c;
      TypeText(std::string(1, c));
    }
    Render();
  }
}

std::string ConsoleFrontEnd::UnwrittenPart(const std::string& line) {
  if (partialWritten_.empty()) return line;
  std::string rest;
  if (line.compare(0, partialWritten_.size(), partialWritten_) == 0)
    rest = line.substr(partialWritten_.size());
  else
    rest = "\n" + line;  // the written beginning was replaced: the line again on its own
  partialWritten_.clear();
  return rest;
}

void ConsoleFrontEnd::Render(bool partial) {
  const TerminalState& t = Terminal();
  const auto& lines = t.Lines;
  std::string out;
  if (!ttyOut_) {
    // Whole lines, and the last one only as far as it goes when the console
    // waits (a prompt, a question): what was written never changes again.
    while (doneLines_ + 1 < lines.size()) {
      out += UnwrittenPart(lines[doneLines_++]);
      out += '\n';
    }
    if (partial) {
      out += UnwrittenPart(lines.back());
      partialWritten_ = lines.back();
    }
    platform::WriteAll(out_, out);
    return;
  }
  auto showRow = [&](const std::string& text) {
    if (shownCol_ == static_cast<int32_t>(shownRow_.size()) && text.compare(0, shownRow_.size(), shownRow_) == 0) {
      out += text.substr(shownRow_.size());
    } else {
      out += '\r';
      out += text;
      out += "\x1b[K";
    }
    shownRow_ = text;
    shownCol_ = static_cast<int32_t>(text.size());
  };
  while (doneLines_ + 1 < lines.size()) {
    showRow(lines[doneLines_++]);
    out += "\r\n";
    shownRow_.clear();
    shownCol_ = 0;
  }
  showRow(lines.back());
  const int32_t caret = std::min<int32_t>(std::max(t.Caret, 0), static_cast<int32_t>(lines.back().size()));
  if (caret < shownCol_) out += "\x1b[" + std::to_string(shownCol_ - caret) + "D";
  shownCol_ = caret;
  platform::WriteAll(out_, out);
}

void ConsoleFrontEnd::Finish() {
  Render();
  if (ttyOut_) {
    platform::WriteAll(out_, "\r\n");
  } else {
    platform::WriteAll(out_, UnwrittenPart(Terminal().Lines.back()) + "\n");
  }
}

int ConsoleFrontEnd::Run(const std::function<void()>& atStart) {
  SetTerminalVisible(true);
  if (atStart) {
    // The first prompt follows what the start prints.
    TerminalState& t = Terminal();
    t.Lines.back().clear();
    t.Caret = t.PromptLength = 0;
    atStart();
    ShowCursor();
  }
  Render();
  RunState& run = dorvik::Run();
  for (;;) {
    TerminalState& t = Terminal();
    TakeSignals();
    if (t.ExitRequested || Ending()) {
      // The program is halted before the console ends.
      HaltRunningProgram();
      break;
    }
    std::string line;
    if (TakeTypeAhead(line)) {
      EnterTypedLine(line);
      continue;
    }
    if (!raw_ && run.ProgramRunning) {
      // A run on a target behind a link: the next line waits for its halt.
      Render();
      platform::CurrentClock().Sleep1ms();
      platform::PumpMessages();
      platform::Pump().RunIdle();
      continue;
    }
    if (raw_) {
      const Decode d = FeedKey(false);
      if (d == Decode::Key) continue;
      if (d == Decode::NeedMore) {
        Render();
        const size_t before = input_.size();
        WaitAndRead(kEscapeWaitMs);
        if (input_.size() == before) FeedKey(true);
        continue;
      }
    } else if (TakeLine(line, eof_)) {
      EnterTypedLine(line);
      continue;
    }
    if (eof_) {
      // The end of a terminal's input halts a program that still runs.
      HaltRunningProgram();
      break;
    }
    Render(true);
    WaitAndRead(kIdleWaitMs);
    platform::PumpMessages();
    platform::Pump().RunIdle();
  }
  Finish();
  if (interrupted_) return kStatusInterrupted;
  if (terminated_) return kStatusTerminated;
  return 0;
}

bool ConsoleDialogFace::AskLine(std::string_view label, const std::string& shown,
                                const std::vector<std::string>& history, std::string& text) {
  TypeText(std::string(label) + " [" + shown + "]: ");
  if (!front_.Interactive()) {
    // A command file's lines stay commands: the shown text is the answer.
    text = platform::DialogAnswer({}, shown, history);
    TypeText(text + std::string(kNotATerminal) + "\r");
    front_.Render();
    return true;
  }
  std::string answer;
  const bool answered = front_.ReadAnswer(answer);
  TypeText("\r");
  front_.Render();
  if (!answered) return false;
  text = platform::DialogAnswer(TrimBlanks(answer), shown, history);
  return true;
}

platform::InputReply ConsoleDialogFace::AskInput(const platform::InputPrompt& prompt) {
  FreshLine();
  TypeText(prompt.Caption + "\r");
  platform::InputReply reply;
  const std::string_view label = prompt.Label.empty() ? std::string_view("Value") : prompt.Label;
  reply.Action = AskLine(label, prompt.Text, prompt.History, reply.Text) ? platform::DialogAction::Ok
                                                                         : platform::DialogAction::Cancel;
  return reply;
}

platform::PairReply ConsoleDialogFace::AskPair(const platform::PairPrompt& prompt) {
  FreshLine();
  TypeText(prompt.Caption + "\r");
  platform::PairReply reply;
  if (!AskLine(prompt.NameLabel, prompt.Name, prompt.NameHistory, reply.Name) ||
      !AskLine(prompt.ValueLabel, prompt.Value, prompt.ValueHistory, reply.Value))
    return reply;
  reply.NameEdited = reply.Name != prompt.Name;
  reply.Action = platform::DialogAction::Ok;
  return reply;
}

std::string ConsoleDialogFace::BrowseFile(std::string_view title) {
  FreshLine();
  std::string name;
  return AskLine(title, {}, {}, name) ? name : std::string();
}

int RunConsole(const std::function<void()>& atStart) {
  platform::InstallExitGuards();
  platform::RawMode raw;
  const bool isRaw = platform::IsTerminal(0) && raw.Enter(0);
  try {
    ConsoleFrontEnd front(0, 1, isRaw, platform::IsTerminal(1));
    const int status = front.Run(atStart);
    raw.Restore();
    return status;
  } catch (const std::exception& e) {
    raw.Restore();
    std::fprintf(stderr, "dorvik51: %s\n", e.what());
    return 1;
  }
}

}  // namespace dorvik::console
