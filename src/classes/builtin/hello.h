// The hello class.
#pragma once

#include "core/interpreter.h"

namespace zarnith {

bool HelloClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
