// What the language server knows of each line of a document: its statement,
// where the statement's name stands, and for a jump where its target stands.
// Lines are read with the interpreter's own preparation and classifier, as
// zarnith-check reads them, so the server and the run agree on what a line is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/classify.h"

namespace zarnith::lsp {

// Byte columns [begin, end) of a raw line.
struct ByteSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool Contains(std::size_t column) const { return column >= begin && column <= end; }
};

struct LineMap {
  bool code = false;  // neither empty nor a comment
  LineForm form = LineForm::kNothing;
  std::string name;   // "print", "fs:open", "if", "array"; empty when no statement
  ByteSpan nameSpan;
  bool isJump = false;
  std::optional<std::int64_t> jumpTarget;  // a literal target line, counted from 1
  ByteSpan targetSpan;                     // the target as written
  std::string_view blockWord;              // if, elif, else or end as the gate reads it
};

struct ScriptMap {
  std::vector<std::string_view> lines;  // views into the mapped text
  std::vector<LineMap> map;             // one per line
  std::vector<std::string> variables;   // the names the document gives values, sorted
  // The jump target line (0-based) of line `i`, when it is a literal line of
  // the document.
  std::optional<std::size_t> TargetIndex(std::size_t i) const;
};

// The text must outlive the map.
ScriptMap MapScript(std::string_view text);

// The line as it runs once the arithmetic between literals is computed, or
// none when the rewriting leaves it as it is.
std::optional<std::string> RewrittenLine(std::string_view raw);

}  // namespace zarnith::lsp
