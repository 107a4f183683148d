#include "lsp/jump_shift.h"

#include <algorithm>
#include <limits>

#include "values/split.h"

namespace zarnith::lsp {

void LineOrigins::Reset(std::string_view text) {
  // The line views point into the baseline, so they go before it changes:
  // running out of memory half way leaves none pointing at freed bytes.
  origin_.clear();
  baselineLines_.clear();
  baseline_.assign(text);
  baselineLines_ = SplitScriptLines(baseline_);
  origin_.resize(baselineLines_.size());
  for (std::size_t i = 0; i < origin_.size(); ++i) origin_[i] = i;
}

namespace {

std::size_t LineFeeds(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The end of the line that holds `offset`.
std::size_t LineEnd(std::string_view text, std::size_t offset) {
  return std::min(text.find('\n', offset), text.size());
}

}  // namespace

void LineOrigins::Follow(std::string_view before, const LineEdit& edit, std::string_view after) {
  std::size_t from = std::min(edit.from, before.size());
  std::size_t to = std::clamp(edit.to, from, before.size());
  std::size_t lineStart = from == 0 ? 0 : before.rfind('\n', from - 1) + 1;  // npos + 1 is 0
  std::size_t afterEnd = std::min(from + edit.text.size(), after.size());
  // Only the lines the edit touched are split and compared; the text before
  // them is the same on both sides, and so is the text after them.
  Window window{LineFeeds(before.substr(0, lineStart)),
                SplitScriptLines(before.substr(lineStart, LineEnd(before, to) - lineStart)),
                SplitScriptLines(after.substr(lineStart, LineEnd(after, afterEnd) - lineStart)),
                origin_.size(), 0, from > lineStart};
  window.newCount = window.oldCount - window.before.size() + window.after.size();
  // An edit that does not fit the text it was made on starts afresh.
  if (window.first + window.before.size() > window.oldCount || !Replace(window)) Reset(after);
}

void LineOrigins::FollowWhole(std::string_view before, std::string_view after) {
  std::vector<std::string_view> a = SplitScriptLines(before), b = SplitScriptLines(after);
  std::size_t oldCount = a.size(), newCount = b.size();
  if (!Replace({0, std::move(a), std::move(b), oldCount, newCount, false})) Reset(after);
}

// The window's old lines became its new lines. Inside it, lines equal on
// both sides keep their origin, matched from the side the edit left alone
// first: an edit that starts inside a line keeps that line's head, one that
// starts at a line's start pushes the line down.
bool LineOrigins::Replace(const Window& w) {
  std::size_t first = w.first, oldEnd = first + w.before.size(), newEnd = first + w.after.size();
  if (origin_.size() != w.oldCount || oldEnd > w.oldCount || newEnd > w.newCount ||
      w.oldCount - oldEnd != w.newCount - newEnd) {
    return false;
  }
  std::vector<std::optional<std::size_t>> next(w.newCount);
  std::copy_n(origin_.begin(), first, next.begin());
  std::copy(origin_.begin() + static_cast<std::ptrdiff_t>(oldEnd), origin_.end(),
            next.begin() + static_cast<std::ptrdiff_t>(newEnd));
  // Indexes into the window's lines.
  std::size_t ob = 0, oe = w.before.size(), nb = 0, ne = w.after.size();
  auto keep = [&](std::size_t o, std::size_t n) { next[first + n] = origin_[first + o]; };
  auto matchFront = [&] {
    for (; ob < oe && nb < ne && w.before[ob] == w.after[nb]; ++ob, ++nb) keep(ob, nb);
  };
  auto matchBack = [&] {
    for (; ob < oe && nb < ne && w.before[oe - 1] == w.after[ne - 1]; --oe, --ne) {
      keep(oe - 1, ne - 1);
    }
  };
  if (w.headKept) {
    matchFront();
    matchBack();
  } else {
    matchBack();
    matchFront();
  }
  // What is left was rewritten: line for line as far as both sides go; the
  // rest of the old lines was deleted, the rest of the new ones is new.
  for (; ob < oe && nb < ne; ++ob, ++nb) keep(ob, nb);
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

JumpShift PlanJumpShift(const LineOrigins& origins, const facts::ScriptFacts& current) {
  JumpShift shift;
  if (!origins.LinesMoved()) return shift;
  std::vector<std::size_t> position = origins.Positions();
  auto baselineCount = static_cast<std::int64_t>(position.size());
  auto growth = static_cast<std::int64_t>(current.size()) - baselineCount;
  for (std::size_t i = 0; i < current.size(); ++i) {
    const facts::LineFacts& f = current[i];
    if (!f.jump) continue;
    if (!f.jumpTarget) {
      shift.computedJumps.push_back(i);
      continue;
    }
    std::int64_t target = *f.jumpTarget;
    if (target < 1 || !origins.UntouchedOrigin(f.raw, i)) continue;
    std::int64_t moved = target;
    if (target <= baselineCount) {
      moved = static_cast<std::int64_t>(position[static_cast<std::size_t>(target - 1)]) + 1;
    } else if (target <= std::numeric_limits<std::int64_t>::max() - std::max<std::int64_t>(growth, 0)) {
      moved = target + growth;  // past the end it was, past the end it stays
    }
    if (moved != target) shift.edits.push_back({i, current.SpanOf(i, current.Pieces(i)[1]), moved});
  }
  return shift;
}

std::string ApplyTargetEdits(const facts::ScriptFacts& current,
                             const std::vector<TargetEdit>& edits) {
  std::string text;
  auto edit = edits.begin();
  for (std::size_t i = 0; i < current.size(); ++i) {
    if (i > 0) text += '\n';
    std::string_view line = current[i].raw;
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
