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
#include "core/plan.h"
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

void RouteText(Interpreter& in, std::string_view text) {
  LineShape shape = ClassifyLine(text, in.pieces, in.words);
  if (in.host.tracer) in.host.tracer->Routed(text, LineFormName(shape.form), in.pieces[0]);
  RunLine(in, shape, in.pieces, in.words);
}

// The plans of the running script, by line index. A line is planned the
// second time it runs, so code that runs once costs no plan.
struct LinePlans {
  std::span<const std::string_view> lines;
  std::vector<std::unique_ptr<Plan>> plans;  // grow as the script reaches further lines
  std::vector<bool> seen;
};

void LinePlansDeleter::operator()(LinePlans* plans) const { delete plans; }

ScriptPlans::ScriptPlans(Interpreter& in, std::span<const std::string_view> lines) : in_(in) {
  if (!in.host.linePlans) return;
  in.plans.reset(new (std::nothrow) LinePlans{lines, {}, {}});
}

ScriptPlans::~ScriptPlans() { in_.plans.reset(); }

namespace {

// Notes a run of a script line that has no plan yet, and plans it when it
// runs for the second time. Without memory for a plan the line takes the
// reference path.
[[gnu::noinline]] Plan* PlanAgain(Interpreter& in, LinePlans& table, std::size_t i,
                                   std::string_view raw) try {
  if (i >= table.lines.size() || table.lines[i].data() != raw.data()) return nullptr;
  if (i >= table.plans.size()) {
    std::size_t size = std::min(table.lines.size(), std::max(i + 1, 2 * table.plans.size()));
    table.plans.resize(size);
    table.seen.resize(size);
  }
  if (!table.seen[i]) {
    table.seen[i] = true;
    return nullptr;
  }
  table.plans[i] = CompilePlan(in, raw);
  return table.plans[i].get();
} catch (const std::bad_alloc&) {
  return nullptr;
} catch (const std::length_error&) {
  return nullptr;
}

// The plan of the script line that runs now; null for its first run and for
// lines that are not the script's (the shell's, a test's).
inline Plan* PlanFor(Interpreter& in, std::string_view raw) {
  LinePlans* table = in.plans.get();
  if (!table) return nullptr;
  auto i = static_cast<std::size_t>(in.lineIndex);
  if (i < table->plans.size() && table->plans[i] && table->plans[i]->raw == raw.data()) {
    return table->plans[i].get();
  }
  return PlanAgain(in, *table, i, raw);
}

[[gnu::noinline]] void RouteReference(Interpreter& in, std::string_view raw) {
  if (SkippedByGate(in, raw)) return;
  PrepareLine(raw, in.line);
  RewriteArithmetic(in, in.line);
  RouteText(in, in.line);
}

void RouteLine(Interpreter& in, std::string_view raw) {
  if (raw.empty() || raw[0] == '#' || (raw.size() == 1 && raw[0] == '\n')) return;
  if (Plan* plan = PlanFor(in, raw)) return RunPlan(in, *plan);
  RouteReference(in, raw);
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
