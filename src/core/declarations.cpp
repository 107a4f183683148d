// Declarations and assignments: the only statements that create variables.
#include "core/declarations.h"

#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

// Refuses, before allocating, an array larger than the machine's memory.
bool FitsInMemory(const SysCalls& sys, std::int64_t length, std::size_t elementSize) {
  std::uint64_t physical = sys.physicalMemory();
  return physical == 0 || static_cast<std::uint64_t>(length) <= physical / elementSize;
}

template <typename Element>
bool MakeArray(Interpreter& in, NameMap<std::shared_ptr<std::vector<Element>>>& store,
               std::string_view name, std::int64_t length) {
  if (!FitsInMemory(in.host.sys, length, sizeof(Element))) return false;
  // Filling the array touches every element: one that could fit but finds no
  // memory now is reported by HandleString as "out of memory", like every
  // other failed allocation, rather than getting the process killed.
  EnsureAvailable(in.host.sys, static_cast<std::uint64_t>(length) * sizeof(Element));
  auto array = std::make_shared<std::vector<Element>>(static_cast<std::size_t>(length));
  in.stores.Add(store, name, std::move(array));
  return true;
}

// Stores a value under the target, in the entry found for it when it has one.
template <typename T, typename V>
void StoreAt(Stores& s, NameMap<T>& map, T* entry, std::string_view target, V&& value) {
  if (entry) {
    *entry = std::forward<V>(value);
  } else {
    StoreIn(s, map, target, std::forward<V>(value));
  }
}

void AssignPlain(Interpreter& in, std::string_view target, const TokenRef& value,
                 const NameSlot* targetSlot) {
  // The reserved name is typed by the returned value, but assigning to it
  // stores an ordinary variable, which reading it never sees.
  bool reserved = target == kReturnedName;
  NameSlot into = reserved     ? NameSlot{}
                  : targetSlot ? *targetSlot
                               : LookUpName(in.stores, target);
  std::string_view targetType = reserved ? in.lastReturned.varType : into.varType();
  auto allowed = [&](std::string_view t) {
    return SameType(targetType, type::kUnknown) || SameType(targetType, t);
  };
  Stores& s = in.stores;
  if (SameType(value.type, type::kInt)) {
    if (!allowed(type::kInt)) return PrintError(in, msg::kVariableAlreadyExists);
    if (auto number = ReadIntToken(in, value)) StoreAt(s, s.intVars, into.intVar, target, *number);
  } else if (SameType(value.type, type::kString)) {
    if (!allowed(type::kString)) return PrintError(in, msg::kVariableAlreadyExists);
    StoreAt(s, s.stringVars, into.stringVar, target, ReadTokenShared(in, value));
  } else if (value.type == type::kIntArray) {
    if (!allowed(type::kIntArray)) return PrintError(in, msg::kArrayAlreadyExists);
    IntArray shared = *value.slot.intArray;
    StoreAt(s, s.intArrays, into.intArray, target, std::move(shared));
  } else if (value.type == type::kStringArray) {
    if (!allowed(type::kStringArray)) return PrintError(in, msg::kArrayAlreadyExists);
    StringArray shared = *value.slot.stringArray;
    StoreAt(s, s.stringArrays, into.stringArray, target, std::move(shared));
  }
}

template <typename Element>
void AssignElement(Interpreter& in, std::vector<Element>& array, std::int64_t index,
                   std::string_view valueType, const TokenRef& value) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= array.size()) {
    return PrintError(in, msg::kIndexOutOfRange);
  }
  if (!SameType(value.type, valueType)) return PrintError(in, msg::kArrayTypeMismatch);
  auto slot = static_cast<std::size_t>(index);
  if constexpr (std::is_same_v<Element, std::int64_t>) {
    if (auto number = ReadIntToken(in, value)) array[slot] = *number;
  } else {
    array[slot] = ReadTokenText(in, value);
  }
}

// The index of an element target: the text between its first "[" (at
// `open`) and the next "]" (at `close`, or the end).
std::optional<std::int64_t> IndexBetween(std::string_view target, std::size_t open,
                                         std::size_t close) {
  std::size_t end = close == std::string_view::npos ? target.size() : close;
  return ParseIntLiteral(target.substr(open + 1, end - open - 1));
}

void AssignToElement(Interpreter& in, std::string_view target, std::size_t open,
                     std::size_t close, const TokenRef& value) {
  std::string_view name = target.substr(0, open);
  NameSlot slot = name == kReturnedName ? NameSlot{} : LookUpName(in.stores, name);
  if (!slot.intArray && !slot.stringArray) return PrintError(in, msg::kArrayIsNotExists);
  std::optional<std::int64_t> index = IndexBetween(target, open, close);
  if (!index) return PrintError(in, msg::kIndexNotInt);
  // Reading the value never rebinds a name, so the array stays the one found.
  if (slot.intArray) return AssignElement(in, **slot.intArray, *index, type::kInt, value);
  AssignElement(in, **slot.stringArray, *index, type::kString, value);
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
  std::size_t open = FindChar(target, '[');
  if (open == std::string_view::npos) return std::nullopt;
  return IndexBetween(target, open, FindChar(target, ']', open + 1));
}

namespace {

// Assign's rules, inlined into both of its ways in: one runs for every
// assignment line.
[[gnu::always_inline]] inline void AssignTo(Interpreter& in, std::string_view target,
                                            const TokenRef& value, const NameSlot* targetSlot) {
  // A target with only one kind of bracket is no target at all: the line
  // does nothing.
  std::size_t open = FindChar(target, '[');
  if (open == std::string_view::npos) {
    if (FindChar(target, ']') == std::string_view::npos) AssignPlain(in, target, value, targetSlot);
    return;
  }
  // The index ends at the first "]" after the "["; one before it still makes
  // an element target (whose index then runs to the end).
  std::size_t close = FindChar(target, ']', open + 1);
  bool closed = close != std::string_view::npos ||
                FindChar(target.substr(0, open), ']') != std::string_view::npos;
  if (closed) AssignToElement(in, target, open, close, value);
}

}  // namespace

void Assign(Interpreter& in, std::string_view target, std::string_view valueText) {
  AssignTo(in, target, LookUpToken(in, valueText), nullptr);
}

void AssignValue(Interpreter& in, std::string_view target, const TokenRef& value,
                 const NameSlot* targetSlot) {
  AssignTo(in, target, value, targetSlot);
}

}  // namespace zarnith
