// The comma-form statements: exit, jump, print, printc, sleep, append, return,
// typeof, readline, and use (which belongs to the class registry).
#pragma once

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

}  // namespace zarnith
