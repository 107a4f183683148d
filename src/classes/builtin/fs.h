// The fs class.
#pragma once

#include "state/interpreter.h"

namespace zarnith {

bool FsClassHandler(Interpreter& in, ArgList args);
bool FsClassLoader(Interpreter& in);

}  // namespace zarnith
