// The bass class: audio playback through the BASS library's ten functions.
#pragma once

#include "core/interpreter.h"

namespace zarnith {

bool BassClassHandler(Interpreter& in, ArgList args);
bool BassOnClassLoading(Interpreter& in);

}  // namespace zarnith
