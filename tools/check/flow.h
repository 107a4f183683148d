// What the checks of one script share: the diagnostics found so far, what
// each line is, and the checks that follow the lines in the order they run
// (if chains, jumps, lines that nothing reaches).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"

namespace zarnith::check {

// A name or text as a message quotes it.
std::string Quoted(std::string_view text);

// The diagnostics of one script as they are found.
class Findings {
 public:
  // `line` is 0-based.
  void Report(std::size_t line, std::size_t column, Severity severity, std::string message,
              std::string_view code) {
    found_.push_back({line + 1, column, severity, std::move(message), std::string(code)});
  }
  // A note belongs to the diagnostic reported last.
  void Note(std::size_t line, std::size_t column, std::string message) {
    found_.push_back({line + 1, column, Severity::kNote, std::move(message), {}});
  }
  // A note that shows line `target` as written.
  void NoteLineText(std::span<const std::string_view> lines, std::size_t target) {
    if (target < lines.size()) {
      Note(target, 1, "line " + std::to_string(target + 1) + " is: " + std::string(lines[target]));
    }
  }
  // Stable by line; each note stays behind the diagnostic it belongs to.
  std::vector<Diagnostic> InLineOrder();

 private:
  std::vector<Diagnostic> found_;
};

// What the checks that follow the order of the lines need of each line.
struct LineFacts {
  std::optional<std::int64_t> jumpTo;  // the 0-based line a jump to a written line lands on
  std::string_view blockWord;          // if, elif, else or end, first on the line
  std::uint32_t targetColumn = 1;      // where the jump's target is written
  bool code = false;                   // neither empty nor a comment
  bool ends = false;                   // an exit that always ends the program
  bool jump = false;                   // a jump statement
  bool computedJump = false;           // a jump whose target is known only at run time
  bool moved = false;                  // a jump whose target has likely moved
  bool inChain = false;                // an if chain is open when the line is reached
  bool tabbed = false;                 // blockWord stands after a tab
};

using Lines = std::span<const std::string_view>;

// Jumps that land next to where they were likely meant to: on another jump,
// or just above the end line that a loop jumps back to. Such a target has
// likely moved when a line was added or removed above it.
void FindMovedTargets(Lines lines, std::span<LineFacts> facts, Findings& out);

// The if chains, one at a time as the interpreter keeps them.
void FollowChains(Lines lines, std::span<LineFacts> facts, Findings& out);

// Lines that no path from the first line reaches.
void FindUnreachable(Lines lines, std::span<const LineFacts> facts, Findings& out);

}  // namespace zarnith::check
