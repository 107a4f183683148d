// Argument checks shared by the class handlers. Each check prints its message
// and returns false, so a handler's guards read one line each.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// At least `count` elements (command name included), else prints `message`.
bool ArgCount(Interpreter& in, ArgList args, std::size_t count, std::string_view message);

// args[i] has type `wanted`, else prints `message` followed by its type name.
bool ArgType(Interpreter& in, ArgList args, std::size_t i, std::string_view wanted,
             std::string_view message);

// All of args[indexes...] have type `wanted`, else prints `message` alone.
bool ArgTypes(Interpreter& in, ArgList args, std::initializer_list<std::size_t> indexes,
              std::string_view wanted, std::string_view message);

// The resolved integer or text of an argument whose type was checked.
std::int64_t ArgInt(Interpreter& in, std::string_view token);
std::string ArgText(Interpreter& in, std::string_view token);

// Runs the command that args[0] names, once its argument count is checked
// (ClassCommand). A name missing from the table does nothing and gives
// `unknownResult`.
bool RunClassCommand(Interpreter& in, ArgList args, std::span<const ClassCommand> commands,
                     bool unknownResult);

// A destination name must be a bare word: neither a quoted nor an integer literal.
bool IsBareName(std::string_view token);

}  // namespace zarnith
