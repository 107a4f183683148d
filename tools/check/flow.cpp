// The checks that follow the lines in the order they run. There is no parse
// tree to walk: a chain is followed line by line as the interpreter keeps it,
// with one record and no nesting, and reachability follows jumps to written
// line numbers.
#include "check/flow.h"

#include <algorithm>
#include <cstdint>
#include <optional>

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

// An exit whose status is written in the line: it always ends the program.
bool AlwaysEnds(const ScriptFacts& script, std::size_t i) {
  if (script[i].shape.form != LineForm::kStatement) return false;
  std::span<const std::string_view> pieces = script.Pieces(i);
  return pieces[0] == "exit" && (pieces.size() == 1 || facts::LiteralInt(pieces[1]).has_value());
}

}  // namespace

void FindMovedTargets(const ScriptFacts& script, std::span<LineFlow> flow, Findings& out) {
  for (std::size_t i = 0; i < script.size(); ++i) {
    std::optional<std::size_t> jumpTo = script.TargetIndex(i);
    if (!jumpTo) continue;
    std::size_t target = *jumpTo;
    const facts::LineFacts& landing = script[target];
    std::string where;
    if (script.TargetIndex(target) && target != i) {
      // Nobody needs two jumps in a row: the first could go straight on.
      where = "lands on another jump";
    } else if (target < i && landing.code && landing.blockWord != "end" &&
               target + 1 < script.size() && script[target + 1].blockWord == "end") {
      where = "lands just above the end line " + LineNumber(target + 1) +
              ", where a loop jumps back to";
    }
    if (where.empty()) continue;
    flow[i].moved = true;
    out.Report(i, script.Column(i, script.Pieces(i)[1]), Severity::kWarning,
               "jump target " + LineNumber(target) + " " + where +
                   ": if a line was added or removed above it, the target has likely moved",
               "moved-target");
    out.NoteLineText(script.lines(), target);
  }
}

void FollowChains(const ScriptFacts& script, std::span<LineFlow> flow, Findings& out) {
  facts::ChainWalk chain;
  std::size_t elifs = 0;
  for (std::size_t i = 0; i < script.size(); ++i) {
    const facts::LineFacts& f = script[i];
    bool open = chain.open();
    std::size_t opener = chain.opener();
    std::optional<std::size_t> jumpTo = script.TargetIndex(i);
    if (jumpTo && open && !flow[i].moved && *jumpTo < i && script[*jumpTo].blockWord != "end") {
      out.Report(i, 1, Severity::kWarning,
                 "jump back to line " + LineNumber(*jumpTo) + " while the if chain of line " +
                     LineNumber(opener) +
                     " is open: the chain's state goes with it (jump to its end line, or close "
                     "the chain first)",
                 "jump-in-chain");
      out.NoteLineText(script.lines(), *jumpTo);
    }
    flow[i].inChain = open;
    std::string_view word = f.blockWord;
    if (f.tabbed && open) {
      // The run sees it as its keyword, but a branch that is passed over
      // reads the line as written, where the tab hides the keyword.
      out.Report(i, 1, Severity::kWarning,
                 Quoted(word) +
                     " after a tab is seen only when the branch before it runs: after a "
                     "branch that is passed over, this line is passed over too and the chain "
                     "of line " +
                     LineNumber(opener) + " stays open (start the line with " + std::string(word) +
                     ")",
                 "indented-block");
    }
    switch (chain.Next(i, word)) {
      case facts::ChainWalk::Step::kOpen:
        if (open && !f.tabbed) {
          out.Report(i, 1, Severity::kWarning,
                     "if inside the open chain of line " + LineNumber(opener) +
                         ": chains do not nest, this if replaces it",
                     "nested-if");
        }
        elifs = 0;
        break;
      case facts::ChainWalk::Step::kBranch:
        if (word == "elif" && ++elifs == 2) {
          out.Report(i, 1, Severity::kWarning,
                     "second elif of the chain of line " + LineNumber(chain.opener()) +
                         ": after a branch that ran, this elif is evaluated again and a second "
                         "branch can run",
                     "several-elif");
        }
        break;
      case facts::ChainWalk::Step::kClose:
      case facts::ChainWalk::Step::kNone: break;
    }
  }
  if (chain.open()) {
    out.Report(chain.opener(), 1, Severity::kError,
               "this if chain is still open at the end of the script: an end line is missing",
               "open-if");
  }
}

void FindUnreachable(const ScriptFacts& script, std::span<const LineFlow> flow, Findings& out) {
  for (std::size_t i = 0; i < script.size(); ++i) {
    if (script[i].jump && !script[i].jumpTarget) return;  // known only at run time
  }
  // A jump or exit inside a chain may be skipped, so the next line stays
  // reachable.
  std::size_t count = script.size();
  std::vector<bool> reached(count, false);
  std::vector<std::size_t> todo{0};
  while (!todo.empty()) {
    std::size_t i = todo.back();
    todo.pop_back();
    if (i >= count || reached[i]) continue;
    reached[i] = true;
    std::optional<std::size_t> jumpTo = script.TargetIndex(i);
    if (jumpTo) todo.push_back(*jumpTo);
    if ((!jumpTo && !AlwaysEnds(script, i)) || flow[i].inChain) todo.push_back(i + 1);
  }
  // The jump whose likely moved target lands on each line, if any.
  std::vector<std::size_t> movedTo(count, SIZE_MAX);
  for (std::size_t i = 0; i < count; ++i) {
    if (flow[i].moved) movedTo[*script.TargetIndex(i)] = i;
  }
  std::size_t lastCode = SIZE_MAX;  // the code line before the range, if any
  for (std::size_t i = 0; i < count; ++i) {
    if (reached[i] || !script[i].code) {
      if (script[i].code) lastCode = i;
      continue;
    }
    std::size_t last = i;
    for (std::size_t k = i + 1; k < count && !reached[k]; ++k) {
      if (script[k].code) last = k;
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
