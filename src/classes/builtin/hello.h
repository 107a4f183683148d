// The hello class.
#pragma once

#include <span>

#include "state/interpreter.h"

namespace zarnith {

bool HelloClassHandler(Interpreter& in, ArgList args);
std::span<const ClassCommand> HelloCommands();

}  // namespace zarnith
