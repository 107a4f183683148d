// Arithmetic rewriting: one integer operation per operator character is
// replaced in the line's text by the decimal text of its result.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "state/interpreter.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

// The operator characters, in the order a line's arithmetic is rewritten.
inline constexpr std::string_view kOperators = "+-*/";

// The operation at one operator character of a line, as far as the text alone
// decides it; the operands' values are read when it is evaluated.
struct OperationPlan {
  bool candidate = false;        // no space beside it and the line is not cut at its edge
  std::string_view left, right;  // operand words, quotes stripped
  std::size_t patternAt = std::string::npos;  // first "left op right" in the text
};

// The result of a OP b in two's complement, without undefined behaviour;
// none for a division by zero.
inline std::optional<std::int64_t> ComputeOperation(char op, std::int64_t a, std::int64_t b) {
  auto ua = static_cast<std::uint64_t>(a);
  auto ub = static_cast<std::uint64_t>(b);
  switch (op) {
    case '+': return static_cast<std::int64_t>(ua + ub);
    case '-': return static_cast<std::int64_t>(ua - ub);
    case '*': return static_cast<std::int64_t>(ua * ub);
    default: break;
  }
  if (b == 0) return std::nullopt;
  if (a == std::numeric_limits<std::int64_t>::min() && b == -1) return a;
  return a / b;
}

// Rewrites the operation around the operator at byte `position` of `line`, in
// place. The line stays unchanged when the operation cannot be evaluated.
// True when the line changed.
bool Math(Interpreter& in, std::int64_t position, std::string& line);

// Applies Math once for each of "+", "-", "*", "/" that the line contains, at
// its first occurrence, in that order.
void RewriteArithmetic(Interpreter& in, std::string& line);

// The same for the operators of kOperators from number `first` on.
void RewriteArithmeticFrom(Interpreter& in, std::string& line, std::size_t first);

// Bit k stands for kOperators[k].
inline constexpr unsigned OperatorBit(std::size_t k) { return 1u << k; }

// The bits of the operator characters that `text` holds.
unsigned OperatorsIn(std::string_view text);

// The same for the operators whose bits are set in `present`: at least those
// that `line` holds (a caller that has scanned the line already).
void RewriteOperatorsPresent(Interpreter& in, std::string& line, unsigned present);

// What the text alone says about the operation at byte `position` of `line`:
// its operand words and where the pattern they form first stands.
OperationPlan PlanOperation(std::string_view line, std::size_t position);

// Reads an operation's looked-up operands and computes it, printing the
// errors that rewriting it prints; none when no number comes of it.
std::optional<std::int64_t> ComputeOperands(Interpreter& in, char op, const TokenRef& left,
                                            const TokenRef& right);

// Looks up and reads the operands of a planned operation and computes it: the
// decimal text that takes the pattern's place, written in `digits`; empty
// when the line stays as it is.
std::string_view EvaluateOperation(Interpreter& in, char op, const OperationPlan& plan,
                                   IntDigits& digits);

// Puts an evaluated operation's result in place of its pattern in `line`.
void SpliceResult(std::string& line, const OperationPlan& plan, std::string_view result);

}  // namespace zarnith
