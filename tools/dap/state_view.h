// Looking at a stopped script's state without changing it, and changing one
// value on the user's word: the variables shown, the values of watch
// expressions, breakpoint conditions and log messages, and setting a value
// that keeps its type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "state/interpreter.h"
#include "values/types.h"

namespace zarnith::dap {

// What a name, an element or `returned` reads as. `error` says why nothing
// was read; otherwise `type` is set, with `value` for an int or a string and
// one of the arrays for a whole array.
struct Reading {
  std::string error;
  std::string_view type;
  Value value;
  IntArray intArray;
  StringArray stringArray;
};

// Reads a name, an element such as a[3] or `returned` as the script would,
// but never ends the program or prints: a bad index is an error text.
Reading ReadName(Interpreter& in, std::string_view expression);

// A value as the variables view shows it: an int in decimal, a text between
// double quotes with control characters and bytes that are not UTF-8 written
// as escapes, an array as its first elements and its length.
std::string ShowValue(const Reading& reading);
std::string ShowText(std::string_view text);
// A value as a log message shows it: a text as it is.
std::string PlainValue(const Reading& reading);

// Why a breakpoint condition has not the form of one (two operands around
// <, >, == or !=, separated by single spaces); nothing when it has.
std::optional<std::string> ConditionProblem(std::string_view condition);

// Evaluates a condition with the language's own if statement, with no
// effect on the script: the if-chain record, the output and the returned
// value stay as they were. An error text when it cannot be evaluated.
std::variant<bool, std::string> EvaluateCondition(Interpreter& in, std::string_view condition);

// Replaces {name} in a log message by the value of name (a name, an element
// or returned).
std::string ExpandLogMessage(Interpreter& in, std::string_view message);

// What the variables view holds. A scope, an array or the if-chain record;
// an entry of the scope names the store it shows.
struct Variable {
  std::string name;
  std::string_view type;
  std::string value;
  // For an array and the if-chain record: what expanding the entry shows.
  enum class Opens { kNothing, kArray, kIfChain } opens = Opens::kNothing;
  NameKind store = NameKind::kNone;  // where the entry lives
  std::size_t elements = 0;          // an array's length
  bool shadowed = false;             // the name designates another store's entry
};

// The scope's entries: returned, the if-chain record, then every name in
// every store that holds it (a name in two stores is shown once per store,
// in the order the script searches them), sorted by name.
std::vector<Variable> ScopeVariables(Interpreter& in);
// Elements [start, start + count) of the array `name` of `store`.
std::vector<Variable> ArrayElements(const Interpreter& in, std::string_view name, NameKind store,
                                    std::size_t start, std::size_t count);
std::vector<Variable> IfChainFields(const Interpreter& in);

// Sets the scope entry `name` of `store` (kNone: returned), or element
// `index` of the array `name` of `store`, from the text the user typed: an
// int takes an integer, a string any text (enclosing double quotes are
// dropped, as from a literal). An error text when refused.
std::optional<std::string> SetScopeValue(Interpreter& in, std::string_view name, NameKind store,
                                         std::string_view text);
std::optional<std::string> SetElementValue(Interpreter& in, std::string_view name, NameKind store,
                                           std::size_t index, std::string_view text);

}  // namespace zarnith::dap
