// Class registry and dispatch. A class is a record of two plain functions, a
// handler and an optional loader; registration order is kept. The table of
// built-in classes is core/builtin_classes.cpp.
#include "classes/registry.h"

#include <optional>

#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/types.h"

namespace zarnith {

Class* FindClass(Interpreter& in, std::string_view name) {
  for (Class& c : in.classes) {
    if (c.prefix == name) return &c;
  }
  return nullptr;
}

std::optional<ClassCall> SplitClassCall(std::string_view head) {
  std::size_t colon = head.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view rest = head.substr(colon + 1);
  return ClassCall{head.substr(0, colon), rest.substr(0, rest.find(':'))};
}

bool CallClass(Interpreter& in, Class* entry, ArgList args) {
  if (!entry) {
    PrintError(in, msg::kClassNotExists);
    return false;
  }
  if (!entry->used) {
    PrintError(in, msg::kClassNotUsed);
    return false;
  }
  entry->caller(in, args);
  return true;
}

bool ClassHandle(Interpreter& in, std::span<std::string_view> pieces) {
  std::optional<ClassCall> call = SplitClassCall(pieces[0]);
  if (!call) return false;
  Class* entry = FindClass(in, call->className);
  pieces[0] = call->command;
  return CallClass(in, entry, pieces);
}

void UseStatement(Interpreter& in, std::span<const std::string_view> pieces) {
  if (pieces.size() < 2) return PrintError(in, msg::kMissedStringArgument);
  if (GetTypeEx(in, pieces[1]) != type::kString) return;
  std::string name = ResolveText(in, pieces[1]);
  Class* entry = FindClass(in, name);
  if (!entry) {
    PrintError(in, msg::kClassNotExists);
    return SetReturned(in, std::int64_t{0});
  }
  if (entry->loader && !entry->loader(in)) {
    PrintError(in, msg::kClassInitError);
    return SetReturned(in, std::int64_t{0});
  }
  entry->used = true;
  SetReturned(in, std::int64_t{1});
}

}  // namespace zarnith
