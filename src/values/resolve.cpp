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

// The index text of a reference: after the first "[" up to the next "[" or the
// end, and of that the part before its first "]".
static std::string_view IndexText(std::string_view reference) {
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
  std::string_view arrayType =
      bracket == std::string_view::npos ? type::kUnknown
                                        : GetTypeOfVar(in, reference.substr(0, bracket));
  if (arrayType != type::kIntArray && arrayType != type::kStringArray) {
    PrintError(in, msg::kNotArrayVariable);
    return std::string(type::kUnknown);
  }
  std::string_view base = reference.substr(0, bracket);
  std::string_view index = IndexText(reference);
  if (arrayType == type::kIntArray) return ElementAt(in, **FindIn(in.stores.intArrays, base), index);
  return ElementAt(in, **FindIn(in.stores.stringArrays, base), index);
}

variable GetVariable(Interpreter& in, std::string_view name) {
  if (name == kReturnedName) return in.lastReturned;
  std::string_view varType = GetTypeOfVar(in, name);
  if (varType == type::kInt) return {type::kInt, *FindIn(in.stores.intVars, name)};
  if (varType == type::kString) return {type::kString, *FindIn(in.stores.stringVars, name)};
  if (varType == type::kIntArray) return {type::kInt, GetArrayValue(in, name)};
  if (varType == type::kStringArray) return {type::kString, GetArrayValue(in, name)};
  return {type::kString, std::string(msg::kPleaseFixMe)};
}

Value IfVariableReplaceIt(Interpreter& in, std::string_view token) {
  if (CheckOnVariable(in, token)) {
    std::size_t bracket = token.find('[');
    if (bracket == std::string_view::npos) return GetVariable(in, token).value;
    std::string_view base = token.substr(0, bracket);
    if (in.stores.stringArrays.count(base) || in.stores.intArrays.count(base)) {
      return GetArrayValue(in, token);
    }
    return GetVariable(in, token).value;
  }
  if (auto number = ParseIntLiteral(token)) return *number;
  return std::string(token);
}

std::string ResolveText(Interpreter& in, std::string_view token) {
  Value value = IfVariableReplaceIt(in, token);
  if (auto* number = std::get_if<std::int64_t>(&value)) return IntToText(*number);
  std::string& text = std::get<std::string>(value);
  std::string_view bare = StringToText(text);
  if (bare.size() == text.size()) return std::move(text);
  return std::string(bare);
}

}  // namespace zarnith
