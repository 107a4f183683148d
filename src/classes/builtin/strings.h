// The strings class.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

bool StringsClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
