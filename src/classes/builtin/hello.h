// The hello class.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

bool HelloClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
