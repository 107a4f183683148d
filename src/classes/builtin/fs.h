// The fs class.
#pragma once

#include <span>

#include "state/interpreter.h"

namespace zarnith {

bool FsClassHandler(Interpreter& in, ArgList args);
std::span<const ClassCommand> FsCommands();
bool FsClassLoader(Interpreter& in);

}  // namespace zarnith
