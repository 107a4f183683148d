// The names that can stand at a place in a line: what the terminal shell
// completes at Tab and what the language server offers editors. Keywords come
// from the statement table and class names and commands from the class
// registry, so completion knows exactly the names the interpreter knows.
// Variables are the caller's: the stores of a running shell, the names an
// edited script assigns.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "state/interpreter.h"

namespace zarnith {

// Where the cursor stands, read from the text before it.
struct CompletionPlace {
  enum class Kind {
    kClassName,  // after `use, "`: a class name
    kCommand,    // after `class:`: one of that class's commands
    kLineStart,  // the first word of a line: a keyword or a variable
    kValue,      // anywhere else: a variable
  };
  Kind kind = Kind::kValue;
  std::string_view className;  // kCommand: the class before the colon
  std::size_t wordStart = 0;   // where the word being completed begins

  bool TakesVariables() const { return kind == Kind::kLineStart || kind == Kind::kValue; }
};

// Tabs that indent a line are dropped before it runs, so they are passed over.
CompletionPlace FindCompletionPlace(std::string_view beforeCursor);

// The words that begin a line: the comma statements, if, elif, else, end and array.
std::span<const std::string_view> LineKeywords();

struct CompletionName {
  enum class Kind { kKeyword, kClass, kCommand };
  std::string_view name;
  Kind kind;
};

// The keywords, class names or commands of `classes` that fit the place, in
// table order; variables are left to the caller.
std::vector<CompletionName> CompletionNames(std::span<const Class> classes,
                                            const CompletionPlace& place);

// A registry of the built-in classes, for tools that read scripts without running them.
std::span<const Class> BuiltinClassTable();

}  // namespace zarnith
