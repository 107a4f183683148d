#include "lsp/jump_shift.h"

#include <algorithm>
#include <limits>

#include "values/split.h"

namespace zarnith::lsp {

void LineOrigins::Reset(std::string_view text) {
  baseline_.assign(text);
  baselineLines_ = SplitScriptLines(baseline_);
  origin_.resize(baselineLines_.size());
  for (std::size_t i = 0; i < origin_.size(); ++i) origin_[i] = i;
}

void LineOrigins::Follow(std::string_view before, const LineEdit& edit, std::string_view after) {
  auto added = static_cast<std::size_t>(std::count(edit.text.begin(), edit.text.end(), '\n'));
  // An edit that does not fit the text it was made on starts afresh.
  if (!Replace(SplitScriptLines(before), SplitScriptLines(after), edit.lineFrom,
               edit.lineTo + 1, edit.lineFrom + added + 1, edit.columnFrom > 0)) {
    Reset(after);
  }
}

void LineOrigins::FollowWhole(std::string_view before, std::string_view after) {
  std::vector<std::string_view> a = SplitScriptLines(before), b = SplitScriptLines(after);
  if (!Replace(a, b, 0, a.size(), b.size(), false)) Reset(after);
}

// Lines [first, beforeEnd) of `before` became lines [first, afterEnd) of
// `after`. Inside that window, lines equal on both sides keep their origin,
// matched from the side the edit left alone first: an edit that starts
// inside a line keeps that line's head, one that starts at a line's start
// pushes the line down.
bool LineOrigins::Replace(const std::vector<std::string_view>& before,
                          const std::vector<std::string_view>& after, std::size_t first,
                          std::size_t beforeEnd, std::size_t afterEnd, bool headKept) {
  if (origin_.size() != before.size() || beforeEnd > before.size() || afterEnd > after.size() ||
      first > beforeEnd || first > afterEnd ||
      before.size() - beforeEnd != after.size() - afterEnd) {
    return false;
  }
  std::vector<std::optional<std::size_t>> next(after.size());
  std::copy_n(origin_.begin(), first, next.begin());
  std::copy(origin_.begin() + static_cast<std::ptrdiff_t>(beforeEnd), origin_.end(),
            next.begin() + static_cast<std::ptrdiff_t>(afterEnd));
  std::size_t ob = first, oe = beforeEnd, nb = first, ne = afterEnd;
  auto matchFront = [&] {
    for (; ob < oe && nb < ne && before[ob] == after[nb]; ++ob, ++nb) next[nb] = origin_[ob];
  };
  auto matchBack = [&] {
    for (; ob < oe && nb < ne && before[oe - 1] == after[ne - 1]; --oe, --ne) {
      next[ne - 1] = origin_[oe - 1];
    }
  };
  if (headKept) {
    matchFront();
    matchBack();
  } else {
    matchBack();
    matchFront();
  }
  // What is left was rewritten: line for line as far as both sides go; the
  // rest of the old lines was deleted, the rest of the new ones is new.
  for (; ob < oe && nb < ne; ++ob, ++nb) next[nb] = origin_[ob];
  origin_ = std::move(next);
  return true;
}

std::optional<std::size_t> LineOrigins::UntouchedOrigin(std::string_view line,
                                                        std::size_t i) const {
  if (i >= origin_.size() || !origin_[i] || baselineLines_[*origin_[i]] != line) {
    return std::nullopt;
  }
  return origin_[i];
}

std::vector<std::size_t> LineOrigins::Positions() const {
  constexpr std::size_t kDeleted = std::numeric_limits<std::size_t>::max();
  std::vector<std::size_t> position(baselineLines_.size(), kDeleted);
  for (std::size_t i = 0; i < origin_.size(); ++i) {
    if (origin_[i]) position[*origin_[i]] = i;
  }
  std::size_t next = origin_.size();
  for (std::size_t b = position.size(); b-- > 0;) {
    if (position[b] == kDeleted) {
      position[b] = next;
    } else {
      next = position[b];
    }
  }
  return position;
}

bool LineOrigins::LinesMoved() const {
  if (origin_.size() != baselineLines_.size()) return true;
  for (std::size_t i = 0; i < origin_.size(); ++i) {
    if (origin_[i] != i) return true;
  }
  return false;
}

JumpShift PlanJumpShift(const LineOrigins& origins, const ScriptMap& current) {
  JumpShift shift;
  if (!origins.LinesMoved()) return shift;
  std::vector<std::size_t> position = origins.Positions();
  auto baselineCount = static_cast<std::int64_t>(position.size());
  auto growth = static_cast<std::int64_t>(current.lines.size()) - baselineCount;
  for (std::size_t i = 0; i < current.lines.size(); ++i) {
    const LineMap& m = current.map[i];
    if (!m.isJump) continue;
    if (!m.jumpTarget) {
      shift.computedJumps.push_back(i);
      continue;
    }
    std::int64_t target = *m.jumpTarget;
    if (target < 1 || !origins.UntouchedOrigin(current.lines[i], i)) continue;
    std::int64_t moved = target;
    if (target <= baselineCount) {
      moved = static_cast<std::int64_t>(position[static_cast<std::size_t>(target - 1)]) + 1;
    } else if (target <= std::numeric_limits<std::int64_t>::max() - std::max<std::int64_t>(growth, 0)) {
      moved = target + growth;  // past the end it was, past the end it stays
    }
    if (moved != target) shift.edits.push_back({i, m.targetSpan, moved});
  }
  return shift;
}

std::string ApplyTargetEdits(const ScriptMap& current, const std::vector<TargetEdit>& edits) {
  std::string text;
  auto edit = edits.begin();
  for (std::size_t i = 0; i < current.lines.size(); ++i) {
    if (i > 0) text += '\n';
    std::string_view line = current.lines[i];
    if (edit != edits.end() && edit->line == i) {
      text.append(line.substr(0, edit->span.begin));
      text += std::to_string(edit->target);
      text.append(line.substr(edit->span.end));
      ++edit;
    } else {
      text.append(line);
    }
  }
  return text;
}

}  // namespace zarnith::lsp
