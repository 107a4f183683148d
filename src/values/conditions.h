// Conditional blocks: the one ifInfo record, the line gate and IfHandle.
#pragma once

#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

bool IsBlockKeyword(std::string_view word);

// True when the line must be ignored because it lies inside a branch that does
// not run. Looks at the line as received, before any clean-up.
bool SkippedByGate(const Interpreter& in, std::string_view rawLine);

// An else line and an end line (their further words play no part).
void ElseHandle(Interpreter& in);
void EndHandle(Interpreter& in);

// Executes one if/elif/else/end line, given its words.
void IfHandle(Interpreter& in, std::span<const std::string_view> words);

}  // namespace zarnith
