// The debugger's breakpoints: on lines (with a condition, a hit count or a
// log message), on class commands, and which lines each one stops before.
// Lines are 0-based indices of the script's lines here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "facts/script_facts.h"
#include "state/interpreter.h"

namespace zarnith::dap {

// When a breakpoint's hits make it stop: "5" or "==5", ">5", ">=5", "<5",
// "<=5", "%5" (every fifth hit).
struct HitCondition {
  enum class Op { kAlways, kEqual, kGreater, kAtLeast, kLess, kAtMost, kEvery } op = Op::kAlways;
  std::int64_t count = 0;
  bool Matches(std::int64_t hits) const;
};
std::optional<HitCondition> ParseHitCondition(std::string_view text);

struct LineBreakpointRequest {
  std::int64_t line = 0;
  std::string condition, hitCondition, logMessage;
};

// What the client is told about a breakpoint.
struct BreakpointState {
  int id = 0;
  bool verified = false;
  std::int64_t line = -1;  // -1 for a function breakpoint
  std::string message;     // why it is not verified
};

struct LineBreakpoint {
  int id = 0;
  std::string condition;
  HitCondition hit;
  std::string logMessage;
  bool logs = false;
  std::int64_t hits = 0;
};

class Breakpoints {
 public:
  // The script's facts, which must outlive the breakpoints; the lines that
  // run no statement and why, from the checker (comments and blank lines are
  // known here).
  void Load(const facts::ScriptFacts& script, std::vector<std::string> noStatement);

  std::vector<BreakpointState> SetLines(const std::vector<LineBreakpointRequest>& requests);
  // Breakpoints named class:command, checked against the class registry.
  std::vector<BreakpointState> SetFunctions(Interpreter& in, const std::vector<std::string>& names);

  // Whether anything is set on the line at `index` (the quick test).
  bool AnyAt(std::int64_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < flags_.size() &&
           flags_[static_cast<std::size_t>(index)] != 0;
  }
  LineBreakpoint* LineAt(std::int64_t index);
  // The id of a function breakpoint on a command the line calls, or 0.
  int FunctionAt(std::int64_t index) const;

 private:
  static constexpr std::uint8_t kLine = 1, kFunction = 2;
  void Mark();

  const facts::ScriptFacts* script_ = nullptr;
  std::span<const std::string_view> lines_;
  std::vector<std::string> noStatement_;  // per line; empty when it runs one
  std::vector<std::uint8_t> flags_;
  std::vector<std::int64_t> lineOf_;     // per line: its index in lineBreakpoints_, or -1
  std::vector<LineBreakpoint> lineBreakpoints_;
  std::vector<int> functionOf_;           // per line: the function breakpoint's id, or 0
  struct Function {
    int id;
    std::string name;
  };
  std::vector<Function> functions_;
  int nextId_ = 1;
};

}  // namespace zarnith::dap
