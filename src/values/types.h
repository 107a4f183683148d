// Classifying tokens: what kind of literal a token is, what kind of variable a
// name designates, and the type name of a resolved value.
#pragma once

#include <cstdint>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

// Where a name designates in the stores: its kind and the one store entry
// that holds it (the others are null). For an element reference the kind is
// the element's and the entry is the array's.
// Entries never move and a running script never removes one, so the pointers
// stay valid; what they designate can only change when Stores::NameCount()
// changes. (The debugger's step back removes names; it then drops every plan
// that remembers a slot.)
enum class NameKind : std::uint8_t { kNone, kInt, kString, kIntArray, kStringArray, kIntItem, kStringItem };

struct NameSlot {
  NameKind kind = NameKind::kNone;
  // The one entry that holds the name; for an element, the array's (null
  // when the base names no array: an int variable of that name wins, or it
  // is the reserved name).
  std::int64_t* intVar = nullptr;
  Text* stringVar = nullptr;
  IntArray* intArray = nullptr;
  StringArray* stringArray = nullptr;

  // The type name as GetTypeOfVar gives it.
  std::string_view varType() const {
    switch (kind) {
      case NameKind::kInt:
      case NameKind::kIntItem: return type::kInt;
      case NameKind::kString:
      case NameKind::kStringItem: return type::kString;
      case NameKind::kIntArray: return type::kIntArray;
      case NameKind::kStringArray: return type::kStringArray;
      case NameKind::kNone: break;
    }
    return type::kUnknown;
  }
};

// Searches the stores in their fixed order (not for the reserved name
// "returned", which callers test first). The entry found is the caller's to
// read or write.
NameSlot LookUpName(Stores& stores, std::string_view name);

// Whether `token` may name something in the stores: while no stored name
// begins like a literal (a number, a quoted text), a token that does names
// nothing, and most tokens that are no names need no search.
inline bool MayBeStored(const Stores& stores, std::string_view token) {
  return stores.literalNames || !BeginsLikeLiteral(token);
}

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

// The int literal of `number`, as LookUpToken gives its decimal text while no
// stored name begins like a literal.
inline TokenRef IntToken(std::int64_t number) {
  TokenRef t;
  t.type = type::kInt;
  t.number = number;
  return t;
}

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
