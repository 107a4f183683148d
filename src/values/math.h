// Arithmetic rewriting: one integer operation per operator character is
// replaced in the line's text by the decimal text of its result.
#pragma once

#include <cstdint>
#include <string>

#include "core/interpreter.h"

namespace zarnith {

// Rewrites the operation around the operator at byte `position` of `line`, in
// place. The line stays unchanged when the operation cannot be evaluated.
void Math(Interpreter& in, std::int64_t position, std::string& line);

// Applies Math once for each of "+", "-", "*", "/" that the line contains, at
// its first occurrence, in that order.
void RewriteArithmetic(Interpreter& in, std::string& line);

}  // namespace zarnith
