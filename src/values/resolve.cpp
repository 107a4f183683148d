// Token resolution: StringToText, GetArrayValue, GetVariable, IfVariableReplaceIt.
#include "values/resolve.h"

#include "values/messages.h"
#include "values/report.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

std::string_view StringToText(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return text;
  std::size_t first = text.find_first_not_of('"');
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of('"');
  return text.substr(first, last - first + 1);
}

std::string_view IndexText(std::string_view reference) {
  std::string_view rest = reference.substr(reference.find('[') + 1);
  rest = rest.substr(0, rest.find('['));
  return rest.substr(0, rest.find(']'));
}

template <typename Array>
static const auto& ElementAt(Interpreter& in, const Array& array, std::string_view index) {
  auto position = ParseIntLiteral(index);
  if (!position) {
    PrintError(in, msg::kIndexNotIntCritical);
    EndProgram(in, 127);
  }
  if (*position < 0 || static_cast<std::uint64_t>(*position) >= array.size()) {
    PrintError(in, msg::kIndexOutOfRangeCritical);
    EndProgram(in, 127);
  }
  return array[static_cast<std::size_t>(*position)];
}

Value GetArrayValue(Interpreter& in, std::string_view reference) {
  std::size_t bracket = reference.find('[');
  std::string_view arrayType = bracket == std::string_view::npos
                                   ? type::kUnknown
                                   : GetTypeOfVar(in, reference.substr(0, bracket));
  if (arrayType != type::kIntArray && arrayType != type::kStringArray) {
    PrintError(in, msg::kNotArrayVariable);
    return std::string(type::kUnknown);
  }
  std::string_view base = reference.substr(0, bracket);
  std::string_view index = IndexText(reference);
  if (arrayType == type::kIntArray)
    return ElementAt(in, **FindIn(in.stores.intArrays, base), index);
  return ElementAt(in, **FindIn(in.stores.stringArrays, base), index);
}

// The value of a name that LookUpName found, read from the entry it found;
// arrays and element references go through GetArrayValue and its checks.
static Value ReadSlot(Interpreter& in, std::string_view name, const NameSlot& slot) {
  if (slot.intVar) return *slot.intVar;
  if (slot.stringVar) return *slot.stringVar;
  bool element = slot.kind == NameKind::kIntItem || slot.kind == NameKind::kStringItem;
  if (element && slot.intArray) return ElementAt(in, **slot.intArray, IndexText(name));
  if (element && slot.stringArray) return ElementAt(in, **slot.stringArray, IndexText(name));
  return GetArrayValue(in, name);
}

variable GetVariable(Interpreter& in, std::string_view name) {
  if (name == kReturnedName) return in.lastReturned;
  NameSlot slot = LookUpName(in.stores, name);
  if (slot.kind == NameKind::kNone) return {type::kString, std::string(msg::kPleaseFixMe)};
  // An array is read through its elements' type.
  std::string_view varType = slot.kind == NameKind::kIntArray      ? type::kInt
                             : slot.kind == NameKind::kStringArray ? type::kString
                                                                   : slot.varType();
  return {varType, ReadSlot(in, name, slot)};
}

Value ReadToken(Interpreter& in, const TokenRef& t) {
  if (t.returned) return in.lastReturned.value;
  if (t.variable) return ReadSlot(in, t.token, t.slot);
  if (SameType(t.type, type::kInt)) return t.number;
  return std::string(t.token);
}

std::optional<std::int64_t> ReadIntThroughValue(Interpreter& in, const TokenRef& t) {
  Value v = ReadToken(in, t);
  if (auto* number = std::get_if<std::int64_t>(&v)) return *number;
  return std::nullopt;
}

Value IfVariableReplaceIt(Interpreter& in, std::string_view token) {
  return ReadToken(in, LookUpToken(in, token));
}

Text BareShared(const Text& text) {
  std::string_view view = text.view();
  // Most texts have no quotes to strip: handed on as they are.
  if (view.size() < 2 || view.front() != '"' || view.back() != '"') return text;
  std::string_view bare = StringToText(view);
  if (bare.empty()) return Text();
  return text.Sub(static_cast<std::size_t>(bare.data() - text.view().data()), bare.size());
}

Text ReadTokenShared(Interpreter& in, const TokenRef& t) {
  Value value = ReadToken(in, t);
  if (auto* number = std::get_if<std::int64_t>(&value)) return Text(IntToText(*number));
  return BareShared(std::get<Text>(value));
}

Text ResolveShared(Interpreter& in, std::string_view token) {
  return ReadTokenShared(in, LookUpToken(in, token));
}

std::string ReadTokenText(Interpreter& in, const TokenRef& t) {
  // Literals need no shared buffer: their text is the token's own.
  if (!t.returned && !t.variable) {
    if (t.type == type::kInt) return IntToText(t.number);
    return std::string(StringToText(t.token));
  }
  return ReadTokenShared(in, t).str();
}

std::string ResolveText(Interpreter& in, std::string_view token) {
  return ReadTokenText(in, LookUpToken(in, token));
}

}  // namespace zarnith
