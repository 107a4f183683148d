// The statement interpreter: prepares a line, rewrites its arithmetic, cuts it
// into pieces and words, and routes it to the first statement form it matches.
// What depends only on a line's text is worked out once per distinct line
// and kept in the interpreter's line cache (core/line_cache.h).
#include "core/line.h"

#include <new>
#include <stdexcept>

#include "classes/registry.h"
#include "core/declarations.h"
#include "core/split.h"
#include "core/statements.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/messages.h"
#include "values/report.h"

namespace zarnith {

void PrepareLine(std::string_view raw, std::string& prepared) {
  prepared.clear();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\n' || c == '\t') continue;
    // Backslash-n becomes a line feed; removed line feeds and tabs between
    // the two characters do not stop them from pairing.
    if (c == 'n' && !prepared.empty() && prepared.back() == '\\') {
      prepared.back() = '\n';
      continue;
    }
    prepared.push_back(c);
  }
}

namespace {

// The test build that checks the cache against the plain path compiles it out.
#ifdef ZARNITH_NO_LINE_CACHE
constexpr bool kReuseLines = false;
#else
constexpr bool kReuseLines = true;
#endif

constexpr char kOperators[4] = {'+', '-', '*', '/'};

struct Views {
  std::vector<std::string_view>& pieces;
  std::vector<std::string_view>& words;
  ThreeWords three;
};

// Cuts a prepared text into its views and picks its statement form: the
// first that matches, in the fixed order of the language.
LineForm Classify(std::string_view text, Views& v, StatementFn& statement) {
  v.words.clear();
  v.three = {};
  SplitPieces(text, v.pieces);
  if (v.pieces[0].find(':') != std::string_view::npos) return LineForm::kClassCall;
  v.three = SplitThree(text);
  if (v.three.count == 3 && v.three.first == "array") return LineForm::kArray;
  if (v.three.count == 3 && v.three.second == "=") return LineForm::kAssign;
  SplitWords(text, v.words);
  if (IsBlockKeyword(v.words[0])) return LineForm::kBlock;
  statement = FindStatement(v.pieces[0]);
  return statement ? LineForm::kStatement : LineForm::kNothing;
}

void Run(Interpreter& in, LineForm form, StatementFn statement, std::span<std::string_view> pieces,
         const ThreeWords& three, std::span<const std::string_view> words) {
  switch (form) {
    case LineForm::kClassCall: ClassHandle(in, pieces); return;
    case LineForm::kArray: DeclareArray(in, three.second, three.rest); return;
    case LineForm::kAssign: Assign(in, three.first, three.rest); return;
    case LineForm::kBlock: IfHandle(in, words); return;
    case LineForm::kStatement: statement(in, pieces); return;
    case LineForm::kNothing: return;
  }
}

// A prepared and rewritten text, cut and routed as it stands.
void RouteText(Interpreter& in, std::string_view text) {
  Views v{in.pieces, in.words, {}};
  StatementFn statement = nullptr;
  LineForm form = Classify(text, v, statement);
  Run(in, form, statement, v.pieces, v.three, v.words);
}

void Build(PreparedLine& p, std::string_view raw) {
  p.built = true;
  p.raw.assign(raw);
  p.blockKeyword = IsBlockKeyword(raw.substr(0, raw.find(' ')));
  PrepareLine(raw, p.text);
  p.hasOperator = false;
  for (std::size_t k = 0; k < 4; ++k) {
    std::size_t at = p.text.find(kOperators[k]);
    p.operations[k] = at == std::string::npos ? OperationPlan{} : PlanOperation(p.text, at);
    p.hasOperator |= p.operations[k].present;
  }
  Views v{p.pieces, p.words, {}};
  p.statement = nullptr;
  p.form = Classify(p.text, v, p.statement);
  p.three = v.three;
  p.memos.assign(std::min(p.text.size() + 1, PreparedLine::kMemoOffsets), TokenMemo{});
}

// The cache entry of a line: by its index in the script, or the shared one.
// Null the first time a line is seen there.
PreparedLine* LineFor(Interpreter& in, std::string_view raw) {
  LineCache& cache = in.lineCache;
  CacheSlot* slot = &cache.other;
  if (in.lineIndex >= 0) {
    auto i = static_cast<std::size_t>(in.lineIndex);
    // Grows as a script runs; a far jump in the shell uses the shared slot.
    if (i >= cache.byIndex.size() && i < 2 * cache.byIndex.size() + 1024) {
      cache.byIndex.resize(i + 1);
    }
    if (i < cache.byIndex.size()) slot = &cache.byIndex[i];
  }
  if (!slot->line) {
    bool again = slot->seenAt == raw.data() && slot->seenSize == raw.size();
    slot->seenAt = raw.data();
    slot->seenSize = raw.size();
    if (!again) return nullptr;
    slot->line = std::make_unique<PreparedLine>();
  }
  PreparedLine& p = *slot->line;
  if (!p.built || p.raw != raw) Build(p, raw);
  return &p;
}

// Marks the line that runs, so lookups of its tokens are remembered; cleared
// however the line ends.
class RunningLine {
 public:
  RunningLine(LineCache& cache, PreparedLine& line) : cache_(cache) { cache_.current = &line; }
  ~RunningLine() {
    cache_.current = nullptr;
    cache_.rewritten = nullptr;
  }
  RunningLine(const RunningLine&) = delete;
  RunningLine& operator=(const RunningLine&) = delete;

