// The os class.
#pragma once

#include "core/interpreter.h"

namespace zarnith {

bool OsClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
