// The crypto class.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

bool CryptoClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
