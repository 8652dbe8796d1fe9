#pragma once
// The console front end on Linux: shows the terminal model of
// debugger/terminal.h on a terminal or a pipe, feeds it keys or lines, runs
// the lines that Enter hands over through the command executor, and keeps
// the input polled while a command works (through the message pump).
//
// One thread, one loop: poll() on the input with a short deadline, then the
// message pump's timers and idle work. While a command runs, a 5 ms timer of
// the pump reads what was typed on a terminal: Esc and Ctrl+C set UserBreak;
// while the user program runs, keys edit a line after "run>" as at rest and
// Enter runs it during the run (debugger/executor.h); all other input waits
// and runs after the command.
//
// Input that is not a terminal is a command file: a line is read only when
// the console is at rest, so a run lasts until the program halts by itself;
// the STEP loop takes only the lines that are step keys (an empty line
// steps again, a line of ESC alone ends it); questions take their default
// without reading a line. SIGINT (status 130) and SIGTERM (status 143) stop a
// run and end the program.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/userseam.h"
#include "platform/dialogs.h"
#include "platform/pump.h"
#include "platform/reporter.h"

namespace dorvik::console {

class ConsoleFrontEnd;

// Message boxes in the console text, as the console reporter prints them:
// "Caption: text" on lines of their own, and for a question "(y/n)? " (or
// y/n/c, o/c) with the answer read from the console's own input; when the
// input is no terminal, the answer that does the least is taken unread.
class ConsoleBoxReporter : public platform::MessageReporter {
 public:
  explicit ConsoleBoxReporter(ConsoleFrontEnd& front) : front_(front) {}
  int ShowBox(const platform::MessageBox& box) override;

 private:
  ConsoleFrontEnd& front_;
};

// The input dialogs in the console text: the caption, then the label with the
// shown text in brackets; an empty answer keeps the shown text, "#n" takes
// history item n, Esc or the end of input cancels; when the input is no
// terminal, the shown text is taken unread. Progress is not shown.
class ConsoleDialogFace : public platform::DialogUi {
 public:
  explicit ConsoleDialogFace(ConsoleFrontEnd& front) : front_(front) {}
  platform::InputReply AskInput(const platform::InputPrompt& prompt) override;
  platform::PairReply AskPair(const platform::PairPrompt& prompt) override;
  std::string BrowseFile(std::string_view title) override;
  void ShowProgress(std::string_view) override {}
  void UpdateProgress(int, int) override {}
  bool CancelPressed() override { return false; }
  void HideProgress() override {}

 private:
  // False when the user cancelled.
  bool AskLine(std::string_view label, const std::string& shown, const std::vector<std::string>& history,
               std::string& text);
  ConsoleFrontEnd& front_;
};

// The console's side of the user seam: the STEP loop's keys, pressed on the
// terminal or, from a command file, its next line when that is a step key.
class ConsoleUser final : public UserSeam {
 public:
  explicit ConsoleUser(ConsoleFrontEnd& front);
  ~ConsoleUser() override;
  ConsoleUser(const ConsoleUser&) = delete;
  ConsoleUser& operator=(const ConsoleUser&) = delete;
  char ReadStepKey() override;

 private:
  ConsoleFrontEnd& front_;
  UserSeam* replaced_;
};

class ConsoleFrontEnd {
 public:
  // Input and output descriptors; Raw: the input is a terminal in raw mode
  // (keys), else it is read line by line. TtyOutput: the output is redrawn
  // with cursor controls, else only whole lines are written.
  ConsoleFrontEnd(int inFd, int outFd, bool raw, bool ttyOutput);
  ~ConsoleFrontEnd();
  ConsoleFrontEnd(const ConsoleFrontEnd&) = delete;
  ConsoleFrontEnd& operator=(const ConsoleFrontEnd&) = delete;

  // Shows the console, runs AtStart (the start-up load) with its messages
  // and questions in the console, then runs until the input ends or the user
  // ends the program; the exit status.
  int Run(const std::function<void()>& atStart = {});

  // The pump's input poll while a command works (public for tests).
  void PollDuringCommand();
  // Writes what changed in the console text; Partial: on a pipe, also the
  // last line as far as it goes (the console starts to wait).
  void Render(bool partial = false);
  // Writes the rest of the text and ends its last line.
  void Finish();

  // For the reporter: the answer of a question typed on the terminal (false
  // at the end of input, on Esc or when the program is asked to end).
  bool ReadAnswer(std::string& answer);
  // The input is a terminal: questions are asked; otherwise they take their default.
  bool Interactive() const { return raw_; }
  // The step key of a command file: the next line when it is one ('\r' an
  // empty line, 27 a line of ESC alone), else 0 (the line is the next command).
  char ReadStepKeyLine();

 private:
  enum class Decode : uint8_t { Key, NeedMore, Empty };
  // Reads what is there now (no wait) into the input buffer.
  void ReadNow();
  // Waits up to TimeoutMs for input and reads it.
  void WaitAndRead(int timeoutMs);
  // One key of the raw input to the model; Force: an incomplete escape
  // sequence is taken as it is (a lone ESC is Esc).
  Decode FeedKey(bool force);
  // One line of line input (false when no whole line is there).
  bool TakeLine(std::string& line, bool atEnd);
  // Types Line after the prompt and enters it.
  void EnterTypedLine(const std::string& line);
  // After a key or line: runs the line Enter handed over.
  void AfterKey(int action);
  void ExecuteScannerLine();
  // While a command works: Esc and Ctrl+C in the raw input break; lines are
  // taken only while the program runs.
  void ScanForBreaks();
  // The keys typed while the program runs, echoed after "run>".
  void FeedKeysDuringRun();
  // SIGINT and SIGTERM: UserBreak; on a pipe SIGINT, and SIGTERM anywhere, end the program.
  void TakeSignals();
  bool Ending() const { return interrupted_ || terminated_; }
  // Halts a program that still runs, as a typed HALT.
  void HaltRunningProgram();
  // The part of Line not yet written to a pipe.
  std::string UnwrittenPart(const std::string& line);

  int in_;
  int out_;
  bool raw_;
  bool ttyOut_;
  bool eof_ = false;
  bool interrupted_ = false;
  bool terminated_ = false;
  std::string partialWritten_;  // a pipe's last line as far as it was written
  std::string input_;  // read, not yet used
  // What the output shows: lines written whole, and the current row.
  size_t doneLines_ = 0;
  std::string shownRow_;
  int32_t shownCol_ = 0;
  platform::TimerId pollTimer_ = 0;
  ConsoleBoxReporter reporter_;
  ConsoleDialogFace dialogs_;
  ConsoleUser user_;
};

// The program's console on standard input and output: raw mode on a terminal,
// line input otherwise; AtStart runs once the console shows. The exit status.
int RunConsole(const std::function<void()>& atStart = {});

}  // namespace dorvik::console
