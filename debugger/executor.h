#pragma once
// The command executor: one debugger command line, already in the scanner
// with its first token read, looked up in the table of 53 commands and run;
// then the prompt and the run state are brought up to date.

#include <array>
#include <cstdint>
#include <string_view>

namespace dorvik {

using CommandHandler = void (*)();

struct CommandEntry {
  uint8_t Token;
  CommandHandler Handler;
};

struct ExecutorState {
  uint8_t CommandToken = 0;  // the first token of the line being executed
  bool Running = false;      // ExecuteCommand is at work; it is never re-entered
  // Display options of ENABLE/DISABLE (ShowSymbols and ShowLines belong to the symbol lookups).
  bool TraceOption = true;
  bool ShowAscii = true;
};

ExecutorState& Executor();

// The table in its order; the first row with the command token wins.
const std::array<CommandEntry, 53>& CommandTable();

// Runs the scanner's line; afterwards the console prompt is typed again
// ("hlt>", or "run>" while the program runs). False when the executor is
// already at work (the caller queues the line and runs it afterwards).
bool ExecuteCommand();

// A line typed while the user program runs, in the middle of the command
// that runs it: the commands that need no stopped target (BASE, ENABLE,
// DISABLE, DEFINE, SEND, RESET) run, HALT sets UserBreak, any other command
// is error 144 and a line in no table entry 118. The running command's
// scanner, evaluator and error state are kept.
void ExecuteDuringRun(std::string_view line);

// Every handler that reads or changes the target starts with this: error 144
// while the user program runs. True when the handler may go on.
bool TargetStopped();

// The small handlers of the table
void CmdBase();
void CmdCause();
void CmdCpu();
void CmdDefine();
void CmdDisable();
void CmdEnable();
void CmdGr();
void CmdRbs();
void CmdRegister();
void CmdReset();
void CmdSend();

}  // namespace dorvik
