// The class registry: the use statement and the dispatch of class calls.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Dispatches a line whose piece 0 reads "class:command". Returns true when a
// handler ran.
bool ClassHandle(Interpreter& in, std::span<std::string_view> pieces);

// use, "name": runs the class's loader and enables it.
void UseStatement(Interpreter& in, std::span<const std::string_view> pieces);

Class* FindClass(Interpreter& in, std::string_view name);

struct ClassCall {
  std::string_view className, command;
};

// "class:command" cut at its colons. Anything from a second colon on is
// dropped, so fs:open:x calls open; scripts may rely on that.
std::optional<ClassCall> SplitClassCall(std::string_view head);

// Calls the class (null when no class has the name) with an argument list
// whose element 0 is the command name, once it is known and enabled.
bool CallClass(Interpreter& in, Class* entry, ArgList args);

}  // namespace zarnith
