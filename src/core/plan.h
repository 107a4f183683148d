// A line plan: everything a script line's text alone decides, worked out once
// when the line runs for the second time, and the dedicated step for the
// line patterns that loops are made of. Private to the statement interpreter; see
// docs/internals.md for the whole path of a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/classify.h"
#include "core/operand.h"
#include "state/interpreter.h"
#include "values/math.h"

namespace zarnith {

// The dedicated steps. Each checks its conditions on every run and does
// nothing when one fails; the plan's general step then runs the line.
enum class Step : std::uint8_t {
  kGeneral,     // only the general step
  kAssign,      // name = operand, name = operand OP operand (ints and texts)
  kAssignItem,  // name[N] = operand, name[N] = operand OP operand
  kCompare,     // if/elif operand OP operand
  kElse,        // else
  kEnd,         // end
  kJump,        // jump, operand
  kPrint,       // print or printc with one argument
  kAppend,      // append, operand, operand
};

// A plan holds views into its own text: it stays where it was made.
struct Plan {
  Plan() = default;
  Plan(const Plan&) = delete;
  Plan& operator=(const Plan&) = delete;

  std::string text;           // the prepared line
  bool blockKeyword = false;  // the raw line's first word is if/elif/else/end
  // Some operation may rewrite the text, depending on the operands' values.
  bool rewritable = false;
  OperationPlan operations[kOperators.size()];  // in the order of kOperators, over `text`

  // The views of `text` and its form, as the classifier gives them.
  std::vector<std::string_view> pieces, words;
  LineCut cut;

  // A class call: the argument list with the command name as element 0, and
  // where the class was found in the registry.
  std::vector<std::string_view> callArgs;
  std::string_view className;
  std::size_t classIndex = SIZE_MAX;

  // The dedicated step and its operands.
  Step step = Step::kGeneral;
  Operand target;       // assignments: the name (or the array) written
  Operand left, right;  // the value, or the two sides of an operation or comparison
  char op = 0;          // arithmetic: + - * /, 0 for a plain value
  bool lineFeed = false;          // print (not printc)
  std::string_view keyword;       // if or elif
  std::string_view comparison;    // < > == !=
};

// Plans a script line (not empty, not a comment). Looks classes up in the
// registry; reads no variable.
std::unique_ptr<Plan> CompilePlan(Interpreter& in, std::string_view raw);

// Runs a planned line exactly as the reference path would run its text.
void RunPlan(Interpreter& in, Plan& plan);

}  // namespace zarnith
