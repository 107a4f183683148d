// The table of built-in classes that a new interpreter starts with. It sits
// on top of every class, so the registry below it knows none by name.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

// Registers hello, crypto, fs, strings, os and bass, in that order.
void LoadBuiltinClasses(Interpreter& in);

}  // namespace zarnith
