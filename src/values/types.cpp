// Token classification: GetType, GetTypeOfVar, CheckOnVariable, GetTypeEx.
#include "values/types.h"

#include "values/text.h"

namespace zarnith {

namespace {

// A name without brackets, searched in the fixed order of the stores.
// (Inlined, as the hash table's search is inlined into LookUpName: a name is
// looked up for nearly every token of every line.)
[[gnu::always_inline]] inline NameSlot LookUpPlain(Stores& s, const HashedName& name) {
  NameSlot slot;
  if ((slot.intVar = FindIn(s.intVars, name))) {
    slot.kind = NameKind::kInt;
  } else if ((slot.stringVar = FindIn(s.stringVars, name))) {
    slot.kind = NameKind::kString;
  } else if ((slot.stringArray = FindIn(s.stringArrays, name))) {
    slot.kind = NameKind::kStringArray;
  } else if ((slot.intArray = FindIn(s.intArrays, name))) {
    slot.kind = NameKind::kIntArray;
  }
  return slot;
}

// The name up to its first "[" (all of it when it has none), hashed on the
// walk that finds the bracket.
HashedName NameBeforeBracket(std::string_view name) {
  std::uint64_t h = kNameHashBasis;
  std::size_t i = 0;
  for (; i < name.size() && name[i] != '['; ++i) h = HashNameByte(h, name[i]);
  return HashedName(name.substr(0, i), static_cast<std::size_t>(h));
}

// A quoted text literal: a double quote at each end.
bool IsQuotedText(std::string_view token) {
  return token.size() >= 2 && token.front() == '"' && token.back() == '"';
}

}  // namespace

[[gnu::flatten]] NameSlot LookUpName(Stores& s, std::string_view name) {
  if (!MayBeStored(s, name)) return {};
  HashedName base = NameBeforeBracket(name);
  if (base.text.size() == name.size()) return LookUpPlain(s, base);
  // An element reference is typed by its element type; the index is not
  // looked at until the element is read.
  StringArray* strings = FindIn(s.stringArrays, base);
  IntArray* ints = strings ? nullptr : FindIn(s.intArrays, base);
  if (strings || ints) {
    NameSlot slot;
    slot.kind = strings ? NameKind::kStringItem : NameKind::kIntItem;
    // The reserved name is never an array: reading returned[0] goes the
    // checked way and finds no array there.
    if (base.text != kReturnedName) {
      // The base alone decides which array is read; as a bare name it is
      // searched in the usual order (an int variable of that name wins).
      NameSlot array = LookUpPlain(s, base);
      slot.intArray = array.intArray;
      slot.stringArray = array.stringArray;
    }
    return slot;
  }
  return LookUpPlain(s, HashedName(name));
}

std::string_view GetType(std::string_view token) {
  if (IsQuotedText(token)) return type::kString;
  if (ParseIntLiteral(token)) return type::kInt;
  return type::kUnknown;
}

TokenRef LookUpToken(Interpreter& in, std::string_view token) {
  TokenRef t;
  t.token = token;
  if (token == kReturnedName) {
    t.returned = true;
    t.type = in.lastReturned.varType;
    t.variable = t.type != type::kUnknown;
    return t;
  }
  if (MayBeStored(in.stores, token)) {
    t.slot = LookUpName(in.stores, token);
    t.variable = t.slot.kind != NameKind::kNone;
    if (t.variable) {
      t.type = t.slot.varType();
      return t;
    }
    // A literal begins like one.
    if (!BeginsLikeLiteral(token)) return t;
  }
  if (IsQuotedText(token)) {
    t.type = type::kString;
  } else if (std::optional<std::int64_t> number = ParseIntLiteral(token)) {
    t.type = type::kInt;
    t.number = *number;
  }
  return t;
}

std::string_view GetTypeOfVar(Interpreter& in, std::string_view name) {
  if (name == kReturnedName) return in.lastReturned.varType;
  return LookUpName(in.stores, name).varType();
}

bool CheckOnVariable(Interpreter& in, std::string_view name) {
  return GetTypeOfVar(in, name) != type::kUnknown;
}

std::string_view GetTypeEx(Interpreter& in, std::string_view token) {
  return LookUpToken(in, token).type;
}

std::string_view GetGoType(const Value& value) {
  return std::holds_alternative<std::int64_t>(value) ? type::kInt : type::kString;
}

}  // namespace zarnith
