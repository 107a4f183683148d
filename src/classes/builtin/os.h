// The os class.
#pragma once

#include <span>

#include "state/interpreter.h"

namespace zarnith {

bool OsClassHandler(Interpreter& in, ArgList args);
std::span<const ClassCommand> OsCommands();

}  // namespace zarnith
