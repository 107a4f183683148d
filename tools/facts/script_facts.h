// What the text of a script says about each of its lines, read once: the
// line prepared and cut by the interpreter's own functions, its statement
// form, the if-chain keyword the run sees in it, a jump's written target and
// the variable a line gives a value to. zarnith-check, zarnith-lsp and
// zarnith-dap read a script through one ScriptFacts, so they agree with the
// run and with each other on what every line is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/classify.h"

namespace zarnith::facts {

// True when the token holds an operator character, which the line's
// arithmetic may compute before a statement reads the token. A leading sign
// belongs to an integer literal.
bool HasOperator(std::string_view token);

// A literal integer whose value the run cannot change (no operation in it,
// which the line's arithmetic would compute first), or none.
std::optional<std::int64_t> LiteralInt(std::string_view token);

// Byte columns [begin, end) of a line as written.
struct ByteSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool Contains(std::size_t column) const { return column >= begin && column <= end; }
};

// A class command that gives a variable named by one of its arguments a
// value (fs:read, strings:split), as the class publishes it.
struct ClassWrite {
  std::string_view name;     // the argument as written
  std::string_view varType;  // the type the variable gets; empty when the call writes none
};

struct LineFacts {
  std::string_view raw;       // the line as written, a view into the script
  std::string_view prepared;  // tabs removed, backslash-n made a line feed
  LineCut shape;            // its form; `three` points into `prepared`
  std::size_t firstPiece = 0, pieceCount = 0;
  std::size_t firstWord = 0, wordCount = 0;
  // if, elif, else or end where the run sees it: first on the line as
  // written, which is what the gate of a passed-over branch reads; or, on a
  // block line, after the tabs that open it (then `tabbed`).
  std::string_view blockWord;
  std::optional<std::int64_t> jumpTarget;  // a jump's literal target, counted from 1
  ClassWrite classWrite;                   // of a class call
  bool code = false;                       // neither empty nor a comment
  bool tabbed = false;                     // blockWord stands after tabs
  bool jump = false;                       // a jump statement with a target
};

class ScriptFacts {
 public:
  // The text must outlive the facts, which point into it and into their
  // own buffers: they are neither copied nor moved.
  explicit ScriptFacts(std::string_view text);
  ScriptFacts(const ScriptFacts&) = delete;
  ScriptFacts& operator=(const ScriptFacts&) = delete;

  // The lines that jump counts from 1: the text cut at its line feeds.
  const std::vector<std::string_view>& lines() const { return lines_; }
  std::size_t size() const { return facts_.size(); }
  const LineFacts& operator[](std::size_t line) const { return facts_[line]; }

  // The argument pieces and words of a line, views into its prepared text.
  // A line that is no code has none; the words are cut only as far as the
  // classifier went (block lines and the comma-form statements).
  std::span<const std::string_view> Pieces(std::size_t line) const;
  std::span<const std::string_view> Words(std::size_t line) const;

  // The 0-based line a jump on line `line` lands on, when its target is a
  // written line of the script.
  std::optional<std::size_t> TargetIndex(std::size_t line) const;

  // The 1-based column in the line as written of byte `offset` of its
  // prepared text; an offset past the end gives a column past the line's end.
  std::size_t ColumnAt(std::size_t line, std::size_t offset) const;
  // The column of a view into the line's prepared text (1 for another view).
  std::size_t Column(std::size_t line, std::string_view view) const;
  // Where a view into the line's prepared text stands in the line as written.
  ByteSpan SpanOf(std::size_t line, std::string_view view) const;
  // Byte `offset` of a view into the line's prepared text, or none.
  std::optional<std::size_t> OffsetOf(std::size_t line, std::string_view view) const;

 private:
  // One line's preparation and cuts, before they are kept.
  struct Scratch {
    std::string prepared;
    std::vector<std::string_view> pieces, words;
  };
  void ReadLine(std::size_t i, Scratch& scratch);

  std::vector<std::string_view> lines_;
  std::vector<LineFacts> facts_;
  std::string prepared_;  // every line's prepared text, one after another
  std::vector<std::string_view> pieces_, words_;  // every line's, one after another
};

// Where the bytes of a prepared line stand in the line as written, worked
// out once for a line that many columns are asked of.
class RawColumns {
 public:
  void Map(std::string_view raw, std::string_view prepared);
  // As ScriptFacts::ColumnAt, for the line mapped last.
  std::size_t ColumnAt(std::size_t offset) const;

 private:
  std::vector<std::size_t> columns_;
  std::size_t past_ = 1;  // the column past the line's end
};

// The if chain the run keeps, followed line by line: one chain at a time,
// never nested. An if opens a chain, in place of one that is open; an elif or
// an else is a branch of the open chain, or opens one of its own; an end
// closes it.
class ChainWalk {
 public:
  enum class Step : std::uint8_t { kNone, kOpen, kBranch, kClose };
  // Moves past line `line`, whose block word is `word` (empty for none).
  Step Next(std::size_t line, std::string_view word);
  bool open() const { return open_; }
  // The line that opened the chain, while one is open.
  std::size_t opener() const { return opener_; }

 private:
  bool open_ = false;
  std::size_t opener_ = 0;
};

}  // namespace zarnith::facts
