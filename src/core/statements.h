// The comma-form statements: exit, jump, print, printc, sleep, append, return,
// typeof, readline, and use (which belongs to the class registry).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

using Pieces = std::span<const std::string_view>;
using StatementFn = void (*)(Interpreter&, Pieces);

// The statement whose keyword is exactly `keyword`, or null.
StatementFn FindStatement(std::string_view keyword);

// The keywords of the comma-form statements, in the order of the statement table.
std::span<const std::string_view> StatementKeywords();

// What a statement needs of its pieces, for tools that read scripts without
// running them.
struct StatementRules {
  std::size_t minPieces = 0;  // fewer pieces (keyword included) report an error
  bool rejoins = false;       // the pieces are joined again with ", "
};
StatementRules FindStatementRules(std::string_view keyword);

// What jump does with its target: line `target` (counted from 1) runs next.
// False, with nothing changed, for a target below 1.
bool JumpToLine(Interpreter& in, std::int64_t target);

// What append does with its two texts: `more` joined to `joined`, handed back
// as the returned value. A text that would not fit in free memory is refused
// ("out of memory") rather than grown.
void AppendToReturned(Interpreter& in, Text joined, std::string_view more);

}  // namespace zarnith