 private:
  LineCache& cache_;
};

// The arithmetic rewriting over a cached line: the planned operations are
// evaluated while the text is unchanged; once one has rewritten it, the rest
// are found in the rewritten copy (in.line). True when the text changed.
bool RewriteCached(Interpreter& in, const PreparedLine& p) {
  LineCache& cache = in.lineCache;
  bool changed = false;
  bool negative = false;
  for (std::size_t k = 0; k < 4; ++k) {
    const char op = kOperators[k];
    if (changed) {
      // The copy holds the text's characters and the result's digits.
      if (!p.operations[k].present && !(op == '-' && negative)) continue;
      std::size_t at = in.line.find(op);
      // After a second rewrite the copy no longer maps onto the text.
      if (at != std::string::npos && Math(in, static_cast<std::int64_t>(at), in.line)) {
        cache.rewritten = nullptr;
      }
      continue;
    }
    const OperationPlan& plan = p.operations[k];
    char digits[20];
    std::size_t length = plan.present ? EvaluateOperation(in, op, plan, digits) : 0;
    if (length == 0) continue;
    std::size_t oldSize = plan.left.size() + 1 + plan.right.size();
    in.line.assign(p.text);
    in.line.replace(plan.patternAt, oldSize, digits, length);
    cache.rewritten = &in.line;
    cache.at = plan.patternAt;
    cache.oldSize = oldSize;
    cache.newSize = length;
    cache.plainOperation = plan.plainPattern;
    negative = digits[0] == '-';
    changed = true;
  }
  return changed;
}

// The cached views moved onto the once-rewritten copy: a view before the
// operation keeps its place, one after it moves by the change in length, and
// the one holding the operation grows or shrinks with it.
std::string_view Shifted(std::string_view view, const PreparedLine& p, const LineCache& cache,
                         const std::string& copy) {
  auto offset = static_cast<std::size_t>(view.data() - p.text.data());
  std::size_t size = view.size();
  if (offset >= cache.at + cache.oldSize) {
    offset = offset - cache.oldSize + cache.newSize;
  } else if (offset + size > cache.at) {
    size = size - cache.oldSize + cache.newSize;
  }
  return std::string_view(copy).substr(offset, size);
}

// Routes the rewritten copy with the line's own form when the rewriting
// cannot have changed it: the replaced operation held no comma, space or
// colon (a number holds none either), so every piece and word keeps its
// place, and no keyword, "=" or "array" can appear or vanish (an operation
// holds an operator character, a number a digit). False otherwise.
bool RouteShifted(Interpreter& in, const PreparedLine& p) {
  const LineCache& cache = in.lineCache;
  if (!cache.rewritten || !cache.plainOperation) return false;
  const std::string& copy = in.line;
  auto shift = [&](std::string_view view) { return Shifted(view, p, cache, copy); };
  // Only the views that the line's form reads were made.
  in.pieces.clear();
  in.words.clear();
  ThreeWords three;
  if (p.form == LineForm::kClassCall || p.form == LineForm::kStatement) {
    for (std::string_view piece : p.pieces) in.pieces.push_back(shift(piece));
  } else if (p.form == LineForm::kArray || p.form == LineForm::kAssign) {
    three = {shift(p.three.first), shift(p.three.second), shift(p.three.rest), 3};
  } else if (p.form == LineForm::kBlock) {
    for (std::string_view word : p.words) in.words.push_back(shift(word));
  }
  Run(in, p.form, p.statement, in.pieces, three, in.words);
  return true;
}

// A line prepared afresh, with nothing kept.
void RoutePlain(Interpreter& in, std::string_view raw) {
  if (SkippedByGate(in, raw)) return;
  PrepareLine(raw, in.line);
  RewriteArithmetic(in, in.line);
  RouteText(in, in.line);
}

void RouteLine(Interpreter& in, std::string_view raw) {
  if (raw.empty() || raw == "\n" || raw[0] == '#') return;
  if constexpr (!kReuseLines) return RoutePlain(in, raw);
  PreparedLine* cached = LineFor(in, raw);
  if (!cached) return RoutePlain(in, raw);
  PreparedLine& p = *cached;
  // The same test as SkippedByGate, with the first word looked at once.
  if (in.ifInfo.enabled && !in.ifInfo.result && !p.blockKeyword) return;
  RunningLine running(in.lineCache, p);
  if (p.hasOperator && RewriteCached(in, p)) {
    if (!RouteShifted(in, p)) RouteText(in, in.line);
    return;
  }
  if (p.form == LineForm::kClassCall) {
    // The dispatch writes the command name over piece 0: give it a copy.
    in.pieces.assign(p.pieces.begin(), p.pieces.end());
    return Run(in, p.form, p.statement, in.pieces, p.three, p.words);
  }
  Run(in, p.form, p.statement, p.pieces, p.three, p.words);
}

}  // namespace

void HandleString(Interpreter& in, std::string_view raw) {
  // The one place where running out of memory is caught: the statement that
  // needed the memory is abandoned and the script goes on.
  try {
    RouteLine(in, raw);
  } catch (const std::bad_alloc&) {
    PrintError(in, msg::kOutOfMemory);
  } catch (const std::length_error&) {
    PrintError(in, msg::kOutOfMemory);
  }
}

}  // namespace zarnith
