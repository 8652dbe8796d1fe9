#pragma once
// The expression evaluator of the command language and the value list.
// Expressions are evaluated in extended precision, token by token from the
// scanner; symbols stand for the contents of their memory location, register
// names for the register's value, and typed memory references read a value
// or a whole range into the value list (through lang/target_access.h).

#include <cstdint>
#include <vector>

#include "lang/scanner.h"
#include "lang/valuelist.h"

namespace dorvik {

struct EvaluatorState {
  uint8_t ResultSpace = kValueSpaceNumber;  // space of the last binary operator's result
  uint8_t ValueType = tok::kNumberValue;
  uint8_t ValueSymClass = 0;
  uint8_t ExprDepth = 0;      // Expression nesting, 0 when idle
  uint8_t OperatorDepth = 0;  // operator nesting
  // "=" is the comparison in the expression being evaluated (its caller
  // fixed the end); elsewhere it ends the expression.
  bool EqualCompares = false;

  // The range of the last typed memory reference (shared with the memory commands).
  int32_t RangeStart = 0;
  int32_t RangeEnd = 0;
  int32_t RangeLength = 0;
  bool RangeGiven = false;
  uint8_t RangeKeyword = tok::kLENGTH;
  uint8_t RangeSpace = 0;
  // A watch or a field that takes one value is being evaluated: a typed
  // range of more than one element is error 133.
  bool SingleValueOnly = false;

};

EvaluatorState& Evaluator();


// Value returned for a division by zero (the largest single-precision value).
inline constexpr long double kDivideByZeroValue = 3.40282346e38L;
// TRUE of comparisons and the keyword TRUE.
inline constexpr long double kTrueValue = 4294967295.0L;

// Evaluation
// One expression from the scanner. With EndToken not 0 the token after the
// expression must be EndToken (consumed); with 0 it is left unread. The
// result is also left in ExprValue; 0 after any error.
// "=" compares (like EQ) only where the end is fixed (EndToken ")" or CR,
// so also inside parentheses); with EndToken 0 or "=" it ends the
// expression, so that "R0 = 5" and "XBYTE 0 TO 9 = 1,2,3" read as assignments.
long double Expression(uint8_t endToken);
// One operand; AllowRange lets a typed reference take LENGTH or TO.
long double Primary(bool allowRange);
long double ApplyOperator(uint8_t leftSpace, uint8_t op, long double left);
long double ComputeOperator(uint8_t leftSpace, uint8_t rightSpace, uint8_t op,
                            long double right, long double left);
// 1 OR XOR, 2 AND, 3 NOT, 4 comparisons, 5 + -, 6 * /; error 143 for others.
uint8_t OperatorPrecedence(uint8_t token);

// Typed memory references
// The typed memory token of a type keyword with its optional space.
uint8_t TypedReference(uint8_t typeToken);
// A space keyword after a type keyword into spaceToken; False (and IDATA)
// when none was written.
bool ReadMemorySpace(uint8_t& spaceToken);
// The address and optional LENGTH/TO range of a typed reference whose items
// have type elemType: RangeStart, RangeEnd (moved up to whole elements),
// RangeLength (elements), RangeGiven, RangeKeyword, RangeSpace.
void ReadRange(uint8_t elemType);

}  // namespace dorvik
