// Arithmetic rewriting: one integer operation per operator character is
// replaced in the line's text by the decimal text of its result.
#pragma once

#include <cstdint>
#include <string>

#include "state/interpreter.h"

namespace zarnith {

// Rewrites the operation around the operator at byte `position` of `line`, in
// place. The line stays unchanged when the operation cannot be evaluated.
// True when the line changed.
bool Math(Interpreter& in, std::int64_t position, std::string& line);

// Applies Math once for each of "+", "-", "*", "/" that the line contains, at
// its first occurrence, in that order.
void RewriteArithmetic(Interpreter& in, std::string& line);

// What the text alone says about the operation at byte `position` of `line`:
// its operand words and where the pattern they form first stands.
OperationPlan PlanOperation(std::string_view line, std::size_t position);

// Reads the operands of a planned operation and computes it. The decimal
// text of the result goes to `digits` (at least 20 bytes); returns its length,
// 0 when the line stays as it is.
std::size_t EvaluateOperation(Interpreter& in, char op, const OperationPlan& plan, char* digits);

}  // namespace zarnith
