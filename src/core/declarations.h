// Array declarations ("array int name[N]") and assignments ("name = value",
// "name[i] = value").
#pragma once

#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

void DeclareArray(Interpreter& in, std::string_view elementType, std::string_view nameAndLength);
void Assign(Interpreter& in, std::string_view target, std::string_view valueText);

}  // namespace zarnith
