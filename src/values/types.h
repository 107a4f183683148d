// Classifying tokens: what kind of literal a token is, what kind of variable a
// name designates, and the type name of a resolved value.
#pragma once

#include <cstdint>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Where a name designates in the stores: its type name as GetTypeOfVar gives
// it and the one store entry that holds it (the others are null). For an
// element reference the type is the element's and the entry is the array's.
// Entries never move and a running script never removes one, so the pointers
// stay valid; what they designate can only change when Stores::NameCount()
// changes. (The debugger's step back removes names; it then drops every plan
// that remembers a slot.)
enum class NameKind : std::uint8_t { kNone, kInt, kString, kIntArray, kStringArray, kIntItem, kStringItem };

struct NameSlot {
  NameKind kind = NameKind::kNone;  // the same as varType, for a quick switch
  std::string_view varType = type::kUnknown;
  std::int64_t* intVar = nullptr;
  Text* stringVar = nullptr;
  IntArray* intArray = nullptr;
  StringArray* stringArray = nullptr;
};

// Searches the stores in their fixed order (not for the reserved name
// "returned", which callers test first). The entry found is the caller's to
// read or write.
NameSlot LookUpName(Stores& stores, std::string_view name);

// A token looked up once: its type as GetTypeEx gives it and where its value
// lies, so that a statement types and then reads it with one search.
struct TokenRef {
  std::string_view token;
  std::string_view type = type::kUnknown;  // as GetTypeEx gives it
  bool returned = false;                   // the reserved name
  bool variable = false;                   // as CheckOnVariable says
  NameSlot slot;                           // where a variable or element is
  std::int64_t number = 0;                 // an int literal's value
};
TokenRef LookUpToken(Interpreter& in, std::string_view token);

// "string" for a double-quoted token, "int" for a decimal integer literal,
// otherwise "unknown". Never looks at the stores.
std::string_view GetType(std::string_view token);

// The type of the variable, element or reserved name a token designates, or
// "unknown".
std::string_view GetTypeOfVar(Interpreter& in, std::string_view name);

bool CheckOnVariable(Interpreter& in, std::string_view name);

// A variable's type when the token names one, otherwise its literal type.
std::string_view GetTypeEx(Interpreter& in, std::string_view token);

// The type name of a resolved value.
std::string_view GetGoType(const Value& value);

// Whether some store holds a name written like a literal (a quoted text or
// a number), which would shadow that literal wherever it is written.
inline bool LiteralNamesExist(const Stores& stores) { return stores.literalNames; }

}  // namespace zarnith
