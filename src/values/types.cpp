// Token classification: GetType, GetTypeOfVar, CheckOnVariable, GetTypeEx.
#include "values/types.h"

#include <cstdint>
#include <optional>

#include "values/text.h"

namespace zarnith {

namespace {

// Names are only ever added to the stores, so their total size changes
// exactly when a lookup could give another answer.
std::size_t StoresSize(const Stores& s) {
  return s.intVars.size() + s.stringVars.size() + s.intArrays.size() + s.stringArrays.size();
}

NameSlot SearchStores(const Stores& s, std::string_view name) {
  NameSlot slot;
  if (std::size_t bracket = name.find('['); bracket != std::string_view::npos) {
    // An element reference is typed by its element type; the index is not
    // looked at until the element is read, and then the base alone decides
    // which array is read.
    std::string_view base = name.substr(0, bracket);
    bool inStrings = FindIn(s.stringArrays, base) != nullptr;
    if (inStrings || FindIn(s.intArrays, base) != nullptr) {
      NameSlot array = SearchStores(s, base);
      slot.varType = inStrings ? type::kString : type::kInt;
      slot.intArray = array.varType == type::kIntArray ? array.intArray : nullptr;
      slot.stringArray = array.varType == type::kStringArray ? array.stringArray : nullptr;
      return slot;
    }
  }
  if ((slot.intVar = FindIn(s.intVars, name))) {
    slot.varType = type::kInt;
  } else if ((slot.stringVar = FindIn(s.stringVars, name))) {
    slot.varType = type::kString;
  } else if ((slot.stringArray = FindIn(s.stringArrays, name))) {
    slot.varType = type::kStringArray;
  } else if ((slot.intArray = FindIn(s.intArrays, name))) {
    slot.varType = type::kIntArray;
  }
  return slot;
}

// The offset in the running line's text of a token that is a view into it, or
// into the once-rewritten copy outside the rewritten operation.
std::optional<std::size_t> OffsetInLine(const LineCache& cache, std::string_view token) {
  auto begin = reinterpret_cast<std::uintptr_t>(token.data());
  const std::string& text = cache.current->text;
  std::uintptr_t offset = begin - reinterpret_cast<std::uintptr_t>(text.data());
  if (offset <= text.size() && token.size() <= text.size() - offset) return offset;
  if (!cache.rewritten) return std::nullopt;
  const std::string& copy = *cache.rewritten;
  offset = begin - reinterpret_cast<std::uintptr_t>(copy.data());
  if (offset > copy.size() || token.size() > copy.size() - offset) return std::nullopt;
  if (offset + token.size() <= cache.at) return offset;
  if (offset >= cache.at + cache.newSize) return offset - cache.newSize + cache.oldSize;
  return std::nullopt;
}

bool LooksLikeInteger(std::string_view name) {
  if (!name.empty() && (name[0] == '+' || name[0] == '-')) name.remove_prefix(1);
  if (name.empty()) return false;
  for (char c : name) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Whether any store holds a name written like an integer. Checked again when
// the stores have grown; past a few thousand names the answer is taken as yes
// rather than scanning them all again.
bool NumericNamesExist(const Interpreter& in, std::size_t storesSize) {
  LineCache& cache = in.lineCache;
  if (cache.numericNamesAt == storesSize) return cache.numericNames;
  cache.numericNamesAt = storesSize;
  cache.numericNames = storesSize > 4096;
  const Stores& s = in.stores;
  auto scan = [&](const auto& map) {
    for (const auto& entry : map) cache.numericNames |= LooksLikeInteger(entry.first);
  };
  if (!cache.numericNames) {
    scan(s.intVars);
    scan(s.stringVars);
    scan(s.intArrays);
    scan(s.stringArrays);
  }
  return cache.numericNames;
}

void Fill(TokenMemo& memo, const Interpreter& in, std::string_view token, std::size_t storesSize,
          bool search) {
  memo.size = token.size();
  memo.storesSize = storesSize;
  memo.slot = search ? SearchStores(in.stores, token) : NameSlot{};
  bool quoted = token.size() >= 2 && token.front() == '"' && token.back() == '"';
  std::optional<std::int64_t> number = quoted ? std::nullopt : ParseIntLiteral(token);
  memo.literalType = quoted ? type::kString : number ? type::kInt : type::kUnknown;
  memo.literal = number.value_or(0);
}

}  // namespace

const TokenMemo& TokenFacts(const Interpreter& in, std::string_view token) {
  LineCache& cache = in.lineCache;
  if (!cache.current) {
    Fill(cache.scratch, in, token, SIZE_MAX, true);
    return cache.scratch;
  }
  std::size_t storesSize = StoresSize(in.stores);
  // Most lookups are of the running line's own words, already remembered.
  std::vector<TokenMemo>& memos = cache.current->memos;
  auto direct =
      static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(token.data()) -
                               reinterpret_cast<std::uintptr_t>(cache.current->text.data()));
  if (direct < memos.size() && memos[direct].size == token.size() &&
      memos[direct].storesSize == storesSize &&
      token.size() <= cache.current->text.size() - direct) {
    return memos[direct];
  }
  std::optional<std::size_t> offset = OffsetInLine(cache, token);
  if (offset && *offset < memos.size()) {
    TokenMemo& memo = memos[*offset];
    if (memo.size != token.size() || memo.storesSize != storesSize) {
      Fill(memo, in, token, storesSize, true);
    }
    return memo;
  }
  // Numbers computed by the rewriting land here; most scripts have no
  // variable named like one.
  bool search = offset || !LooksLikeInteger(token) || NumericNamesExist(in, storesSize);
  Fill(cache.scratch, in, token, SIZE_MAX, search);
  return cache.scratch;
}

NameSlot LookUpName(const Interpreter& in, std::string_view name) {
  return TokenFacts(in, name).slot;
}

std::string_view GetType(std::string_view token) {
  if (token.size() >= 2 && token.front() == '"' && token.back() == '"') return type::kString;
  if (ParseIntLiteral(token)) return type::kInt;
  return type::kUnknown;
}

std::string_view GetTypeOfVar(const Interpreter& in, std::string_view name) {
  if (name == kReturnedName) return in.lastReturned.varType;
  return TokenFacts(in, name).slot.varType;
}

bool CheckOnVariable(const Interpreter& in, std::string_view name) {
  return GetTypeOfVar(in, name) != type::kUnknown;
}

std::string_view GetTypeEx(const Interpreter& in, std::string_view token) {
  if (token == kReturnedName) return in.lastReturned.varType;
  const TokenMemo& facts = TokenFacts(in, token);
  return facts.slot.varType != type::kUnknown ? facts.slot.varType : facts.literalType;
}

std::string_view GetGoType(const Value& value) {
  return std::holds_alternative<std::int64_t>(value) ? type::kInt : type::kString;
}

}  // namespace zarnith
