#include "debugger/terminal.h"

#include "base/session.h"
#include "lang/formatting.h"
#include "lang/scanner.h"

namespace dorvik {

TerminalState& Terminal() { return CurrentSession().Get<TerminalState>(); }

void TypeChar(char c) {
  TerminalState& t = Terminal();
  if (!t.Visible) return;
  if (c == '\r') {
    t.Lines.emplace_back();
    return;
  }
  t.Lines.back() += c;
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
