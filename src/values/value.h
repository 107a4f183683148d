// Script values, the five type names and the four variable stores.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace zarnith {

// A script value: a signed 64-bit integer or a byte string.
using Value = std::variant<std::int64_t, std::string>;

namespace type {
inline constexpr std::string_view kInt = "int";
inline constexpr std::string_view kString = "string";
inline constexpr std::string_view kIntArray = "int-array";
inline constexpr std::string_view kStringArray = "string-array";
inline constexpr std::string_view kUnknown = "unknown";
}  // namespace type

// The reserved name under which scripts read the last returned value.
inline constexpr std::string_view kReturnedName = "returned";

// Transparent hashing so that a string_view key looks a name up without
// allocating a std::string.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept {
    return std::hash<std::string_view>{}(s);
  }
};

template <typename T>
using NameMap = std::unordered_map<std::string, T, NameHash, std::equal_to<>>;

// Arrays are shared between the names bound to them: assigning one array to
// another name makes both see the same elements.
using IntArray = std::shared_ptr<std::vector<std::int64_t>>;
using StringArray = std::shared_ptr<std::vector<std::string>>;

struct Stores {
  NameMap<std::int64_t> intVars;
  NameMap<std::string> stringVars;
  NameMap<IntArray> intArrays;
  NameMap<StringArray> stringArrays;
};

// A typed value: "int" always goes with an integer, "string" with a text.
struct variable {
  std::string_view varType;
  Value value;
};
using returnedType = variable;

template <typename Map>
auto* FindIn(Map& map, std::string_view name) {
  auto it = map.find(name);
  return it == map.end() ? nullptr : &it->second;
}

// Stores a value under a name, reusing the existing entry when there is one.
template <typename Map, typename V>
void StoreIn(Map& map, std::string_view name, V&& value) {
  if (auto* slot = FindIn(map, name)) {
    *slot = std::forward<V>(value);
  } else {
    map.emplace(std::string(name), std::forward<V>(value));
  }
}

}  // namespace zarnith
