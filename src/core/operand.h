// A token of a planned line: what its text alone decides (its literal kind
// and value, its bare text, an element reference's index) and where its name
// was last found in the stores. The reads here succeed only when the token
// reads exactly as the resolver would read it, with no effect at all (no
// error line, no end of the program); otherwise they leave everything as it
// was and the caller takes the resolver's way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "state/interpreter.h"
#include "values/resolve.h"
#include "values/types.h"

namespace zarnith {

struct Operand {
  std::string_view text;
  bool returned = false;                         // the reserved name
  bool intLiteral = false;     // GetType gives "int"
  bool stringLiteral = false;  // GetType gives "string"
  std::int64_t literal = 0;    // its number when an int literal
  Text bare;                   // its text without quotes when a string literal
  bool literalIndex = false;                     // an element reference with an integer index
  std::int64_t index = 0;

  // The lookup of `text` in the stores, true while the stores hold `namesAt` names.
  std::size_t namesAt = SIZE_MAX;
  NameSlot slot;
};

Operand MakeOperand(std::string_view token);

// Where the operand's name designates now, looked up again only when the
// stores have gained a name since the last time.
void LookUpAgain(Interpreter& in, Operand& o);
inline const NameSlot& SlotOf(Interpreter& in, Operand& o) {
  if (o.namesAt != in.stores.NameCount()) LookUpAgain(in, o);
  return o.slot;
}

// The same text as ReadView gives, sharing the buffer it comes from, for
// storing or extending.
bool ReadShared(Interpreter& in, Operand& o, Text& text);

// The element an element reference designates, when its index is a literal
// within the array; null when reading it would print an error or end the
// program. (The array's elements are the script's to write.)
template <typename Element>
inline Element* ElementOf(const Operand& o, const std::shared_ptr<std::vector<Element>>* array) {
  if (!array || !o.literalIndex || o.index < 0) return nullptr;
  std::vector<Element>& elements = **array;
  if (static_cast<std::uint64_t>(o.index) >= elements.size()) return nullptr;
  return &elements[static_cast<std::size_t>(o.index)];
}

// The operand's integer, when GetTypeEx types it "int". (Inline: loops read
// their counters through it on every pass.)
inline bool ReadInt(Interpreter& in, Operand& o, std::int64_t& value) {
  if (o.returned) {
    const auto* number = std::get_if<std::int64_t>(&in.lastReturned.value);
    if (number) value = *number;
    return number != nullptr;
  }
  const NameSlot& slot = SlotOf(in, o);
  if (slot.kind == NameKind::kInt) {
    value = *slot.intVar;
    return true;
  }
  if (slot.kind == NameKind::kNone) {
    value = o.literal;
    return o.intLiteral;
  }
  const std::int64_t* element =
      slot.kind == NameKind::kIntItem ? ElementOf(o, slot.intArray) : nullptr;
  if (element) value = *element;
  return element != nullptr;
}

// The operand's bare text, when GetTypeEx types it "string". The view is
// valid until a store or the returned value changes.
inline bool ReadView(Interpreter& in, Operand& o, std::string_view& text) {
  if (o.returned) {
    const Text* returned = std::get_if<Text>(&in.lastReturned.value);
    if (returned) text = StringToText(returned->view());
    return returned != nullptr;
  }
  const NameSlot& slot = SlotOf(in, o);
  switch (slot.kind) {
    case NameKind::kNone:
      text = o.bare.view();
      return o.stringLiteral;
    case NameKind::kString:
      text = StringToText(slot.stringVar->view());
      return true;
    case NameKind::kStringItem:
      if (const std::string* element = ElementOf(o, slot.stringArray)) {
        text = StringToText(*element);
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace zarnith
