// Script values, the five type names and the four variable stores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace zarnith {

// A script text: bytes (no encoding assumed) in a buffer that copies share,
// so handing a text on (s = returned) copies nothing. Bytes once in a buffer
// never change; each text sees its own stretch of it. Appending to a text
// that ends where its buffer ends grows the buffer in place, so a loop that
// appends to a variable and stores the result back takes time linear in the
// final length.
class Text {
 public:
  Text() = default;
  Text(std::string text)
      : buffer_(std::make_shared<std::string>(std::move(text))), size_(buffer_->size()) {}
  Text(std::string_view text) : Text(std::string(text)) {}
  Text(const char* text) : Text(std::string(text)) {}

  std::string_view view() const {
    return buffer_ ? std::string_view(*buffer_).substr(offset_, size_) : std::string_view();
  }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // The stretch [pos, pos + n) of this text, sharing its buffer.
  Text Sub(std::size_t pos, std::size_t n) const {
    Text part = *this;
    part.offset_ += pos;
    part.size_ = n;
    return part;
  }

  // The bytes that Append(more) would allocate: none when the text grows
  // within its buffer's spare room; when the buffer itself grows, what
  // std::string asks for (at least twice its old capacity); otherwise a new
  // buffer for the joined text.
  std::size_t AllocationFor(std::size_t more) const {
    if (more == 0) return 0;
    if (buffer_ && offset_ + size_ == buffer_->size()) {
      if (buffer_->capacity() - buffer_->size() >= more) return 0;
      return std::max(buffer_->size() + more, 2 * buffer_->capacity());
    }
    return size_ + more;
  }

  void Append(std::string_view more) {
    if (more.empty()) return;
    if (buffer_ && offset_ + size_ == buffer_->size()) {
      // Nobody sees past our end yet. `more` may lie in this very buffer:
      // std::string::append copies it before releasing old storage.
      buffer_->append(more);
    } else {
      auto joined = std::make_shared<std::string>();
      joined->reserve(size_ + more.size());
      joined->append(view());
      joined->append(more);
      buffer_ = std::move(joined);
      offset_ = 0;
    }
    size_ += more.size();
  }

  friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  std::shared_ptr<std::string> buffer_;
  std::size_t offset_ = 0;
  std::size_t size_ = 0;
};

// A script value: a signed 64-bit integer or a text.
using Value = std::variant<std::int64_t, Text>;

namespace type {
inline constexpr std::string_view kInt = "int";
inline constexpr std::string_view kString = "string";
inline constexpr std::string_view kIntArray = "int-array";
inline constexpr std::string_view kStringArray = "string-array";
inline constexpr std::string_view kUnknown = "unknown";
}  // namespace type

// a == b for the short texts that names, types and keywords are: a plain
// loop costs less than a call to memcmp.
inline bool SameShortText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Whether two type names are the same. The names in use are the constants
// above, so equal names are mostly the very same bytes, and different ones
// differ in length: most tests need no comparison of bytes.
inline bool SameType(std::string_view a, std::string_view b) {
  return (a.data() == b.data() && a.size() == b.size()) || SameShortText(a, b);
}

// The reserved name under which scripts read the last returned value.
inline constexpr std::string_view kReturnedName = "returned";

// A name's hash: FNV-1a, cheap for the short names scripts use.
inline constexpr std::uint64_t kNameHashBasis = 14695981039346656037ull;
inline constexpr std::uint64_t kNameHashPrime = 1099511628211ull;
inline std::uint64_t HashNameByte(std::uint64_t h, char c) noexcept {
  return (h ^ static_cast<unsigned char>(c)) * kNameHashPrime;
}
inline std::size_t HashName(std::string_view name) noexcept {
  std::uint64_t h = kNameHashBasis;
  for (char c : name) h = HashNameByte(h, c);
  return static_cast<std::size_t>(h);
}

// A name with its hash worked out once, for searching all four stores.
struct HashedName {
  explicit HashedName(std::string_view name) : text(name), hash(HashName(name)) {}
  HashedName(std::string_view name, std::size_t nameHash) : text(name), hash(nameHash) {}
  std::string_view text;
  std::size_t hash;
};

// Transparent hashing and comparison, so that a string_view or a HashedName
// looks a name up without allocating a std::string.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept { return HashName(s); }
  std::size_t operator()(const HashedName& n) const noexcept { return n.hash; }
};
struct NameEqual {
  using is_transparent = void;
  static std::string_view Text(std::string_view s) { return s; }
  static std::string_view Text(const HashedName& n) { return n.text; }
  template <typename A, typename B>
  bool operator()(const A& a, const B& b) const {
    return SameShortText(Text(a), Text(b));
  }
};

template <typename T>
using NameMap = std::unordered_map<std::string, T, NameHash, NameEqual>;

// Arrays are shared between the names bound to them: assigning one array to
// another name makes both see the same elements.
using IntArray = std::shared_ptr<std::vector<std::int64_t>>;
using StringArray = std::shared_ptr<std::vector<std::string>>;

// Whether a token begins as a literal does: with a double quote, a sign or a
// digit. A name that begins so shadows the literals it could be confused with.
inline bool BeginsLikeLiteral(std::string_view token) {
  if (token.empty()) return false;
  char c = token[0];
  return c == '"' || c == '+' || c == '-' || (c >= '0' && c <= '9');
}

struct Stores {
  NameMap<std::int64_t> intVars;
  NameMap<Text> stringVars;
  NameMap<IntArray> intArrays;
  NameMap<StringArray> stringArrays;

  // Set once a name that begins like a literal has entered a store. While it
  // is clear, a token that begins so (a number, a quoted text, an element of
  // such a name) names nothing, and typing it needs no search.
  bool literalNames = false;

  // A running script only adds names, never removes one, so the total count
  // changes exactly when a name is gained by a store (also when a name already in one
  // store is added to another). A lookup remembered at one count stays true
  // while the count is the same.
  std::size_t NameCount() const {
    return intVars.size() + stringVars.size() + intArrays.size() + stringArrays.size();
  }

  // Adds a new name to `map`, one of the four stores above; every name enters
  // the stores here.
  template <typename Map, typename V>
  auto* Add(Map& map, std::string_view name, V&& value) {
    literalNames = literalNames || BeginsLikeLiteral(name);
    return &map.emplace(std::string(name), std::forward<V>(value)).first->second;
  }
};

// A typed value: "int" always goes with an integer, "string" with a text.
struct variable {
  std::string_view varType;
  Value value;
};
using returnedType = variable;

template <typename Map, typename Name>
auto* FindIn(Map& map, const Name& name) {
  // Most scripts use one or two of the four stores: an empty one needs no hash.
  using Found = decltype(&map.begin()->second);
  if (map.empty()) return Found{nullptr};
  auto it = map.find(name);
  return it == map.end() ? nullptr : &it->second;
}

// Stores a value under a name in `map`, one of the stores of `stores`,
// reusing the existing entry when there is one.
template <typename Map, typename V>
void StoreIn(Stores& stores, Map& map, std::string_view name, V&& value) {
  if (auto* slot = FindIn(map, name)) {
    *slot = std::forward<V>(value);
  } else {
    stores.Add(map, name, std::forward<V>(value));
  }
}

}  // namespace zarnith
