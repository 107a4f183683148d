// The crypto class.
#pragma once

#include <span>

#include "state/interpreter.h"

namespace zarnith {

bool CryptoClassHandler(Interpreter& in, ArgList args);
std::span<const ClassCommand> CryptoCommands();

}  // namespace zarnith
