// The plan table: the plans of the running script's lines, found by line
// index. A line is planned the second time it runs, so code that runs once
// costs no plan.
#pragma once

#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

struct Plan;

// While it lives, the lines of one script (which must not change meanwhile)
// are planned when they run a second time, if the Host allows plans; the
// plans go with it.
class ScriptPlans {
 public:
  ScriptPlans(Interpreter& in, std::span<const std::string_view> lines);
  ~ScriptPlans();
  ScriptPlans(const ScriptPlans&) = delete;
  ScriptPlans& operator=(const ScriptPlans&) = delete;

 private:
  Interpreter& in_;
};

// The plan of script line `index`, which runs now: null for its first run,
// when no script's plans are open, and when there is no memory for a plan.
Plan* PlanForLine(Interpreter& in, std::size_t index);

}  // namespace zarnith
