// Reading planned operands without going through the resolver.
#include "core/operand.h"

#include "values/resolve.h"
#include "values/text.h"

namespace zarnith {

Operand MakeOperand(std::string_view token) {
  Operand o;
  o.text = token;
  o.returned = token == kReturnedName;
  std::string_view literalType = GetType(token);
  o.intLiteral = literalType == type::kInt;
  o.stringLiteral = literalType == type::kString;
  if (o.intLiteral) o.literal = *ParseIntLiteral(token);
  if (o.stringLiteral) o.bare = Text(StringToText(token));
  if (token.find('[') != std::string_view::npos) {
    if (auto index = ParseIntLiteral(IndexText(token))) {
      o.literalIndex = true;
      o.index = *index;
    }
  }
  return o;
}

void LookUpAgain(Interpreter& in, Operand& o) {
  o.slot = LookUpName(in.stores, o.text);
  o.namesAt = in.stores.NameCount();
}

bool ReadShared(Interpreter& in, Operand& o, Text& text) {
  if (o.returned) {
    const Text* returned = std::get_if<Text>(&in.lastReturned.value);
    if (returned) text = BareShared(*returned);
    return returned != nullptr;
  }
  const NameSlot& slot = SlotOf(in, o);
  if (slot.kind == NameKind::kString) {
    text = BareShared(*slot.stringVar);
    return true;
  }
  std::string_view view;
  if (!ReadView(in, o, view)) return false;
  // A literal's text is the plan's own; an element's is copied, as reading it
  // through the resolver copies it.
  text = slot.kind == NameKind::kNone ? o.bare : Text(view);
  return true;
}

}  // namespace zarnith
