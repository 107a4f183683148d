// The two main loops: the script executor and the interactive shell.
#pragma once

#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Reads a script file and executes it. Reports a file that cannot be opened
// or read with one "Error: " line and returns false; true once it ran.
bool ParseFile(Interpreter& in, const char* path);

// Executes a script text line by line; `jump` steers through lineIndex.
void Execute(Interpreter& in, std::string_view text);

// Prompts, reads a line from standard input and executes it, until `exit`
// or the end of input ends the program.
[[noreturn]] void KorvaneShell(Interpreter& in);

}  // namespace zarnith
