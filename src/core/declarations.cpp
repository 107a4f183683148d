// Declarations and assignments: the only statements that create variables.
#include "core/declarations.h"

#include <unistd.h>

#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

// Refuses, before allocating, an array larger than the machine's memory.
bool FitsInMemory(std::int64_t length, std::size_t elementSize) {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return true;
  auto physical = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
  return static_cast<unsigned long long>(length) <= physical / elementSize;
}

template <typename Element>
bool MakeArray(Interpreter& in, NameMap<std::shared_ptr<std::vector<Element>>>& store,
               std::string_view name, std::int64_t length) {
  if (!FitsInMemory(length, sizeof(Element))) return false;
  // Filling the array touches every element: one that could fit but finds no
  // memory now is reported by HandleString as "out of memory", like every
  // other failed allocation, rather than getting the process killed.
  EnsureAvailable(in.host.sys, static_cast<std::uint64_t>(length) * sizeof(Element));
  auto array = std::make_shared<std::vector<Element>>(static_cast<std::size_t>(length));
  in.stores.Add(store, name, std::move(array));
  return true;
}

void AssignPlain(Interpreter& in, std::string_view target, std::string_view valueText) {
  std::string_view valueType = GetTypeEx(in, valueText);
  std::string_view targetType = GetTypeOfVar(in, target);
  auto allowed = [&](std::string_view t) { return targetType == type::kUnknown || targetType == t; };
  Stores& s = in.stores;
  if (valueType == type::kInt) {
    if (!allowed(type::kInt)) return PrintError(in, msg::kVariableAlreadyExists);
    Value v = IfVariableReplaceIt(in, valueText);
    if (auto* number = std::get_if<std::int64_t>(&v)) StoreIn(s, s.intVars, target, *number);
  } else if (valueType == type::kString) {
    if (!allowed(type::kString)) return PrintError(in, msg::kVariableAlreadyExists);
    StoreIn(s, s.stringVars, target, ResolveShared(in, valueText));
  } else if (valueType == type::kIntArray) {
    if (!allowed(type::kIntArray)) return PrintError(in, msg::kArrayAlreadyExists);
    IntArray shared = *FindIn(s.intArrays, valueText);
    StoreIn(s, s.intArrays, target, std::move(shared));
  } else if (valueType == type::kStringArray) {
    if (!allowed(type::kStringArray)) return PrintError(in, msg::kArrayAlreadyExists);
    StringArray shared = *FindIn(s.stringArrays, valueText);
    StoreIn(s, s.stringArrays, target, std::move(shared));
  }
}

template <typename Element, typename Store>
void AssignElement(Interpreter& in, Store& array, std::int64_t index, std::string_view valueType,
                   std::string_view valueText) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= array.size()) {
    return PrintError(in, msg::kIndexOutOfRange);
  }
  constexpr bool isInt = std::is_same_v<Element, std::int64_t>;
  if (GetTypeEx(in, valueText) != valueType) return PrintError(in, msg::kArrayTypeMismatch);
  auto slot = static_cast<std::size_t>(index);
  if constexpr (isInt) {
    Value v = IfVariableReplaceIt(in, valueText);
    if (auto* number = std::get_if<std::int64_t>(&v)) array[slot] = *number;
  } else {
    array[slot] = ResolveText(in, valueText);
  }
}

void AssignToElement(Interpreter& in, std::string_view target, std::string_view valueText) {
  std::string_view name = BeforeFirst(target, '[');
  std::string_view arrayType = GetTypeOfVar(in, name);
  if (arrayType != type::kIntArray && arrayType != type::kStringArray) {
    return PrintError(in, msg::kArrayIsNotExists);
  }
  std::optional<std::int64_t> index = TargetIndex(target);
  if (!index) return PrintError(in, msg::kIndexNotInt);
  if (arrayType == type::kIntArray) {
    // Keep the array alive even if resolving the value rebinds the name.
    IntArray array = *FindIn(in.stores.intArrays, name);
    AssignElement<std::int64_t>(in, *array, *index, type::kInt, valueText);
  } else {
    StringArray array = *FindIn(in.stores.stringArrays, name);
    AssignElement<std::string>(in, *array, *index, type::kString, valueText);
  }
}

}  // namespace

void DeclareArray(Interpreter& in, std::string_view elementType, std::string_view nameAndLength) {
  if (elementType != type::kInt && elementType != type::kString) {
    return PrintError(in, msg::kUnknownArrayType);
  }
  std::string_view name = BeforeFirst(nameAndLength, '[');
  if (GetTypeOfVar(in, name) != type::kUnknown) return PrintError(in, msg::kArrayAlreadyExists);
  std::optional<std::string_view> lengthText = Bracketed(nameAndLength, '[', ']');
  std::optional<std::int64_t> length = lengthText ? ParseIntLiteral(*lengthText) : std::nullopt;
  if (!length) return PrintError(in, msg::kIndexNotInt);
  if (*length < 0) return PrintError(in, msg::kNegativeArrayLength);
  bool made = elementType == type::kInt ? MakeArray(in, in.stores.intArrays, name, *length)
                                        : MakeArray(in, in.stores.stringArrays, name, *length);
  if (!made) PrintError(in, msg::kArrayTooLarge);
}

std::optional<std::int64_t> TargetIndex(std::string_view target) {
  std::optional<std::string_view> index = Bracketed(target, '[', ']');
  return index ? ParseIntLiteral(*index) : std::nullopt;
}

void Assign(Interpreter& in, std::string_view target, std::string_view valueText) {
  bool open = target.find('[') != std::string_view::npos;
  bool close = target.find(']') != std::string_view::npos;
  if (!open && !close) return AssignPlain(in, target, valueText);
  if (open && close) return AssignToElement(in, target, valueText);
  // Only one bracket: not a target at all; the line does nothing.
}

}  // namespace zarnith
