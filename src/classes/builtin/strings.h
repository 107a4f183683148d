// The strings class.
#pragma once

#include <span>

#include "state/interpreter.h"

namespace zarnith {

bool StringsClassHandler(Interpreter& in, ArgList args);
std::span<const ClassCommand> StringsCommands();

}  // namespace zarnith
