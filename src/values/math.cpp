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

bool IsOperand(const Interpreter& in, std::string_view word) {
  return GetTypeEx(in, word) == type::kInt || CheckOnVariable(in, word);
}

// Two's-complement arithmetic without undefined behaviour.
std::optional<std::int64_t> Compute(Interpreter& in, char op, std::int64_t a, std::int64_t b) {
  auto ua = static_cast<std::uint64_t>(a);
  auto ub = static_cast<std::uint64_t>(b);
  switch (op) {
    case '+': return static_cast<std::int64_t>(ua + ub);
    case '-': return static_cast<std::int64_t>(ua - ub);
    case '*': return static_cast<std::int64_t>(ua * ub);
    default: break;
  }
  if (b == 0) {
    PrintError(in, msg::kDivisionByZero);
    return std::nullopt;
  }
  if (a == std::numeric_limits<std::int64_t>::min() && b == -1) return a;
  return a / b;
}

}  // namespace

void Math(Interpreter& in, std::int64_t position, std::string& line) {
  if (position <= 0 || static_cast<std::size_t>(position) + 1 >= line.size()) return;
  auto p = static_cast<std::size_t>(position);
  const char op = line[p];
  // A space on either side means no operation; "[" before a "-" is the sign
  // of an array index such as a[-1], not a subtraction.
  if (line[p - 1] == ' ' || line[p + 1] == ' ' || line[p - 1] == '[') return;

  std::string_view text = line;
  std::size_t leftStart = text.rfind(' ', p - 1);
  leftStart = leftStart == std::string_view::npos ? 0 : leftStart + 1;
  std::string_view left = StripQuotes(text.substr(leftStart, p - leftStart));
  std::string_view rest = text.substr(p + 1);
  const char stops[] = {' ', op};
  std::string_view right =
      StripQuotes(rest.substr(0, rest.find_first_of(std::string_view(stops, 2))));

  if (!IsOperand(in, left) && !IsOperand(in, right)) return;
  // Resolving copies the operand words: a bad array read may end the program,
  // and nothing may point into the line once it changes.
  std::string leftWord(left), rightWord(right);
  Value a = IfVariableReplaceIt(in, leftWord);
  Value b = IfVariableReplaceIt(in, rightWord);
  if (GetGoType(a) != type::kInt || GetGoType(b) != type::kInt) return;
  auto result = Compute(in, op, std::get<std::int64_t>(a), std::get<std::int64_t>(b));
  if (!result) return;

  std::string pattern = leftWord;
  pattern += op;
  pattern += rightWord;
  std::size_t at = line.find(pattern);
  if (at == std::string::npos) return;
  line.replace(at, pattern.size(), IntToText(*result));
}

void RewriteArithmetic(Interpreter& in, std::string& line) {
  for (char op : {'+', '-', '*', '/'}) {
    std::size_t p = line.find(op);
    if (p != std::string::npos) Math(in, static_cast<std::int64_t>(p), line);
  }
}

}  // namespace zarnith
