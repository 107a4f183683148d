// The checks of values: what a token is when its line runs (a literal, a
// variable of a known type, a name that no line makes), whether a condition
// can be evaluated, and whether a written array index lies inside the array.
#include <array>
#include <cstdint>
#include <optional>

#include "check/checker.h"
#include "values/conditions.h"
#include "values/messages.h"
#include "values/resolve.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith::check {

using facts::HasOperator;

namespace {

// What the run does with a condition it cannot evaluate.
constexpr char kPassedOver[] =
    ": the run passes over the condition without a message, as if the line were not there";

// What a token is, for a message: "'n' is an int", "'x' names nothing ...".
std::string Describe(std::string_view token, std::string_view varType) {
  if (token.empty()) return "the argument is empty";
  if (varType != type::kUnknown) {
    return Quoted(token) +
           (varType == type::kInt || varType == type::kIntArray ? " is an " : " is a ") +
           std::string(varType);
  }
  if (token.front() == '"' || token.back() == '"')
    return Quoted(token) + " is not a whole quoted text";
  return Quoted(token) + " names nothing (no line assigns it)";
}

}  // namespace

// print and printc write a text: a string literal, or a variable that holds
// one.
void Checker::CheckPrinted(std::size_t i, std::string_view keyword, std::string_view token) {
  std::optional<std::string_view> t = names_.TypeOf(token);
  if (!t || *t == type::kString) return;
  std::string message = Quoted(keyword) + " writes texts only, and " + Describe(token, *t) +
                        ": the run prints \"" + std::string(msg::kFirstNotString) +
                        std::string(*t) + "\"";
  if (*t == type::kInt) message += " (strings:itoa makes a text of a number)";
  Report(i, Column(i, token), Severity::kError, message, "argument-type");
}

// sleep takes the number as written: a variable is not read, whatever it
// holds. An operation is computed before the statement sees it.
void Checker::CheckSleep(std::size_t i, std::string_view token) {
  std::string_view t = GetType(token);
  if (t == type::kInt || HasOperator(token) || token.find('\r') != std::string_view::npos) return;
  bool name = t == type::kUnknown && !token.empty() && token.front() != '"';
  Report(i, Column(i, token), Severity::kError,
         "'sleep' takes a number of milliseconds written in the line" +
             std::string(name ? ", not a variable: " + Quoted(token) + " is not read" : "") +
             " (the run prints \"" + std::string(msg::kFirstNotInt) + std::string(t) + "\")",
         "argument-type");
}

void Checker::CheckAssignment(std::size_t i, const ThreeWords& three) {
  std::string_view value = three.rest;
  if (value.find(' ') != std::string_view::npos && GetType(value) != type::kString) {
    std::string message =
        "the value " + Quoted(value) + " is not one word, so the assignment does nothing";
    if (value.find_first_of(kOperators) != std::string_view::npos) {
      message += ": write an operation without spaces, as in 2+3";
    }
    Report(i, Column(i, value), Severity::kWarning, message, "no-statement");
    return;
  }
  CheckElementRead(i, value);
  std::string_view target = three.first;
  bool open = target.find('[') != std::string_view::npos;
  bool close = target.find(']') != std::string_view::npos;
  if (open && close) CheckElementWrite(i, target);
  if (open || close || value.empty() || value.find('[') != std::string_view::npos) return;
  // A value of type "unknown" assigns nothing, without a message.
  if (names_.TypeOf(value) != type::kUnknown) return;
  bool name = value.front() != '"' && value.back() != '"';
  Report(i, Column(i, value), Severity::kWarning,
         Describe(value, type::kUnknown) + ", so this assignment does nothing" +
             (name ? " (a text is written between double quotes)" : ""),
         "unassigned-name");
}

void Checker::CheckBlock(std::size_t i) {
  if ((words_[0] != "if" && words_[0] != "elif") || words_.size() < 4) return;
  std::string_view left = words_[1], op = words_[2], right = words_[3];
  CheckElementRead(i, left);
  CheckElementRead(i, right);
  std::optional<std::string_view> leftType = names_.TypeOf(left);
  std::optional<std::string_view> rightType = names_.TypeOf(right);
  bool mismatch = leftType && rightType && *leftType != *rightType;
  std::string mismatchRun = "prints \"" + std::string(msg::kCompareMismatch) +
                            "\" and goes on as if the line were not there";
  if (op.empty()) {
    // The words shift: the operator is an empty word, and what was meant
    // as the operator is the right operand.
    Report(i, Column(i, op), mismatch ? Severity::kError : Severity::kWarning,
           "two spaces in a row leave an empty word where the operator stands" +
               (mismatch ? ": the run compares " + Quoted(left) + " with " + Quoted(right) + ", " +
                               mismatchRun
                         : kPassedOver),
           "unknown-operator");
  } else if (mismatch) {
    Report(i, Column(i, left), Severity::kError,
           Describe(left, *leftType) + " and " + Describe(right, *rightType) + ": the run " +
               mismatchRun,
           "type-mismatch");
  } else {
    CheckOperator(i, op, leftType ? *leftType : std::string_view{});
  }
}

