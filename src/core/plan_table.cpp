// The plan table, by line index.
#include "core/plan_table.h"

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "core/plan.h"

namespace zarnith {

struct LinePlans {
  std::span<const std::string_view> lines;
  // One entry a line, made when the script starts: looking a line up is one
  // index, with no growing on the way.
  std::vector<std::unique_ptr<Plan>> plans;
  std::vector<std::uint8_t> seen;  // the line has run once without a plan
};

void LinePlansDeleter::operator()(LinePlans* plans) const { delete plans; }

ScriptPlans::ScriptPlans(Interpreter& in, std::span<const std::string_view> lines) : in_(in) {
  if (!in.host.linePlans) return;
  // Without memory for the table every line takes the reference path.
  try {
    auto table = std::make_unique<LinePlans>();
    table->lines = lines;
    table->plans.resize(lines.size());
    table->seen.resize(lines.size());
    in.plans.reset(table.release());
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

ScriptPlans::~ScriptPlans() { in_.plans.reset(); }

namespace {

// Plans line `i` on its second run. Without memory for a plan the line
// takes the reference path.
[[gnu::noinline]] Plan* PlanSecondRun(Interpreter& in, LinePlans& table, std::size_t i) try {
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
  if (!table || index >= table->plans.size()) return nullptr;
  if (Plan* plan = table->plans[index].get()) return plan;
  // A line's first run only notes it.
  if (!table->seen[index]) {
    table->seen[index] = 1;
    return nullptr;
  }
  return PlanSecondRun(in, *table, index);
}

}  // namespace zarnith
