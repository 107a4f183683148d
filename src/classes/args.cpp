// Argument checks shared by the class handlers.
#include "classes/args.h"

#include "values/report.h"
#include "values/resolve.h"
#include "values/types.h"

namespace zarnith {

bool ArgCount(Interpreter& in, ArgList args, std::size_t count, std::string_view message) {
  if (args.size() >= count) return true;
  PrintError(in, message);
  return false;
}

bool ArgType(Interpreter& in, ArgList args, std::size_t i, std::string_view wanted,
             std::string_view message) {
  std::string_view t = GetTypeEx(in, args[i]);
  if (t == wanted) return true;
  PrintError(in, message, t);
  return false;
}

bool ArgTypes(Interpreter& in, ArgList args, std::initializer_list<std::size_t> indexes,
              std::string_view wanted, std::string_view message) {
  for (std::size_t i : indexes) {
    if (GetTypeEx(in, args[i]) != wanted) {
      PrintError(in, message);
      return false;
    }
  }
  return true;
}

std::int64_t ArgInt(Interpreter& in, std::string_view token) {
  Value v = IfVariableReplaceIt(in, token);
  auto* number = std::get_if<std::int64_t>(&v);
  return number ? *number : 0;
}

std::string ArgText(Interpreter& in, std::string_view token) { return ResolveText(in, token); }

bool RunClassCommand(Interpreter& in, ArgList args, std::span<const ClassCommand> commands,
                     bool unknownResult) {
  for (const ClassCommand& c : commands) {
    if (c.name != args[0]) continue;
    if (!ArgCount(in, args, c.minArgs, c.countMessage)) return true;
    return c.run(in, args);
  }
  return unknownResult;
}

bool IsBareName(std::string_view token) { return GetType(token) == type::kUnknown; }

}  // namespace zarnith
