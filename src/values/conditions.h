// Conditional blocks: the one ifInfo record, the line gate and IfHandle.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

bool IsBlockKeyword(std::string_view word);

// True when the line must be ignored because it lies inside a branch that does
// not run. Looks at the line as received, before any clean-up.
bool SkippedByGate(const Interpreter& in, std::string_view rawLine);

// Whether a branch of the chain is running: an if or elif line then ends it
// without reading its condition.
inline bool RunningBranch(const ifInfoType& info) {
  return info.enabled && info.result && (info.lastCond == "if" || info.lastCond == "elif");
}
// Ends the running branch at an if or elif line; no later branch of the chain runs.
void EndBranch(Interpreter& in, std::string_view keyword);
// Starts the chain's next branch at an if or elif line whose condition is `truth`.
void OpenBranch(Interpreter& in, std::string_view keyword, bool truth);

// A condition's comparison by its operator word ("<", ">", "==", "!="); none
// for an operator that the operands' type does not know (texts have no order).
std::optional<bool> CompareNumbers(std::string_view op, std::int64_t a, std::int64_t b);
std::optional<bool> CompareTexts(std::string_view op, std::string_view a, std::string_view b);

// An else line and an end line (their further words play no part).
void ElseHandle(Interpreter& in);
void EndHandle(Interpreter& in);

// Executes one if/elif/else/end line, given its words.
void IfHandle(Interpreter& in, std::span<const std::string_view> words);

}  // namespace zarnith
