// The crypto class.
#pragma once

#include "core/interpreter.h"

namespace zarnith {

bool CryptoClassHandler(Interpreter& in, ArgList args);

}  // namespace zarnith
