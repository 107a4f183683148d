// Error lines and the returned value.
#pragma once

#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Writes "error: N: message" where N is the 1-based line number.
void PrintError(Interpreter& in, std::string_view message);
// The same, for the messages that end with a type name ("... is a " + type).
void PrintError(Interpreter& in, std::string_view message, std::string_view typeName);

// Stores a result as `returned`; in the shell also echoes it as "=> value".
void SetReturned(Interpreter& in, std::string_view varType, Value value);
void SetReturned(Interpreter& in, std::int64_t value);
void SetReturned(Interpreter& in, std::string value);

// Ends the program with a status (the exit statement, critical errors).
[[noreturn]] void EndProgram(Interpreter& in, int status);

}  // namespace zarnith
