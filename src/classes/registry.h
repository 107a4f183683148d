// The class registry: the six built-in classes, the use statement and the
// dispatch of class calls.
#pragma once

#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

void LoadBuiltinClasses(Interpreter& in);

// Dispatches a line whose piece 0 reads "class:command". Returns true when a
// handler ran.
bool ClassHandle(Interpreter& in, std::span<std::string_view> pieces);

// use, "name": runs the class's loader and enables it.
void UseStatement(Interpreter& in, std::span<const std::string_view> pieces);

Class* FindClass(Interpreter& in, std::string_view name);

}  // namespace zarnith
