// What a line's text alone decides, worked out once per distinct line and
// reused each time the line runs again: loops jump back over the same lines,
// so preparing and classifying them afresh would be most of a script's work.
// Nothing here depends on variables; what does (operand values, the types of
// names) is computed on every run, with only the store lookups remembered
// until a store gains a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/split.h"
#include "values/value.h"

namespace zarnith {

struct Interpreter;

// Where a name was found in the stores when it was last looked up: its type
// name and the one store entry that holds it (the others are null). Store
// entries never move and are never removed, so the pointers stay valid.
struct NameSlot {
  std::string_view varType = type::kUnknown;
  const std::int64_t* intVar = nullptr;
  const Text* stringVar = nullptr;
  const IntArray* intArray = nullptr;
  const StringArray* stringArray = nullptr;
};

// What is known of a token: where the stores hold it, and what kind of
// literal it is. Remembered for the token that starts at one offset of a line.
struct TokenMemo {
  std::size_t size = 0;
  std::size_t storesSize = SIZE_MAX;  // total entries of the stores when looked up
  NameSlot slot;
  std::string_view literalType = type::kUnknown;  // as GetType gives it
  std::int64_t literal = 0;                       // its number when "int"
};

// The first operation of one operator character in a line's text, as the
// arithmetic rewriting finds it; the operands' values are read at run time.
struct OperationPlan {
  bool present = false;          // the character occurs in the text
  bool candidate = false;        // no space beside it and the line is not cut at its edge
  std::string_view left, right;  // operand words, quotes stripped
  std::size_t patternAt = std::string::npos;  // first "left op right" in the text
  bool plainPattern = false;                  // the pattern holds no comma, space or colon
};

enum class LineForm : std::uint8_t { kNothing, kClassCall, kArray, kAssign, kBlock, kStatement };

using CachedStatement = void (*)(Interpreter&, std::span<const std::string_view>);

struct PreparedLine {
  bool built = false;
  std::string raw;            // the line as received: what the entry is for
  bool ignored = false;       // empty or a comment
  bool blockKeyword = false;  // the raw line's first word is if/elif/else/end
  std::string text;           // cleaned: line feeds and tabs gone, \n turned into a line feed
  bool hasOperator = false;
  OperationPlan operations[4];  // for + - * / in that order
  // The views of the text as it stands before any rewriting.
  std::vector<std::string_view> pieces, words;
  ThreeWords three;
  LineForm form = LineForm::kNothing;
  CachedStatement statement = nullptr;
  // Indexed by the offset of a token in `text` (the first kMemoOffsets only).
  static constexpr std::size_t kMemoOffsets = 256;
  std::vector<TokenMemo> memos;
};

// Where one line's entry is kept. A line is prepared for keeps only when it
// comes round again (same place, same length), so code that runs once costs
// no memory; its content is compared on every later run.
struct CacheSlot {
  const char* seenAt = nullptr;
  std::size_t seenSize = 0;
  std::unique_ptr<PreparedLine> line;
};

struct LineCache {
  // Script lines by their index; other lines (the shell's) share one slot.
  std::vector<CacheSlot> byIndex;
  CacheSlot other;

  // The line running now, null when none (lookups then remember nothing).
  PreparedLine* current = nullptr;
  // When the running line's text was rewritten once: the rewritten copy, and
  // where the operation's text [at, at + oldSize) became newSize bytes.
  const std::string* rewritten = nullptr;
  std::size_t at = 0, oldSize = 0, newSize = 0;
  bool plainOperation = false;  // the rewritten operation held no comma, space or colon

  // The facts of a token that is not remembered, valid until the next lookup.
  TokenMemo scratch;

  // Whether some store holds a name that reads as an integer literal, as of
  // a total number of store entries.
  std::size_t numericNamesAt = SIZE_MAX;
  bool numericNames = true;
};

}  // namespace zarnith
