// What the lines of a script can make of its names, read before any check:
// which lines give a name a value, of which types, and the length of an
// array that one declaration makes. Order is not followed: a name has a type
// at check time when every line that can give it a value gives that type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zarnith::check {

class ScriptNames {
 public:
  // An array line: `array TYPE NAME[LENGTH]`, its words as written.
  void Declare(std::string_view elementType, std::string_view nameAndLength);
  // An assignment line: `TARGET = VALUE`.
  void Assign(std::string_view target, std::string_view value);
  // A variable that a class command writes (or the run itself, for arg),
  // with the type it gets.
  void Write(std::string_view name, std::string_view varType);
  // After the last line: follows the assignments from one name to another.
  void Settle();

  // Some line can give the name a value.
  bool Made(std::string_view name) const;
  // Some line can make the name an array.
  bool MayBeArray(std::string_view name) const;
  // The type name a token has whenever it is read, as far as the script's
  // text decides it: a literal's type, a variable's or element's type when
  // every line that makes the name agrees, and "unknown" for a name that no
  // line makes. None when the run decides (the returned value, a name given
  // values of several types, an operation the line's arithmetic computes).
  std::optional<std::string_view> TypeOf(std::string_view token) const;
  // The length of an array that one declaration with a written length makes
  // and nothing else does.
  std::optional<std::int64_t> Length(std::string_view name) const;

 private:
  // The types a name can take, one bit each; kRunTime when only the run knows.
  enum Bits : std::uint8_t {
    kInt = 1,
    kString = 2,
    kIntArray = 4,
    kStringArray = 8,
    kRunTime = 16,
  };
  struct Flow {
    std::size_t to;
    bool element;  // `to = name[index]`: the element type flows, not the array
  };
  struct Name {
    std::uint8_t bits = 0;
    int declarations = 0;
    bool otherArrays = false;  // made an array other than by a declaration
    std::optional<std::int64_t> length;
    std::vector<Flow> flows;  // the names assigned from this one
  };
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  std::size_t Slot(std::string_view name);
  const Name* Find(std::string_view name) const;
  static std::uint8_t Carried(std::uint8_t bits, bool element);
  static std::optional<std::string_view> TypeOfBits(std::uint8_t bits);

  std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> slots_;
  std::vector<Name> names_;
};

}  // namespace zarnith::check
