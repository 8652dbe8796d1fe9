#pragma once
// Validators: a character filter that stops wrong keys as they are typed, and
// range checks of the whole text (decimal, binary, octal, hexadecimal, float,
// hexadecimal lists) that report what is wrong in a message box. The edit and
// the combo box below carry one and offer it every typed character.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QComboBox>
#include <QLineEdit>

namespace dorvik::gui {

inline constexpr std::string_view NumericChars = "+-.0123456789";
inline constexpr std::string_view HexChars = ",.0123456789ABCDEF";
// The characters of an expression field: numbers in any base, symbols,
// operators, "$" and the typed-memory brackets.
inline constexpr std::string_view ExpressionChars =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_$?@.:#+-*/()[]<>=!&|^~% ,'";

inline constexpr uint8_t kKindInteger = 0;
inline constexpr uint8_t kKindFloat = 1;

class TValidator {
 public:
  virtual ~TValidator() = default;
  virtual void Error() {}
  virtual bool IsValid(std::string_view) { return true; }
  virtual bool IsValidChar(char) { return true; }
  // IsValid; else Error when ShowError, and false.
  bool Validate(std::string_view s, bool showError);

  bool Empty = true;        // the last checked text was empty
  long double Result = 0;   // value of the last checked text
  uint8_t Base = 10;        // number base of integer input: 2, 8, 10 or 16
};

class TFilterValidator : public TValidator {
 public:
  // An empty set is NumericChars.
  explicit TFilterValidator(std::string_view charSet = {});
  void Error() override;
  bool IsValid(std::string_view s) override;
  bool IsValidChar(char c) override;

  std::string CharSet;
  int ErrorPos = 0;  // 1-based index of the first character not in the set
};

class TRangeValidator : public TFilterValidator {
 public:
  TRangeValidator(uint8_t kind, long double min, long double max, std::string_view charSet = {});
  void Error() override;
  bool IsValid(std::string_view s) override;
  // Integers take only the digits of their base; base 16 also the letters
  // A-F and the suffix H in either case.
  bool IsValidChar(char c) override;
  // "Value not in range ..." as the box shows it.
  std::string RangeText() const;

  uint8_t Kind;
  long double Min, Max;
  // The range in the message in hexadecimal digits, as a hexadecimal field shows its numbers.
  bool HexRangeText = false;
};

class THEXRangeValidator : public TRangeValidator {
 public:
  THEXRangeValidator(uint16_t min, uint16_t max);
  // The trimmed text: hexadecimal characters only, read as a hexadecimal
  // number within Min..Max.
  bool IsValid(std::string_view s) override;
  bool IsValidChar(char c) override;
};

class THEXSetValidator : public THEXRangeValidator {
 public:
  using THEXRangeValidator::THEXRangeValidator;
  // A list of values and ranges (value..value) separated by ","; every item,
  // both ends of each range, checked once.
  bool IsValid(std::string_view s) override;
};

// Validated controls: every typed character but Backspace is offered to the
// validator first; a refused one is dropped.
class ValidLineEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  TValidator* Validator = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

class TNumValidEdit : public ValidLineEdit {
 public:
  explicit TNumValidEdit(QWidget* parent = nullptr) : ValidLineEdit(parent) {}
  void SetValidator(std::unique_ptr<TValidator> v);
  TValidator* GetValidator() const { return owned_.get(); }

 private:
  std::unique_ptr<TValidator> owned_;
};

class TValidComboBox : public QComboBox {
 public:
  // Starts with a filter of NumericChars.
  explicit TValidComboBox(QWidget* parent = nullptr);
  void SetValidator(std::unique_ptr<TValidator> v);
  TValidator* Validator() const { return owned_.get(); }

 private:
  ValidLineEdit* edit_;
  std::unique_ptr<TValidator> owned_;
};

}  // namespace dorvik::gui
