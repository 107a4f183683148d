// The statement interpreter. A line runs one of two ways:
// - the reference path: prepare the text, rewrite its arithmetic, cut it and
//   route it to the first statement form it matches, remembering nothing;
// - the plan path: a script line that runs again is compiled once into a plan
//   (core/plan.h) that later runs execute.
// Both give the same output and effects; the Host chooses whether plans are
// made at all.
#include "core/line.h"

#include <new>
#include <stdexcept>

#include "core/classify.h"
#include "core/declarations.h"
#include "core/plan.h"
#include "core/plan_table.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/text.h"

namespace zarnith {

void PrepareLine(std::string_view raw, std::string& prepared) {
  // Most lines have nothing to change: copied whole up to the first byte that
  // may need it.
  static constexpr ByteSet kChanged("\n\t\\");
  std::size_t i = kChanged.Span(raw);
  prepared.clear();
  prepared.append(raw.data(), i);
  for (; i < raw.size(); ++i) {
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

void ClassifyAndRun(Interpreter& in, std::string_view text, LineMarks marks) {
  LineCut cut = ClassifyLine(text, in.pieces, in.words, marks);
  if (in.host.tracer) in.host.tracer->Routed(text, LineFormName(cut.form), in.pieces[0]);
  RunForm(in, cut, in.pieces, in.words);
}

}  // namespace

void ClassifyAndRun(Interpreter& in, std::string_view text) {
  ClassifyAndRun(in, text, LineMarks::kUnknown);
}

namespace {

// One pass over a raw line tells which operator characters it holds (their
// OperatorBit), whether it holds a byte that PrepareLine changes and whether
// it holds a comma or colon.
constexpr unsigned kNeedsPreparing = OperatorBit(kOperators.size());
constexpr unsigned kCommaOrColon = kNeedsPreparing << 1;

struct RawByteBits {
  constexpr RawByteBits() {
    for (std::size_t k = 0; k < kOperators.size(); ++k) {
      bits[static_cast<unsigned char>(kOperators[k])] = static_cast<std::uint8_t>(OperatorBit(k));
    }
    for (char c : std::string_view("\n\t\\")) bits[static_cast<unsigned char>(c)] = kNeedsPreparing;
    for (char c : std::string_view(",:")) bits[static_cast<unsigned char>(c)] = kCommaOrColon;
  }
  std::uint8_t bits[256] = {};
};

unsigned SurveyRawLine(std::string_view raw) {
  static constexpr RawByteBits kRawBytes;
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
  const std::size_t size = raw.size();
  unsigned found = 0;
  std::size_t i = 0;
  // Four bytes a step: every line of a script is surveyed.
  for (; i + 4 <= size; i += 4) {
    found |= kRawBytes.bits[bytes[i]] | kRawBytes.bits[bytes[i + 1]] |
             kRawBytes.bits[bytes[i + 2]] | kRawBytes.bits[bytes[i + 3]];
  }
  for (; i < size; ++i) found |= kRawBytes.bits[bytes[i]];
  return found;
}

// An assignment of one operation, `name = L OP R`, run as its rewritten text
// `name = <number>` would run, the number handed to the assignment rather
// than written into the line and read back. False, having done nothing, when
// the line has another shape. (A stored name that reads like a number would
// be found by the text instead.)
bool AssignOperation(Interpreter& in, std::string_view text, LineMarks marks) {
  if (LiteralNamesExist(in.stores)) return false;
  LineCut cut = ClassifyLine(text, in.pieces, in.words, marks);
  std::optional<AssignedOperation> a = AssignedOperationOf(text, cut);
  if (!a) return false;
  const TokenRef left = LookUpToken(in, a->operation.left);
  const TokenRef right = LookUpToken(in, a->operation.right);
  std::optional<std::int64_t> result = ComputeOperands(in, a->op, left, right);
  if (!result) {
    RunForm(in, cut, in.pieces, in.words);
    return true;
  }
  // `i = i+1`, the way counters count: looking up the left operand found the
  // target too (reading operands adds no name).
  std::string_view target = cut.three.first;
  const bool sameName = !left.returned && SameShortText(left.token, target);
  AssignValue(in, target, IntToken(*result), sameName ? &left.slot : nullptr);
  return true;
}

// Whether a line may skip writing its arithmetic into its text: not when every
// line must take the text's way (line plans off), nor when a tracer shows
// the text.
bool ArithmeticWithoutText(const Interpreter& in) { return in.host.linePlans && !in.host.tracer; }

[[gnu::noinline]] void RunReferencePath(Interpreter& in, std::string_view raw) {
  if (SkippedByGate(in, raw)) return;
  // Most lines have nothing to prepare and no operator character: they are
  // cut where they stand, without a copy.
  unsigned found = SurveyRawLine(raw);
  // Whether it holds a comma or colon is known of the raw text only.
  const LineMarks marks = found & kCommaOrColon ? LineMarks::kUnknown : LineMarks::kSpacesOnly;
  found &= ~kCommaOrColon;
  if (found == 0) return ClassifyAndRun(in, raw, marks);
  // Nothing to prepare and one kind of operator: perhaps `name = L OP R`.
  const bool oneOperatorKind = !(found & kNeedsPreparing) && (found & (found - 1)) == 0;
  if (oneOperatorKind && ArithmeticWithoutText(in) && AssignOperation(in, raw, marks)) return;
  if (found & kNeedsPreparing) {
    PrepareLine(raw, in.line);
  } else {
    in.line.assign(raw);
  }
  RewriteOperatorsPresent(in, in.line, found & ~kNeedsPreparing);
  ClassifyAndRun(in, in.line);
}

// Empty lines and comments do nothing at all.
bool Blank(std::string_view raw) {
  return raw.empty() || raw[0] == '#' || (raw.size() == 1 && raw[0] == '\n');
}

void RunUnplannedLine(Interpreter& in, std::string_view raw) {
  if (!Blank(raw)) RunReferencePath(in, raw);
}

void RunScriptLine(Interpreter& in, std::string_view raw) {
  if (Blank(raw)) return;
  if (Plan* plan = PlanForLine(in, static_cast<std::size_t>(in.lineIndex))) {
    return RunPlan(in, *plan);
  }
  RunReferencePath(in, raw);
}

// The one place where running out of memory is caught: the statement that
// needed the memory is abandoned and the script goes on.
template <void (*route)(Interpreter&, std::string_view)>
void CatchingOutOfMemory(Interpreter& in, std::string_view raw) {
  try {
    route(in, raw);
  } catch (const std::bad_alloc&) {
    PrintError(in, msg::kOutOfMemory);
  } catch (const std::length_error&) {
    PrintError(in, msg::kOutOfMemory);
  }
}

}  // namespace

void HandleString(Interpreter& in, std::string_view raw) {
  CatchingOutOfMemory<RunUnplannedLine>(in, raw);
}

void HandleScriptLine(Interpreter& in, std::string_view raw) {
  CatchingOutOfMemory<RunScriptLine>(in, raw);
}

}  // namespace zarnith
