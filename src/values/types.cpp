// Token classification: GetType, GetTypeOfVar, CheckOnVariable, GetTypeEx.
#include "values/types.h"

#include "values/text.h"

namespace zarnith {

std::string_view GetType(std::string_view token) {
  if (token.size() >= 2 && token.front() == '"' && token.back() == '"') return type::kString;
  if (ParseIntLiteral(token)) return type::kInt;
  return type::kUnknown;
}

std::string_view GetTypeOfVar(const Interpreter& in, std::string_view name) {
  if (name == kReturnedName) return in.lastReturned.varType;
  const Stores& s = in.stores;
  if (std::size_t bracket = name.find('['); bracket != std::string_view::npos) {
    // An element reference is typed by its element type; the index is not
    // looked at until the element is read.
    std::string_view base = name.substr(0, bracket);
    if (s.stringArrays.find(base) != s.stringArrays.end()) return type::kString;
    if (s.intArrays.find(base) != s.intArrays.end()) return type::kInt;
  }
  if (s.intVars.find(name) != s.intVars.end()) return type::kInt;
  if (s.stringVars.find(name) != s.stringVars.end()) return type::kString;
  if (s.stringArrays.find(name) != s.stringArrays.end()) return type::kStringArray;
  if (s.intArrays.find(name) != s.intArrays.end()) return type::kIntArray;
  return type::kUnknown;
}

bool CheckOnVariable(const Interpreter& in, std::string_view name) {
  return GetTypeOfVar(in, name) != type::kUnknown;
}

std::string_view GetTypeEx(const Interpreter& in, std::string_view token) {
  std::string_view varType = GetTypeOfVar(in, token);
  return varType != type::kUnknown ? varType : GetType(token);
}

std::string_view GetGoType(const Value& value) {
  return std::holds_alternative<std::int64_t>(value) ? type::kInt : type::kString;
}

}  // namespace zarnith
