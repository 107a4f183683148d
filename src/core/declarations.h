// Array declarations ("array int name[N]") and assignments ("name = value",
// "name[i] = value").
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "state/interpreter.h"
#include "values/types.h"

namespace zarnith {

void DeclareArray(Interpreter& in, std::string_view elementType, std::string_view nameAndLength);
void Assign(Interpreter& in, std::string_view target, std::string_view valueText);

// The same with the value already looked up (LookUpToken, or IntToken for a
// number that the line would hold as its value). `targetSlot`, when given, is
// what looking the target up would give now.
void AssignValue(Interpreter& in, std::string_view target, const TokenRef& value,
                 const NameSlot* targetSlot = nullptr);

// The index that an element assignment "name[i] = value" writes: the text
// between the first "[" and the next "]", when it is an integer literal.
// (Reading an element cuts its index differently; see IndexText.)
std::optional<std::int64_t> TargetIndex(std::string_view target);

}  // namespace zarnith
