// Classifying tokens: what kind of literal a token is, what kind of variable a
// name designates, and the type name of a resolved value.
#pragma once

#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// "string" for a double-quoted token, "int" for a decimal integer literal,
// otherwise "unknown". Never looks at the stores.
std::string_view GetType(std::string_view token);

// The type of the variable, element or reserved name a token designates, or
// "unknown".
std::string_view GetTypeOfVar(const Interpreter& in, std::string_view name);

bool CheckOnVariable(const Interpreter& in, std::string_view name);

// A variable's type when the token names one, otherwise its literal type.
std::string_view GetTypeEx(const Interpreter& in, std::string_view token);

// The type name of a resolved value.
std::string_view GetGoType(const Value& value);

// Where a name designates (not for the reserved name "returned"): its type as
// GetTypeOfVar gives it and the store entry that holds it. Remembered for the
// tokens of the running line until a store gains a name.
NameSlot LookUpName(const Interpreter& in, std::string_view name);

// The same with the token's literal kind, for the resolver. The reference is
// valid until the next lookup.
const TokenMemo& TokenFacts(const Interpreter& in, std::string_view token);

}  // namespace zarnith
