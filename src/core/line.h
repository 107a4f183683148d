// HandleString: executes one line of source text.
#pragma once

#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Executes a line that belongs to no open script (the shell's, a test's).
void HandleString(Interpreter& in, std::string_view line);

// Executes line in.lineIndex of the script whose plans are open (ScriptPlans),
// `line` being its text: by its plan from its second run on.
void HandleScriptLine(Interpreter& in, std::string_view line);

// Removes line feeds and tabs and turns backslash-n into a line feed.
void PrepareLine(std::string_view raw, std::string& prepared);

// Cuts a prepared and rewritten text and runs the statement of its form.
void ClassifyAndRun(Interpreter& in, std::string_view text);

}  // namespace zarnith
