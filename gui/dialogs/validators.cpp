#include "gui/dialogs/validators.h"

#include <QKeyEvent>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cfloat>
#include <cmath>
#include <limits>

#include "base/messages.h"
#include "base/text.h"
#include "platform/reporter.h"

namespace dorvik::gui {

namespace {

void ValidatorBox(std::string text) {
  platform::MessageBox box;
  box.Caption = "Validator";
  box.Text = std::move(text);
  box.Buttons = platform::BoxButtons::Ok;
  box.Icon = platform::BoxIcon::Exclamation;
  ShowBox(box);
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The whole text read as an unsigned number of the base; false on any other
// character or on overflow.
bool ReadUnsigned(std::string_view s, int base, uint64_t& value) {
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  return ec == std::errc() && end == s.data() + s.size();
}

// A float's text with "." as decimal separator, whatever the locale; a value
// too large for single precision is infinite.
bool ReadFloat(std::string_view s, long double& value) {
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s[0] == '+' || s[0] == '-') return false;
  double d = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::fixed);
  if (end != s.data() + s.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Without an exponent only too many integer digits overflow.
    const size_t point = s.find('.');
    const std::string_view whole = s.substr(0, point);
    d = whole.find_first_not_of('0') != std::string_view::npos ? HUGE_VAL : 0.0;
  } else if (ec != std::errc()) {
    return false;
  }
  if (std::fabs(d) > FLT_MAX) d = HUGE_VAL;
  const long double single = std::isinf(d) ? static_cast<long double>(d) : static_cast<float>(d);
  value = negative ? -single : single;
  return true;
}

std::string Fixed3(long double v) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<double>(v), std::chars_format::fixed, 3);
  return ec == std::errc() ? std::string(text, end) : std::string("?");
}

std::string Rounded(long double v) {
  if (std::isnan(v)) return "0";
  if (v >= static_cast<long double>(std::numeric_limits<int64_t>::max())) return std::to_string(INT64_MAX);
  if (v <= static_cast<long double>(std::numeric_limits<int64_t>::min())) return std::to_string(INT64_MIN);
  return std::to_string(std::llround(v));
}

}  // namespace

bool TValidator::Validate(std::string_view s, bool showError) {
  if (IsValid(s)) return true;
  if (showError) Error();
  return false;
}

TFilterValidator::TFilterValidator(std::string_view charSet)
    : CharSet(charSet.empty() ? NumericChars : charSet) {}

void TFilterValidator::Error() { ValidatorBox("Invalid input character"); }

bool TFilterValidator::IsValid(std::string_view s) {
  Empty = s.empty();
  for (size_t i = 0; i < s.size(); ++i)
    if (!TFilterValidator::IsValidChar(s[i])) {
      ErrorPos = static_cast<int>(i) + 1;
      return false;
    }
  return true;
}

bool TFilterValidator::IsValidChar(char c) { return c != 0 && CharSet.find(c) != std::string::npos; }

TRangeValidator::TRangeValidator(uint8_t kind, long double min, long double max, std::string_view charSet)
    : TFilterValidator(charSet), Kind(kind), Min(min), Max(max) {}

std::string TRangeValidator::RangeText() const {
  if (Kind == kKindFloat) return "Value not in range " + Fixed3(Min) + " .. " + Fixed3(Max) + ".";
  if (HexRangeText) {
    const auto hex = [this](long double v) {
      char text[16];
      std::snprintf(text, sizeof text, "%0*X", Max > 0xFF ? 4 : 2,
                    static_cast<unsigned>(std::clamp<long double>(v, 0, 0xFFFFFFFFu)));
      return std::string(text);
    };
    return "Value not in range " + hex(Min) + " .. " + hex(Max) + ".";
  }
  return "Value not in range " + Rounded(Min) + " .. " + Rounded(Max) + ".";
}

void TRangeValidator::Error() { ValidatorBox(RangeText()); }

bool TRangeValidator::IsValidChar(char c) {
  if (Kind != kKindInteger) return TFilterValidator::IsValidChar(c);
  switch (Base) {
    case 2: return c == '0' || c == '1';
    case 8: return c >= '0' && c <= '7';
    case 16: return IsHexDigit(c) || c == 'H' || c == 'h';
    default: return TFilterValidator::IsValidChar(c);
  }
}

