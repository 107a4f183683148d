// The shell's line editor at a terminal: cursor movement, editing, Tab
// completion and the history of this session with its Ctrl-R search, through
// libedit loaded when the shell starts. While a statement runs, the terminal
// keeps what is typed unseen, for the editor to show after the next prompt.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

// Makes the shell read its lines through the line editor. Call only when
// standard input and standard output are both terminals. Returns false, and
// leaves the plain reader in place, when the editor library is missing.
bool UseTerminalLineEditor(Interpreter& in);

}  // namespace zarnith
