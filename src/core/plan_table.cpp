// The plan table, by line index.
#include "core/plan_table.h"

#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "core/plan.h"

namespace zarnith {

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
[[gnu::noinline]] Plan* PlanAgain(Interpreter& in, LinePlans& table, std::size_t i) try {
  if (i >= table.lines.size()) return nullptr;
  if (i >= table.plans.size()) {
    std::size_t size = std::min(table.lines.size(), std::max(i + 1, 2 * table.plans.size()));
    table.plans.resize(size);
    table.seen.resize(size);
  }
  if (!table.seen[i]) {
    table.seen[i] = true;
    return nullptr;
  }
  table.plans[i] = CompilePlan(in, table.lines[i]);
  return table.plans[i].get();
} catch (const std::bad_alloc&) {
  return nullptr;
} catch (const std::length_error&) {
  return nullptr;
}

}  // namespace

Plan* PlanForLine(Interpreter& in, std::size_t index) {
  LinePlans* table = in.plans.get();
  if (!table) return nullptr;
  if (index < table->plans.size() && table->plans[index]) return table->plans[index].get();
  return PlanAgain(in, *table, index);
}

}  // namespace zarnith
