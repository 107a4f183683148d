// HandleString: executes one line of source text.
#pragma once

#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

void HandleString(Interpreter& in, std::string_view line);

// Removes line feeds and tabs and turns backslash-n into a line feed.
void PrepareLine(std::string_view raw, std::string& prepared);

}  // namespace zarnith
