// The strings class.
#pragma once

#include "core/interpreter.h"

namespace zarnith {

bool StringsClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
