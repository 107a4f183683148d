// zarnith-check: reads a script without running it and reports the lines that
// the interpreter would pass over in silence or stop on. Every line is cut and
// classified by the interpreter's own functions, so both agree on what a line
// is; a check that would need a value known only at run time stays silent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarnith::check {

enum class Severity { kError, kWarning, kNote };

struct Diagnostic {
  std::size_t line = 1;    // 1-based
  std::size_t column = 1;  // 1-based, in bytes of the line as written
  Severity severity = Severity::kWarning;
  std::string message;
  std::string code;  // empty for a note, which belongs to the diagnostic before it
};

// The diagnostics of one script text, in line order (a note follows its
// diagnostic).
std::vector<Diagnostic> CheckScript(std::string_view text);

std::string_view SeverityName(Severity s);

// The 1-based column in the raw line `raw` of byte `offset` of its prepared
// text: tabs were removed and each backslash-n became one byte.
std::size_t RawColumn(std::string_view raw, std::size_t offset);

// True when the token holds an operator character, which the line's
// arithmetic may compute before a statement reads the token. A leading sign
// belongs to an integer literal.
bool HasOperator(std::string_view token);

// A literal integer whose value the run cannot change (no operation in it,
// which the line's arithmetic would compute first), or none.
std::optional<std::int64_t> LiteralInt(std::string_view token);

}  // namespace zarnith::check
