// zarnith-check: reads a script without running it and reports the lines that
// the interpreter would pass over in silence or stop on. The lines are read
// into the script's facts, cut and classified by the interpreter's own
// functions, so both agree on what a line is; a check that would need a value
// known only at run time stays silent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "facts/script_facts.h"

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
// The same, of a text already read.
std::vector<Diagnostic> CheckScript(const facts::ScriptFacts& script);

std::string_view SeverityName(Severity s);

}  // namespace zarnith::check
