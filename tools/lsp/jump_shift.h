// Keeping jump targets right while lines are inserted and deleted. The
// document remembers its text as it was when its targets were last right
// (the baseline) and, for each current line, the baseline line it came from.
// Jump targets are line numbers, so once lines moved, every literal target on
// a line the user did not touch is shifted to where its line went.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "facts/script_facts.h"

namespace zarnith::lsp {

// One edit of a document: the byte range [from, to) of its text replaced by
// `text`.
struct LineEdit {
  std::size_t from = 0, to = 0;
  std::string_view text;
};

class LineOrigins {
 public:
  // The text's targets are right as they stand.
  void Reset(std::string_view text);
  // Follows one edit; `before` and `after` are the whole text around it.
  void Follow(std::string_view before, const LineEdit& edit, std::string_view after);
  // Follows a replacement of the whole text.
  void FollowWhole(std::string_view before, std::string_view after);

  std::size_t BaselineLines() const { return baselineLines_.size(); }
  // The baseline line current line `i` came from, when its text is unchanged.
  std::optional<std::size_t> UntouchedOrigin(std::string_view line, std::size_t i) const;
  // Where each baseline line stands now; a deleted line is where the next
  // line that is left stands.
  std::vector<std::size_t> Positions() const;
  // True when some baseline line is no longer at its number.
  bool LinesMoved() const;

 private:
  // The lines an edit touched: `before` were lines from `first` on of a text
  // of `oldCount` lines, `after` stand there in a text of `newCount` lines.
  struct Window {
    std::size_t first = 0;
    std::vector<std::string_view> before, after;
    std::size_t oldCount = 0, newCount = 0;
    bool headKept = false;  // the edit began after the start of line `first`
  };
  // False, with nothing changed, when the window does not fit the texts.
  bool Replace(const Window& w);

  std::string baseline_;
  std::vector<std::string_view> baselineLines_;
  std::vector<std::optional<std::size_t>> origin_;  // per current line
};

struct TargetEdit {
  std::size_t line = 0;   // the jump's line, 0-based
  facts::ByteSpan span;   // its target as written
  std::int64_t target = 0;
};

struct JumpShift {
  std::vector<TargetEdit> edits;
  std::vector<std::size_t> computedJumps;  // lines of jumps whose target is computed
};

// The target edits that keep the document's untouched literal jumps on the
// lines they jumped to in the baseline.
JumpShift PlanJumpShift(const LineOrigins& origins, const facts::ScriptFacts& current);

// The text with the edits made (for the new baseline).
std::string ApplyTargetEdits(const facts::ScriptFacts& current,
                             const std::vector<TargetEdit>& edits);

}  // namespace zarnith::lsp
