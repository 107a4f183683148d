// The os class.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

bool OsClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
