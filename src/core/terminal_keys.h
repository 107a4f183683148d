// The keys that the shell adds to its line editor: Tab completes the name
// before the cursor, Ctrl-R searches the lines typed in this session.
#pragma once

#include <histedit.h>

#include <string>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Adds the key functions to the editor and binds Tab and Ctrl-R. Completion
// reads the names of `in`, which must outlive the editor.
void BindShellKeys(EditLine* editor, Interpreter& in);

// The prompt the editor draws: "> ", or the search's while one is under way.
const char* ShellPrompt(EditLine* editor);

// Keeps a line that was run, for Ctrl-R to find.
void RememberForSearch(const std::string& line);

// Ends a search that the editor left without a key of the search's own
// (Ctrl-C, the end of input): the next line starts with the usual prompt.
void EndSearch();

// A text as the terminal would echo it: control characters in caret form,
// so that a typed escape sequence cannot move the cursor or recolour the screen.
std::string Visible(std::string_view text);

}  // namespace zarnith
