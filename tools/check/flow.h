// What the checks of one script share: the diagnostics found so far, and the
// checks that follow the lines in the order they run (if chains, jumps, lines
// that nothing reaches).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "facts/script_facts.h"

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

// What the checks that follow the order of the lines find out about each
// line, beside the script's facts.
struct LineFlow {
  bool moved = false;    // a jump whose target has likely moved
  bool inChain = false;  // an if chain is open when the line is reached
};

using facts::ScriptFacts;

// Jumps that land next to where they were likely meant to: on another jump,
// or just above the end line that a loop jumps back to. Such a target has
// likely moved when a line was added or removed above it.
void FindMovedTargets(const ScriptFacts& script, std::span<LineFlow> flow, Findings& out);

// The if chains, one at a time as the interpreter keeps them.
void FollowChains(const ScriptFacts& script, std::span<LineFlow> flow, Findings& out);

// Lines that no path from the first line reaches.
void FindUnreachable(const ScriptFacts& script, std::span<const LineFlow> flow, Findings& out);

}  // namespace zarnith::check
