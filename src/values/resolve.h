// Reading values: quoted literals, array elements, variables and the general
// token resolver that every statement and class command uses.
#pragma once

#include <string_view>

#include "state/interpreter.h"
#include "values/types.h"

namespace zarnith {

// A literal's text without its enclosing double quotes: when the text is at
// least two bytes and begins and ends with a quote, every leading and every
// trailing quote goes.
std::string_view StringToText(std::string_view text);

// The index text of an element reference: after the first "[" up to the
// next "[" or the end, and of that the part before its first "]".
std::string_view IndexText(std::string_view reference);

// Reads one element through a reference such as a[3]. A bad index ends the
// program with status 127; a name that is no array gives the text "unknown".
Value GetArrayValue(Interpreter& in, std::string_view reference);

variable GetVariable(Interpreter& in, std::string_view name);

// A variable's or element's value, an integer literal's number, or else the
// token itself as text (quotes kept).
Value IfVariableReplaceIt(Interpreter& in, std::string_view token);

// A looked-up token's value, as IfVariableReplaceIt gives it.
Value ReadToken(Interpreter& in, const TokenRef& t);

// The same value when it is an int, else nothing; read exactly as ReadToken
// reads it (an element out of range still ends the program). Most operands
// and assigned values are int variables and numbers: they need no Value, and
// no call.
std::optional<std::int64_t> ReadIntThroughValue(Interpreter& in, const TokenRef& t);
inline std::optional<std::int64_t> ReadIntToken(Interpreter& in, const TokenRef& t) {
  if (!t.returned && t.slot.intVar) return *t.slot.intVar;
  if (!t.returned && !t.variable) {
    if (SameType(t.type, type::kInt)) return t.number;
    return std::nullopt;
  }
  return ReadIntThroughValue(in, t);
}

// The text form of a resolved value with its enclosing quotes removed: what
// statements mean by "the text value" of a string argument.
std::string ResolveText(Interpreter& in, std::string_view token);

std::string ReadTokenText(Interpreter& in, const TokenRef& t);

// The same text, sharing the buffer of the variable it comes from: for
// statements that store or extend a text rather than read it.
Text ResolveShared(Interpreter& in, std::string_view token);
Text ReadTokenShared(Interpreter& in, const TokenRef& t);

// A text without its enclosing quotes (as StringToText), sharing its buffer.
Text BareShared(const Text& text);

}  // namespace zarnith
