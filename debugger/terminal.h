#pragma once
// The terminal console's model: the text of the line terminal whose last line
// starts with the prompt, and the output primitives through which every
// command prints. Output is written only while TerminalEcho is set and the
// console is visible. The front end (console/) shows the text and feeds keys.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

inline constexpr std::string_view kPromptHalted = "hlt>";
inline constexpr std::string_view kPromptRunning = "run>";

struct TerminalState {
  std::vector<std::string> Lines{std::string()};  // the console text; the last line is being written
  std::string MonitorPrompt{kPromptHalted};
  bool TerminalEcho = false;  // output primitives write only while set
  bool Visible = true;        // a hidden console drops what is typed to it
  bool PromptPending = false;
  int32_t PromptLength = 0;
  char LastKey = 0;
  bool KeyPressed = false;
};

TerminalState& Terminal();

// Output primitives
// One character into the console (CR starts a new line), while it is visible.
void TypeChar(char c);
// TypeChar while TerminalEcho is set.
void OutChar(char c);
void OutText(std::string_view s);
// A keyword's text trimmed plus one blank for tokens above 32, else its punctuation character.
void OutToken(uint8_t token);
void OutSpace();
// FormatNumber (lang/formatting.h), then OutText.
void OutNumber(uint16_t mode, uint8_t width, bool trimZeros, bool zeroPrefix, long double value);
void OutHex2(uint8_t b);
void OutHex4(uint16_t w);
void NewLine();

// The whole console text, lines joined by '\n' (tests and the front end).
std::string TerminalText();

}  // namespace dorvik