// An operator that the run does not know, or not for these operands, makes
// it pass over the condition without a word.
void Checker::CheckOperator(std::size_t i, std::string_view op, std::string_view operands) {
  auto known = comparisons_.find(op);
  if (known == comparisons_.end()) {
    known = comparisons_
                .emplace(std::string(op),
                         std::pair{Compares(op, type::kInt), Compares(op, type::kString)})
                .first;
  }
  auto [ints, texts] = known->second;
  if (!ints && !texts) {
    Report(i, Column(i, op), Severity::kWarning,
           Quoted(op) + " is not a comparison operator" + kPassedOver +
               " (compare with <, >, == or !=)",
           "unknown-operator");
  } else if (operands == type::kString && !texts) {
    Report(i, Column(i, op), Severity::kWarning,
           Quoted(op) + " does not compare texts" + kPassedOver + " (texts compare with == or !=)",
           "unknown-operator");
  }
}

// Whether the run evaluates a condition with the operator `op` between two
// values of type `valueType`: asked of the interpreter's own IfHandle, with
// two literals.
bool Checker::Compares(std::string_view op, std::string_view valueType) {
  std::string_view value = valueType == type::kInt ? "1" : "\"a\"";
  std::array<std::string_view, 4> condition{"if", value, op, value};
  in_.ifInfo = ifInfoType{};
  IfHandle(in_, condition);
  bool evaluated = in_.ifInfo.enabled;
  in_.ifInfo = ifInfoType{};
  return evaluated;
}

// An element read: with an index that is not an integer literal nor an
// operation computed before the line runs, or outside a known array, it
// ends the program.
void Checker::CheckElementRead(std::size_t i, std::string_view token) {
  std::size_t open = token.find('[');
  if (open == std::string_view::npos || GetType(token) == type::kString) return;
  std::string_view name = token.substr(0, open);
  if (!names_.MayBeArray(name)) return;
  std::string_view index = IndexText(token);
  if (HasOperator(index)) return;
  std::optional<std::int64_t> position = ParseIntLiteral(index);
  if (!position) {
    Report(i, Column(i, token), Severity::kError,
           "array index " + Quoted(index) +
               " is not an integer literal: reading this element ends the program with status 127",
           "index-not-literal");
    return;
  }
  if (std::optional<std::string> outside = Outside(name, *position)) {
    Report(i, Column(i, token), Severity::kError,
           *outside + ": reading it ends the program with status 127 (the run prints \"" +
               std::string(msg::kIndexOutOfRangeCritical) + "\")",
           "index-out-of-range");
  }
}

void Checker::CheckElementWrite(std::size_t i, std::string_view target) {
  std::string_view name = BeforeFirst(target, '[');
  std::optional<std::string_view> index = Bracketed(target, '[', ']');
  std::optional<std::int64_t> position = index ? ParseIntLiteral(*index) : std::nullopt;
  if (!position) return;  // the run reports it
  if (std::optional<std::string> outside = Outside(name, *position)) {
    Report(i, Column(i, target), Severity::kError,
           *outside + ": the run prints \"" + std::string(msg::kIndexOutOfRange) +
               "\" and assigns nothing",
           "index-out-of-range");
  }
}

// What is wrong with element `position` of the array `name`, when its
// length is known and the element lies outside it.
std::optional<std::string> Checker::Outside(std::string_view name, std::int64_t position) {
  std::optional<std::int64_t> length = names_.Length(name);
  if (!length) return std::nullopt;
  std::string index = "index " + std::to_string(position);
  if (position < 0) return index + " is below 0";
  if (position < *length) return std::nullopt;
  std::string elements = *length == 0   ? "no elements"
                         : *length == 1 ? "1 element"
                                        : std::to_string(*length) + " elements";
  return index + " is past the end of " + Quoted(name) + ", which has " + elements;
}

}  // namespace zarnith::check
