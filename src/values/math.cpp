// Math: evaluates one integer operation written without spaces around its
// operator and puts the result's decimal text in its place.
#include "values/math.h"

#include <limits>
#include <optional>

#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

std::string_view StripQuotes(std::string_view word) {
  while (!word.empty() && word.front() == '"') word.remove_prefix(1);
  while (!word.empty() && word.back() == '"') word.remove_suffix(1);
  return word;
}

bool IsOperand(const TokenRef& word) { return SameType(word.type, type::kInt) || word.variable; }

std::optional<std::int64_t> Compute(Interpreter& in, char op, std::int64_t a, std::int64_t b) {
  std::optional<std::int64_t> result = ComputeOperation(op, a, b);
  if (!result) PrintError(in, msg::kDivisionByZero);
  return result;
}

}  // namespace

OperationPlan PlanOperation(std::string_view line, std::size_t p) {
  OperationPlan plan;
  if (p == 0 || p + 1 >= line.size()) return plan;
  const char op = line[p];
  // A space on either side means no operation; "[" before a "-" is the sign
  // of an array index such as a[-1], not a subtraction.
  if (line[p - 1] == ' ' || line[p + 1] == ' ' || line[p - 1] == '[') return plan;
  plan.candidate = true;

  // The operand words run to the spaces around them (the right one stops at
  // a second operator of its kind too); they are short, so plain loops.
  std::size_t leftStart = p;
  while (leftStart > 0 && line[leftStart - 1] != ' ') --leftStart;
  std::size_t rightEnd = p + 1;
  while (rightEnd < line.size() && line[rightEnd] != ' ' && line[rightEnd] != op) ++rightEnd;
  plan.left = StripQuotes(line.substr(leftStart, p - leftStart));
  plan.right = StripQuotes(line.substr(p + 1, rightEnd - p - 1));

  // When the operator is the first of its kind in the line and no quotes were
  // stripped beside it, the pattern first stands right around it.
  bool firstOperator = FindChar(line.substr(0, p), op) == std::string_view::npos;
  if (firstOperator && plan.left.data() + plan.left.size() == line.data() + p &&
      plan.right.data() == line.data() + p + 1) {
    plan.patternAt = static_cast<std::size_t>(plan.left.data() - line.data());
  } else {
    std::string pattern(plan.left);
    pattern += op;
    pattern += plan.right;
    plan.patternAt = line.find(pattern);
  }
  return plan;
}

std::optional<std::int64_t> ComputeOperands(Interpreter& in, char op, const TokenRef& left,
                                            const TokenRef& right) {
  if (!IsOperand(left) && !IsOperand(right)) return std::nullopt;
  // Both are read before either is judged: reading the second may end the
  // program even when the first is no int.
  std::optional<std::int64_t> x = ReadIntToken(in, left);
  std::optional<std::int64_t> y = ReadIntToken(in, right);
  if (!x || !y) return std::nullopt;
  return Compute(in, op, *x, *y);
}

std::string_view EvaluateOperation(Interpreter& in, char op, const OperationPlan& plan,
                                   IntDigits& digits) {
  if (!plan.candidate) return {};
  std::optional<std::int64_t> result =
      ComputeOperands(in, op, LookUpToken(in, plan.left), LookUpToken(in, plan.right));
  if (!result || plan.patternAt == std::string::npos) return {};
  return FormatInt(*result, digits);
}

namespace {

// Math at a position within the line: the result's text as it now stands in
// the line, written in `digits`; empty when the line stays as it is.
std::string_view RewriteAt(Interpreter& in, std::size_t p, std::string& line, IntDigits& digits) {
  // The plan's words point into the line, which stays untouched until the
  // operands are read (a bad array read may end the program meanwhile).
  OperationPlan plan = PlanOperation(line, p);
  std::string_view result = EvaluateOperation(in, line[p], plan, digits);
  if (!result.empty()) SpliceResult(line, plan, result);
  return result;
}

}  // namespace

bool Math(Interpreter& in, std::int64_t position, std::string& line) {
  if (position < 0 || static_cast<std::size_t>(position) >= line.size()) return false;
  IntDigits digits;
  return !RewriteAt(in, static_cast<std::size_t>(position), line, digits).empty();
}

void SpliceResult(std::string& line, const OperationPlan& plan, std::string_view result) {
  line.replace(plan.patternAt, plan.left.size() + 1 + plan.right.size(), result);
}

void RewriteOperatorsPresent(Interpreter& in, std::string& line, unsigned present) {
  static constexpr unsigned kMinus = OperatorBit(kOperators.find('-'));
  for (std::size_t k = 0; k < kOperators.size(); ++k) {
    if (!(present & OperatorBit(k))) continue;
    std::size_t p = line.find(kOperators[k]);
    if (p == std::string::npos) continue;
    IntDigits digits;
    std::string_view result = RewriteAt(in, p, line, digits);
    // A negative result's sign is an operator character for the steps after it.
    if (!result.empty() && result[0] == '-') present |= kMinus;
  }
}

unsigned OperatorsIn(std::string_view text) {
  static constexpr ByteSet kOperatorBytes(kOperators);
  unsigned present = 0;
  // Most texts hold no operator character at all.
  for (std::size_t i = kOperatorBytes.Span(text); i < text.size(); ++i) {
    if (kOperatorBytes.Has(text[i])) present |= OperatorBit(kOperators.find(text[i]));
  }
  return present;
}

void RewriteArithmeticFrom(Interpreter& in, std::string& line, std::size_t first) {
  RewriteOperatorsPresent(in, line, OperatorsIn(line) & ~(OperatorBit(first) - 1));
}

void RewriteArithmetic(Interpreter& in, std::string& line) { RewriteArithmeticFrom(in, line, 0); }

}  // namespace zarnith
