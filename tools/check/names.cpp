// The names of a script and the types its lines can give them.
#include "check/names.h"

#include "check/check.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith::check {

using facts::HasOperator;

std::size_t ScriptNames::Slot(std::string_view name) {
  auto it = slots_.find(name);
  if (it != slots_.end()) return it->second;
  slots_.emplace(std::string(name), names_.size());
  names_.emplace_back();
  return names_.size() - 1;
}

const ScriptNames::Name* ScriptNames::Find(std::string_view name) const {
  auto it = slots_.find(name);
  return it == slots_.end() ? nullptr : &names_[it->second];
}

void ScriptNames::Declare(std::string_view elementType, std::string_view nameAndLength) {
  // As the array line reads it: an element type of int or string and a length
  // of 0 or more; anything else makes no array. A length with an operation in
  // it is known only once the line's arithmetic has run.
  std::uint8_t bit = elementType == type::kInt      ? kIntArray
                     : elementType == type::kString ? kStringArray
                                                    : 0;
  std::optional<std::string_view> lengthText = Bracketed(nameAndLength, '[', ']');
  if (!bit || !lengthText) return;
  std::optional<std::int64_t> length = ParseIntLiteral(*lengthText);
  bool computed = HasOperator(*lengthText);
  if (!computed && (!length || *length < 0)) return;
  Name& name = names_[Slot(BeforeFirst(nameAndLength, '['))];
  name.bits |= bit;
  ++name.declarations;
  name.length = computed ? std::nullopt : length;
}

void ScriptNames::Assign(std::string_view target, std::string_view value) {
  // An element target changes an element, not what the name is.
  if (target.find_first_of("[]") != std::string_view::npos) return;
  std::size_t to = Slot(target);
  std::string_view literal = GetType(value);
  if (literal == type::kString) {
    names_[to].bits |= kString;
  } else if (literal == type::kInt) {
    names_[to].bits |= kInt;
  } else if (value == kReturnedName) {
    names_[to].bits |= kRunTime;
  } else if (HasOperator(value)) {
    // The line's arithmetic makes it a number, or leaves a text that names
    // nothing and assigns nothing.
    names_[to].bits |= kInt;
  } else {
    // A name: what it holds flows to the target; of an element reference,
    // the element's type.
    bool element = value.find('[') != std::string_view::npos;
    std::size_t from = Slot(element ? BeforeFirst(value, '[') : value);
    names_[from].flows.push_back({to, element});
  }
}

void ScriptNames::Write(std::string_view name, std::string_view varType) {
  Name& n = names_[Slot(name)];
  if (varType == type::kInt) n.bits |= kInt;
  if (varType == type::kString) n.bits |= kString;
  if (varType == type::kIntArray || varType == type::kStringArray) {
    n.bits |= varType == type::kIntArray ? kIntArray : kStringArray;
    n.otherArrays = true;
  }
}

std::uint8_t ScriptNames::Carried(std::uint8_t bits, bool element) {
  if (!element) return bits;
  std::uint8_t carried = bits & kRunTime;
  if (bits & kIntArray) carried |= kInt;
  if (bits & kStringArray) carried |= kString;
  return carried;
}

void ScriptNames::Settle() {
  // A name is looked at again only when it gained a type, which happens at
  // most once a bit: linear in the assignments.
  std::vector<std::size_t> work;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i].bits) work.push_back(i);
  }
  while (!work.empty()) {
    std::size_t from = work.back();
    work.pop_back();
    for (const Flow& flow : names_[from].flows) {
      std::uint8_t carried = Carried(names_[from].bits, flow.element);
      Name& to = names_[flow.to];
      if (carried & (kIntArray | kStringArray)) to.otherArrays = true;
      if ((to.bits | carried) == to.bits) continue;
      to.bits |= carried;
      work.push_back(flow.to);
    }
  }
}

bool ScriptNames::Made(std::string_view name) const {
  const Name* n = Find(name);
  return n && n->bits != 0;
}

bool ScriptNames::MayBeArray(std::string_view name) const {
  const Name* n = Find(name);
  return n && (n->bits & (kIntArray | kStringArray));
}

std::optional<std::string_view> ScriptNames::TypeOfBits(std::uint8_t bits) {
  switch (bits) {
    case 0: return type::kUnknown;
    case kInt: return type::kInt;
    case kString: return type::kString;
    case kIntArray: return type::kIntArray;
    case kStringArray: return type::kStringArray;
    default: return std::nullopt;
  }
}

std::optional<std::string_view> ScriptNames::TypeOf(std::string_view token) const {
  // Variables come before the literal reading of the same text. A quoted
  // text stays quoted whatever the line's arithmetic computes inside it.
  std::string_view literal = GetType(token);
  if (literal == type::kString && !Made(token)) return type::kString;
  if (token == kReturnedName || HasOperator(token)) return std::nullopt;
  // A carriage return glued to a token is reported once for the whole file.
  if (token.find('\r') != std::string_view::npos) return std::nullopt;
  if (literal == type::kInt && !Made(token)) return type::kInt;
  std::size_t open = token.find('[');
  if (open == std::string_view::npos) {
    const Name* n = Find(token);
    return TypeOfBits(n ? n->bits : 0);
  }
  // An element has its array's element type; a name that is no array has no
  // elements, unless some line made a variable written with the brackets.
  const Name* base = Find(token.substr(0, open));
  std::uint8_t bits = base ? Carried(base->bits, true) : 0;
  if (bits == 0 && Made(token)) return std::nullopt;
  return TypeOfBits(bits);
}

std::optional<std::int64_t> ScriptNames::Length(std::string_view name) const {
  const Name* n = Find(name);
  if (!n || n->declarations != 1 || n->otherArrays) return std::nullopt;
  if (n->bits != kIntArray && n->bits != kStringArray) return std::nullopt;
  return n->length;
}

}  // namespace zarnith::check