bool TRangeValidator::IsValid(std::string_view s) {
  Empty = s.empty();
  if (Kind == kKindFloat) {
    // Input under way.
    const std::string text = TrimBlanks(s);
    if (text.empty() || text == "-" || text == "+") {
      Empty = text.empty();
      return true;
    }
  }
  for (size_t i = 0; i < s.size(); ++i)
    if (!IsValidChar(s[i])) {
      ErrorPos = static_cast<int>(i) + 1;
      return false;
    }
  long double value = 0;
  if (Kind == kKindFloat) {
    if (!ReadFloat(s, value) || std::isnan(value)) return false;
  } else if (Base == 10) {
    std::string_view digits = s;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
      negative = digits[0] == '-';
      digits.remove_prefix(1);
    }
    uint64_t n = 0;
    if (!ReadUnsigned(digits, 10, n) || n > static_cast<uint64_t>(INT64_MAX)) return false;
    value = negative ? -static_cast<long double>(n) : static_cast<long double>(n);
  } else {
    std::string_view digits = s;
    // "0FFH": the assembler's way of writing a hexadecimal number.
    if (Base == 16 && !digits.empty() && (digits.back() == 'H' || digits.back() == 'h')) digits.remove_suffix(1);
    uint64_t n = 0;
    if (!ReadUnsigned(digits, Base == 16 || Base == 8 || Base == 2 ? Base : 10, n)) return false;
    value = static_cast<long double>(n);
  }
  Result = value;
  return Min <= value && value <= Max;
}

THEXRangeValidator::THEXRangeValidator(uint16_t min, uint16_t max)
    : TRangeValidator(kKindInteger, min, max, HexChars) {
  Base = 16;
}

bool THEXRangeValidator::IsValidChar(char c) { return TFilterValidator::IsValidChar(c); }

bool THEXRangeValidator::IsValid(std::string_view s) {
  const std::string text = TrimBlanks(s);
  Empty = text.empty();
  if (Empty) return true;
  if (!TFilterValidator::IsValid(text)) return false;
  uint64_t n = 0;
  if (!ReadUnsigned(text, 16, n)) return false;
  Result = static_cast<long double>(n);
  return Min <= Result && Result <= Max;
}

bool THEXSetValidator::IsValid(std::string_view s) {
  const std::string text = TrimBlanks(s);
  Empty = text.empty();
  if (Empty) return true;
  // One value: present, hexadecimal and within the range.
  auto value = [this](std::string_view v) {
    const std::string item = TrimBlanks(v);
    return !item.empty() && THEXRangeValidator::IsValid(item);
  };
  size_t begin = 0;
  for (;;) {
    const size_t comma = text.find(',', begin);
    const std::string_view item =
        std::string_view(text).substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    const size_t dots = item.find("..");
    const bool ok = dots == std::string_view::npos ? value(item)
                                                   : value(item.substr(0, dots)) && value(item.substr(dots + 2));
    if (!ok) return false;
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  Empty = false;
  return true;
}

// --- Validated controls ------------------------------------------------------

void ValidLineEdit::keyPressEvent(QKeyEvent* e) {
  const QString text = e->text();
  if (Validator != nullptr && !text.isEmpty() && e->key() != Qt::Key_Backspace) {
    for (QChar qc : text) {
      if (qc.unicode() < 0x20 || qc.unicode() == 0x7F) continue;  // editing keys pass
      if (qc.unicode() > 0x7E || !Validator->IsValidChar(static_cast<char>(qc.unicode()))) {
        e->accept();
        return;
      }
    }
  }
  QLineEdit::keyPressEvent(e);
}

void TNumValidEdit::SetValidator(std::unique_ptr<TValidator> v) {
  owned_ = std::move(v);
  Validator = owned_.get();
}

TValidComboBox::TValidComboBox(QWidget* parent) : QComboBox(parent), edit_(new ValidLineEdit(this)) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setLineEdit(edit_);
  SetValidator(std::make_unique<TFilterValidator>(NumericChars));
}

void TValidComboBox::SetValidator(std::unique_ptr<TValidator> v) {
  owned_ = std::move(v);
  edit_->Validator = owned_.get();
}

}  // namespace dorvik::gui
