#include "assembler/source.h"

#include <istream>
#include <string>

#include "assembler/asmerrors.h"
#include "assembler/controls.h"
#include "assembler/tokenizer.h"
#include "platform/clock.h"

namespace dorvik::as {

namespace {

constexpr uint32_t kEchoIntervalMs = 500;

bool ListingCopyWanted(const AsmContext& c) { return c.AsmPass == 2; }

// The clock is read every few lines only.
constexpr uint32_t kEchoLineStep = 32;

void ProgressEcho(AsmContext& c) {
  if (!c.ProgressOut || c.LinesRead % kEchoLineStep != 0) return;
  const uint32_t now = platform::CurrentClock().TickCount();
  if (now - c.LastEchoTick < kEchoIntervalMs) return;
  c.LastEchoTick = now;
  const auto& print = Control(c, ControlId::Print);
  const bool listingToConsole = print.On && print.Value == "CON";
  if (c.AsmPass == 1 || (c.AsmPass == 2 && !listingToConsole))
  {
    std::string text = "(";
    text += std::to_string(c.LevelLineCount[c.IncludeDepth]);
    text += ')';
    c.ProgressOut(text);
  }
}

// Reads the next raw line of the current input; false at its end.
bool ReadRawLine(AsmContext& c, std::string& text) {
  text.clear();
  if (c.FileMode) {
    auto& in = c.Inputs[c.IncludeDepth].Stream;
    if (!in || !std::getline(*in, text)) return false;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return true;
  }
  if (!c.InMemoryLines || c.LinesRead >= c.InMemoryLines->size()) return false;
  text = (*c.InMemoryLines)[c.LinesRead];
  return true;
}

// Appends a character to the listing copy; error 102 once per line when full.
bool AppendListChar(AsmContext& c, char ch) {
  if (c.scan.ListLine.size() >= kMaxSourceLine) {
    if (!c.scan.ListLineFull) {
      c.scan.ListLineFull = true;
      ReportAsmError(c, asm_err::kListingTerminatedAt255);
    }
    return false;
  }
  c.scan.ListLine += ch;
  return true;
}

}  // namespace

bool IsAsmSourceChar(char ch) {
  return ch == ';' || kPlainAsmChars[static_cast<unsigned char>(ch)];
}

bool AsmInputAtEnd(AsmContext& c) {
  if (c.FileMode) {
    auto& in = c.Inputs[c.IncludeDepth].Stream;
    return !in || in->peek() == std::char_traits<char>::eof();
  }
  return !c.InMemoryLines || c.LinesRead >= c.InMemoryLines->size();
}

char ReadAsmSourceChar(AsmContext& c) {
  if (c.scan.ScanChar == kCR) {
    c.scan.SourceIndex = 0;
    c.scan.Column = 0;
    std::string& text = c.scan.LineBuffer;
    const bool got = ReadRawLine(c, text);
    if (!got && c.FileMode) {
      auto& in = c.Inputs[c.IncludeDepth].Stream;
      if (in && in->bad()) {
        NoteIOFailure(c);
        AsmFileError(c, c.IncludeDepth == 0 ? kKindSource : kKindInclude, c.CurrentFileName);
      }
    }
    ++c.LinesRead;
    bool tooLong = false;
    if (text.size() >= kMaxSourceLine) {
      text.resize(kMaxSourceLine - 1);
      tooLong = true;
    }
    c.scan.LineBuffer += kCR;
    c.scan.ListLine.clear();
    c.scan.ListLineFull = false;
    ++c.LevelLineCount[c.IncludeDepth];
    if (tooLong) ReportAsmError(c, asm_err::kSourceLineTooLong);
    ProgressEcho(c);
  }
  if (c.scan.SourceIndex < c.scan.LineBuffer.size()) ++c.scan.SourceIndex;
  c.scan.ScanChar = c.scan.LineBuffer.empty() ? kCR : c.scan.LineBuffer[c.scan.SourceIndex - 1];
  return c.scan.ScanChar;
}

char GetAsmCharSlow(AsmContext& c) {
  if (c.line.LastAsmError == asm_err::kSyntaxError) return 0;
  char ch = ReadAsmSourceChar(c);
  ++c.scan.Column;
  const bool copy = ListingCopyWanted(c);
  if (ch == '\t' && !c.line.InString) {
    ch = ' ';
    c.scan.ScanChar = ch;
    if (copy) {
      if (!AppendListChar(c, ' ')) return ch;
      while (c.TabSize > 0 && c.scan.ListLine.size() % c.TabSize != 0) {
        if (!AppendListChar(c, ' ')) return ch;
        ++c.scan.Column;
      }
    }
  } else if (ch != kCR && copy) {
    AppendListChar(c, ch);
  }
  if (ch == kCR) return ch;
  if ((ch == ';' && !c.line.InString) || c.line.CommentSkip) {
    // A comment: the rest of the line goes to the listing copy only.
    while (ch != kCR) {
      ch = ReadAsmSourceChar(c);
      ++c.scan.Column;
      if (ch == kCR || !copy) continue;
      if (ch == '\t') {
        if (!AppendListChar(c, ' ')) continue;
        while (c.TabSize > 0 && c.scan.ListLine.size() % c.TabSize != 0)
          if (!AppendListChar(c, ' ')) break;
      } else {
        AppendListChar(c, ch);
      }
    }
    return ch;
  }
  if (!c.line.InString && !IsAsmSourceChar(ch)) {
    ReportAsmError(c, asm_err::kIllegalCharacter);
    ch = ' ';
    c.scan.ScanChar = ch;
  }
  return ch;
}

void SkipAsmLine(AsmContext& c) {
  c.line.CommentSkip = true;
  while (c.scan.ScanChar != kCR) {
    if (c.line.LastAsmError == asm_err::kSyntaxError) {
      // The reader is blocked after a syntax error: drain the line directly.
      const uint16_t saved = c.line.LastAsmError;
      c.line.LastAsmError = 0;
      GetAsmChar(c);
      c.line.LastAsmError = saved;
    } else {
      GetAsmChar(c);
    }
  }
  c.line.CommentSkip = false;
}

uint8_t AsmDigitValue(char ch) {
  if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  if (ch >= '0' && ch <= '9') return static_cast<uint8_t>(ch - '0');
  if (ch >= 'A' && ch <= 'F') return static_cast<uint8_t>(ch - 'A' + 10);
  return 255;
}

int32_t AsmNumberValue(AsmContext& c, std::string_view text) {
  if (text.empty()) {
    AsmSyntaxError(c);
    return 0;
  }
  uint32_t radix = 0;
  switch (text.back()) {
    case 'H': radix = 16; break;
    case 'D': radix = 10; break;
    case 'O': radix = 8; break;
    case 'B': radix = 2; break;
    default: break;
  }
  if (radix == 0)
    radix = 10;
  else
    text.remove_suffix(1);
  if (text.empty()) {
    AsmSyntaxError(c);
    return 0;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (char ch : text) {
    const uint8_t digit = AsmDigitValue(ch);
    if (digit == 255) {
      AsmSyntaxError(c);
      return 0;
    }
    if (digit >= radix) {
      const char saved = c.scan.ScanChar;
      c.scan.ScanChar = ch;
      ReportAsmError(c, asm_err::kIllegalCharacterInNumber);
      c.scan.ScanChar = saved;
      return 0;
    }
    value = value * radix + digit;
    if (value > 0xFFFFFFFFull) overflow = true, value &= 0xFFFFFFFFull;
  }
  if (overflow) {
    ReportAsmError(c, asm_err::kArithmeticOverflow, SegWord::Absolute);
    return 0;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

uint8_t AsmPrecedence(uint8_t token) {
  switch (token) {
    case tok::kOr: case tok::kXor: return 1;
    case tok::kAnd: return 2;
    case tok::kNot: return 3;
    case tok::kEq: case tok::kNe: case tok::kLt: case tok::kGt: case tok::kLe: case tok::kGe:
      return 4;
    case tok::kPlus: case tok::kMinus: return 5;
    case tok::kMul: case tok::kDiv: case tok::kMod: case tok::kShl: case tok::kShr: return 6;
    case tok::kHigh: case tok::kLow: return 7;
    default: return 0;
  }
}

}  // namespace dorvik::as
