#pragma once
// The terminal console's model: the text of the line terminal whose last line
// starts with the prompt, the caret on that line, the key handling of Part
// 1.115, and the output primitives through which every command prints.
// Output is written only while TerminalEcho is set and the console is visible.
// The front end (console/) shows the text, feeds keys and runs the lines that
// Enter hands over; this model has no screen and no operating system.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

inline constexpr std::string_view kPromptHalted = "hlt>";
inline constexpr std::string_view kPromptRunning = "run>";

// Key codes of DoOnKeyDown: the control characters for Esc, Backspace and
// Enter, virtual-key numbers for the keys without a character.
inline constexpr uint16_t kKeyBackspace = 8;
inline constexpr uint16_t kKeyEnter = 13;
inline constexpr uint16_t kKeyEsc = 27;
inline constexpr uint16_t kKeyEnd = 0x23;
inline constexpr uint16_t kKeyHome = 0x24;
inline constexpr uint16_t kKeyLeft = 0x25;
inline constexpr uint16_t kKeyRight = 0x27;
inline constexpr uint16_t kKeyDelete = 0x2E;
// Letters are their upper-case character ('X', 'K').

// Modifiers of DoOnKeyDown.
inline constexpr uint8_t kModShift = 1;
inline constexpr uint8_t kModAlt = 2;
inline constexpr uint8_t kModCtrl = 4;

// What a key did, for the front end that owns the main loop.
enum class KeyAction : uint8_t {
  None,        // edited the line, or nothing
  LineEntered, // Enter handed a line to the scanner: the caller reads its first token and runs it
  LineQueued,  // Enter during a command: the line waits in TypeAhead
  EmptyLine,   // Enter on an empty line: the prompt was typed again
  Break,       // Esc: UserBreak is set
  Exit,        // Alt+X or Alt+K: the program ends (ExitRequested)
};

struct TerminalState {
  std::vector<std::string> Lines{std::string()};  // the console text; the last line is being written
  std::string MonitorPrompt{kPromptHalted};
  bool TerminalEcho = false;  // output primitives write only while set
  bool Visible = true;        // a hidden console drops what is typed to it
  bool Inactive = true;       // the window is not the active form
  bool PromptPending = false;  // an empty line was entered: the next change types the prompt
  int32_t PromptLength = 0;    // caret column just after the prompt on the last line
  int32_t Caret = 0;           // caret column on the last line (the caret never leaves it)
  char LastKey = 0;            // the last character typed
  bool KeyPressed = false;     // set by every key; ReadKey waits for it
  bool WaitingForKey = false;  // ReadKey is waiting: keys go to it, not into the text
  bool EndOfInput = false;     // the front end's input ended: ReadKey answers Esc
  bool ExitRequested = false;  // Alt+X / Alt+K (the main window's File|Exit)
  // Lines entered while a command worked; the front end runs them after it,
  // in order, never inside it.
  std::deque<std::string> TypeAhead;
  // Speed of a busy loop (CalibrateCpuSpeed), known once first asked for.
  int64_t CpuSpeed = 0;
  bool CpuSpeedKnown = false;
};

TerminalState& Terminal();

// Output primitives
// One character into the console (CR starts a new line, BS deletes the
// character before the caret), while it is visible.
void TypeChar(char c);
// TypeChar while TerminalEcho is set.
void OutChar(char c);
void OutText(std::string_view s);
// A keyword's text trimmed plus one blank for tokens above 32 (the TokenText
// rule: the last keyword row of the token, "BREAK ", "REGISTERS "), else its
// punctuation character.
void OutToken(uint8_t token);
void OutSpace();
// FormatNumber (lang/formatting.h), then OutText.
void OutNumber(uint16_t mode, uint8_t width, bool trimZeros, bool zeroPrefix, long double value);
void OutHex2(uint8_t b);
void OutHex4(uint16_t w);
void NewLine();

// The window
// Types the prompt again. A last line that is exactly a bare prompt ("hlt>" or
// "run>") is replaced; an empty last line takes the prompt; any other last
// line (output, a reply without CR) is kept and the prompt goes on a fresh line.
void ShowCursor();
// Shows (FormShow: UserBreak and KeyPressed cleared, the prompt typed) or
// hides the console (ClearShowed: UserBreak and KeyPressed cleared).
void SetTerminalVisible(bool visible);
// A character typed into the editor at the caret (DoOnKeyPressed).
void DoOnKeyPressed(char c);
// The key rules (keys with no modifier or Shift; Alt+X, Alt+K).
KeyAction DoOnKeyDown(uint16_t key, uint8_t modifiers = 0);
// Editor change: types the prompt when an empty line was entered.
void TryEmptyLine();
// The line after the prompt of the last line, as typed.
std::string EditedLine();
// A console text line handed over as Enter does: upper-cased, CR appended,
// SetScanLine without normalising, error and warning flags cleared, echo on.
// While the executor works, the line is queued instead (LineQueued) or, while
// the user program runs, HALT sets UserBreak (Break) and any other line runs
// as a command during the run (ExecuteDuringRun) (None).
KeyAction HandToScanner(std::string_view line);
// The next line typed ahead (false when none).
bool TakeTypeAhead(std::string& line);

// Waiting
// Lets the program's pump handle what is pending, then sleeps 1 ms.
void PumpMessages();
// Waits (pumping) until a key is pressed; its character. A key other than
// Enter is replaced on screen by a blank. At the end of the input: Esc.
char ReadKey();
// A step key that the front end read itself (input that is not a terminal:
// the user seam's ReadStepKey), typed as ReadKey types it: '\r' Enter, 27
// Esc (a break), or 0 when what follows is no step key (Esc without a break:
// the STEP loop ends). Its character.
char TakeStepKey(char key);
// Busy-loop rounds during 1000 ms of the tick count: (count / 1e6)^2 / 1.9.
int64_t CalibrateCpuSpeed();
// CpuSpeed, calibrated when first asked for (never at start-up).
int64_t CpuSpeed();

// The whole console text, lines joined by '\n' (tests and the front end).
std::string TerminalText();

}  // namespace dorvik
