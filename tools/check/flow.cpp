// The checks that follow the lines in the order they run. There is no parse
// tree to walk: a chain is followed line by line as the interpreter keeps it,
// with one record and no nesting, and reachability follows jumps to written
// line numbers.
#include "check/flow.h"

#include <algorithm>
#include <cstdint>

namespace zarnith::check {

std::vector<Diagnostic> Findings::InLineOrder() {
  std::vector<std::vector<Diagnostic>> groups;
  for (Diagnostic& d : found_) {
    if (d.severity != Severity::kNote || groups.empty()) groups.emplace_back();
    groups.back().push_back(std::move(d));
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return a[0].line < b[0].line; });
  std::vector<Diagnostic> sorted;
  for (auto& g : groups) {
    for (Diagnostic& d : g) sorted.push_back(std::move(d));
  }
  found_.clear();
  return sorted;
}

namespace {

std::string LineNumber(std::size_t index) { return std::to_string(index + 1); }

}  // namespace

void FindMovedTargets(Lines lines, std::span<LineFacts> facts, Findings& out) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    LineFacts& f = facts[i];
    if (!f.jumpTo) continue;
    auto target = static_cast<std::size_t>(*f.jumpTo);
    const LineFacts& landing = facts[target];
    std::string where;
    if (landing.jump && landing.jumpTo && target != i) {
      // Nobody needs two jumps in a row: the first could go straight on.
      where = "lands on another jump";
    } else if (target < i && landing.code && landing.blockWord != "end" &&
               target + 1 < lines.size() && facts[target + 1].blockWord == "end") {
      where = "lands just above the end line " + LineNumber(target + 1) +
              ", where a loop jumps back to";
    }
    if (where.empty()) continue;
    f.moved = true;
    out.Report(i, f.targetColumn, Severity::kWarning,
               "jump target " + LineNumber(target) + " " + where +
                   ": if a line was added or removed above it, the target has likely moved",
               "moved-target");
    out.NoteLineText(lines, target);
  }
}

void FollowChains(Lines lines, std::span<LineFacts> facts, Findings& out) {
  bool open = false;
  std::size_t opener = 0;  // the line that opened the chain
  std::size_t elifs = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    LineFacts& f = facts[i];
    if (f.jumpTo && open && !f.moved && static_cast<std::size_t>(*f.jumpTo) < i &&
        facts[static_cast<std::size_t>(*f.jumpTo)].blockWord != "end") {
      out.Report(i, 1, Severity::kWarning,
                 "jump back to line " + LineNumber(static_cast<std::size_t>(*f.jumpTo)) +
                     " while the if chain of line " + LineNumber(opener) +
                     " is open: the chain's state goes with it (jump to its end line, or close "
                     "the chain first)",
                 "jump-in-chain");
      out.NoteLineText(lines, static_cast<std::size_t>(*f.jumpTo));
    }
    f.inChain = open;
    std::string_view word = f.blockWord;
    if (f.tabbed) {
      // The run sees it as its keyword, but a branch that is passed over
      // reads the line as written, where the tab hides the keyword.
      if (open) {
        out.Report(i, 1, Severity::kWarning,
                   Quoted(word) +
                       " after a tab is seen only when the branch before it runs: after a "
                       "branch that is passed over, this line is passed over too and the chain "
                       "of line " +
                       LineNumber(opener) + " stays open (start the line with " +
                       std::string(word) + ")",
                   "indented-block");
      }
    }
    if (word == "if") {
      if (open && !f.tabbed) {
        out.Report(i, 1, Severity::kWarning,
                   "if inside the open chain of line " + LineNumber(opener) +
                       ": chains do not nest, this if replaces it",
                   "nested-if");
      }
      open = true;
      opener = i;
      elifs = 0;
    } else if (word == "elif" || word == "else") {
      if (!open) {
        open = true;
        opener = i;
      }
      if (word == "elif" && ++elifs == 2) {
        out.Report(i, 1, Severity::kWarning,
                   "second elif of the chain of line " + LineNumber(opener) +
                       ": after a branch that ran, this elif is evaluated again and a second "
                       "branch can run",
                   "several-elif");
      }
    } else if (word == "end") {
      open = false;
    }
  }
  if (open) {
    out.Report(opener, 1, Severity::kError,
               "this if chain is still open at the end of the script: an end line is missing",
               "open-if");
  }
}

void FindUnreachable(Lines lines, std::span<const LineFacts> facts, Findings& out) {
  for (const LineFacts& f : facts) {
    if (f.computedJump) return;
  }
  // A jump or exit inside a chain may be skipped, so the next line stays
  // reachable.
  std::vector<bool> reached(lines.size(), false);
  std::vector<std::size_t> todo{0};
  while (!todo.empty()) {
    std::size_t i = todo.back();
    todo.pop_back();
    if (i >= lines.size() || reached[i]) continue;
    reached[i] = true;
    const LineFacts& f = facts[i];
    if (f.jumpTo) todo.push_back(static_cast<std::size_t>(*f.jumpTo));
    if ((!f.jumpTo && !f.ends) || f.inChain) todo.push_back(i + 1);
  }
  // The jump whose likely moved target lands on each line, if any.
  std::vector<std::size_t> movedTo(lines.size(), SIZE_MAX);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (facts[i].moved) movedTo[static_cast<std::size_t>(*facts[i].jumpTo)] = i;
  }
  std::size_t lastCode = SIZE_MAX;  // the code line before the range, if any
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (reached[i] || !facts[i].code) {
      if (facts[i].code) lastCode = i;
      continue;
    }
    std::size_t last = i;
    for (std::size_t k = i + 1; k < lines.size() && !reached[k]; ++k) {
      if (facts[k].code) last = k;
    }
    std::string range = last == i ? "line " + LineNumber(i) + " can"
                                  : "lines " + LineNumber(i) + "-" + LineNumber(last) + " can";
    out.Report(i, 1, Severity::kWarning, range + " never run: no line leads here", "unreachable");
    if (lastCode != SIZE_MAX && movedTo[lastCode] != SIZE_MAX) {
      out.Note(movedTo[lastCode], 1,
               "the jump on line " + LineNumber(movedTo[lastCode]) + " lands on line " +
                   LineNumber(lastCode) + ", just above: its target has likely moved");
    }
    lastCode = last;
    i = last;
  }
}

}  // namespace zarnith::check
