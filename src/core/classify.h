// The line classifier: cuts a prepared (and rewritten) line into its views and
// picks the first statement form it matches, in the fixed order of the
// language; then runs the statement of that form. Both ways of running a
// line, and the tools that read scripts without running them, use it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/statements.h"
#include "state/interpreter.h"
#include "values/math.h"
#include "values/split.h"

namespace zarnith {

enum class LineForm : std::uint8_t { kNothing, kClassCall, kArray, kAssign, kBlock, kStatement };

// What a line's text says about it once cut: its form, the statement for the
// comma form, and the three-way split (made only when the form needs it).
struct LineCut {
  LineForm form = LineForm::kNothing;
  StatementFn statement = nullptr;
  ThreeWords three;
};

// What a caller that has scanned a line already knows of it.
enum class LineMarks : std::uint8_t {
  kUnknown,
  kSpacesOnly,  // no comma and no colon: only the first two spaces cut it
};

// Cuts `text` into argument pieces (always), the three-way split and the word
// list (only as far as the tests of the forms go) and picks the form. The
// views point into `text`.
LineCut ClassifyLine(std::string_view text, std::vector<std::string_view>& pieces,
                     std::vector<std::string_view>& words, LineMarks marks = LineMarks::kUnknown);

// An assignment whose value is one operation, `name = L OP R`, with the
// line's only operator character between two operand words that the
// rewriting reads whole: the line then becomes `name = <number>` or stays as
// it is. No quotes to strip, no space to cut the words short, no comma or
// colon whose pieces a number could shift.
struct AssignedOperation {
  char op = 0;
  OperationPlan operation;  // as PlanOperation plans it
};
std::optional<AssignedOperation> AssignedOperationOf(std::string_view text, const LineCut& cut);

// What the form is called in a trace: "class call", "assignment" and so on.
std::string_view LineFormName(LineForm form);

// Runs the statement of a classified line. A class call writes the command
// name over piece 0, so `pieces` must be the caller's own.
void RunForm(Interpreter& in, const LineCut& cut, std::span<std::string_view> pieces,
             std::span<const std::string_view> words);

}  // namespace zarnith
