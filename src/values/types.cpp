// Token classification: GetType, GetTypeOfVar, CheckOnVariable, GetTypeEx.
#include "values/types.h"

#include "values/text.h"

namespace zarnith {

NameSlot LookUpName(Stores& s, std::string_view name) {
  NameSlot slot;
  // Most tokens found nowhere are literals: while no name in the stores is
  // written like one, a literal needs no search.
  if (name.find('[') == std::string_view::npos && GetType(name) != type::kUnknown &&
      !LiteralNamesExist(s)) {
    return slot;
  }
  if (std::size_t bracket = name.find('['); bracket != std::string_view::npos) {
    // An element reference is typed by its element type; the index is not
    // looked at until the element is read.
    std::string_view base = name.substr(0, bracket);
    StringArray* strings = FindIn(s.stringArrays, base);
    IntArray* ints = strings ? nullptr : FindIn(s.intArrays, base);
    if (strings || ints) {
      slot.varType = strings ? type::kString : type::kInt;
      slot.kind = strings ? NameKind::kStringItem : NameKind::kIntItem;
      // The reserved name is never an array: reading returned[0] goes the
      // checked way and finds no array there.
      if (base != kReturnedName) {
        // The base alone decides which array is read; as a bare name it is
        // searched in the usual order (an int variable of that name wins).
        NameSlot array = LookUpName(s, base);
        slot.intArray = array.intArray;
        slot.stringArray = array.stringArray;
      }
      return slot;
    }
  }
  if ((slot.intVar = FindIn(s.intVars, name))) {
    slot.varType = type::kInt;
    slot.kind = NameKind::kInt;
  } else if ((slot.stringVar = FindIn(s.stringVars, name))) {
    slot.varType = type::kString;
    slot.kind = NameKind::kString;
  } else if ((slot.stringArray = FindIn(s.stringArrays, name))) {
    slot.varType = type::kStringArray;
    slot.kind = NameKind::kStringArray;
  } else if ((slot.intArray = FindIn(s.intArrays, name))) {
    slot.varType = type::kIntArray;
    slot.kind = NameKind::kIntArray;
  }
  return slot;
}

std::string_view GetType(std::string_view token) {
  if (token.size() >= 2 && token.front() == '"' && token.back() == '"') return type::kString;
  if (ParseIntLiteral(token)) return type::kInt;
  return type::kUnknown;
}

std::string_view GetTypeOfVar(Interpreter& in, std::string_view name) {
  if (name == kReturnedName) return in.lastReturned.varType;
  return LookUpName(in.stores, name).varType;
}

bool CheckOnVariable(Interpreter& in, std::string_view name) {
  return GetTypeOfVar(in, name) != type::kUnknown;
}

std::string_view GetTypeEx(Interpreter& in, std::string_view token) {
  std::string_view varType = GetTypeOfVar(in, token);
  return varType != type::kUnknown ? varType : GetType(token);
}

std::string_view GetGoType(const Value& value) {
  return std::holds_alternative<std::int64_t>(value) ? type::kInt : type::kString;
}

}  // namespace zarnith
