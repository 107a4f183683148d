// Line and function breakpoints.
#include "dap/breakpoints.h"

#include <charconv>

#include "classes/registry.h"
#include "dap/state_view.h"
#include "values/split.h"

namespace zarnith::dap {

bool HitCondition::Matches(std::int64_t hits) const {
  switch (op) {
    case Op::kAlways: return true;
    case Op::kEqual: return hits == count;
    case Op::kGreater: return hits > count;
    case Op::kAtLeast: return hits >= count;
    case Op::kLess: return hits < count;
    case Op::kAtMost: return hits <= count;
    case Op::kEvery: return hits % count == 0;
  }
  return false;
}

std::optional<HitCondition> ParseHitCondition(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return HitCondition{};
  static constexpr std::pair<std::string_view, HitCondition::Op> kOps[] = {
      {">=", HitCondition::Op::kAtLeast}, {"<=", HitCondition::Op::kAtMost},
      {"==", HitCondition::Op::kEqual},   {">", HitCondition::Op::kGreater},
      {"<", HitCondition::Op::kLess},     {"%", HitCondition::Op::kEvery}};
  HitCondition hit{HitCondition::Op::kEqual, 0};
  for (const auto& [prefix, op] : kOps) {
    if (text.starts_with(prefix)) {
      hit.op = op;
      text.remove_prefix(prefix.size());
      break;
    }
  }
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), hit.count);
  if (error != std::errc() || end != text.data() + text.size() || hit.count < 0) return std::nullopt;
  if (hit.op == HitCondition::Op::kEvery && hit.count == 0) return std::nullopt;
  return hit;
}

void Breakpoints::Load(const facts::ScriptFacts& script, std::vector<std::string> noStatement) {
  script_ = &script;
  lines_ = script.lines();
  noStatement_ = std::move(noStatement);
  noStatement_.resize(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view raw = lines_[i];
    if (raw.empty() || raw == "\r") noStatement_[i] = "an empty line runs no statement";
    if (!raw.empty() && raw[0] == '#') noStatement_[i] = "a comment runs no statement";
  }
  lineOf_.assign(lines_.size(), -1);
  functionOf_.assign(lines_.size(), 0);
  Mark();
}

std::vector<BreakpointState> Breakpoints::SetLines(const std::vector<LineBreakpointRequest>& requests) {
  std::vector<BreakpointState> states;
  lineBreakpoints_.clear();
  lineOf_.assign(lines_.size(), -1);
  for (const LineBreakpointRequest& r : requests) {
    BreakpointState state{nextId_++, false, r.line, {}};
    std::optional<HitCondition> hit = ParseHitCondition(r.hitCondition);
    auto at = static_cast<std::size_t>(r.line);
    if (r.line < 0 || at >= lines_.size()) {
      state.message = "the script has " + std::to_string(lines_.size()) + " lines";
    } else if (!noStatement_[at].empty()) {
      state.message = noStatement_[at];
    } else if (std::optional<std::string> problem =
                   r.condition.empty() ? std::nullopt : ConditionProblem(r.condition)) {
      state.message = *problem;
    } else if (!hit) {
      state.message = "a hit count is a number, or one of == > >= < <= % and a number, such as >= 3";
    } else {
      state.verified = true;
      lineOf_[at] = static_cast<std::int64_t>(lineBreakpoints_.size());
      lineBreakpoints_.push_back(
          {state.id, r.condition, *hit, r.logMessage, !r.logMessage.empty(), 0});
    }
    states.push_back(std::move(state));
  }
  Mark();
  return states;
}

std::vector<BreakpointState> Breakpoints::SetFunctions(Interpreter& in,
                                                       const std::vector<std::string>& names) {
  std::vector<BreakpointState> states;
  functions_.clear();
  for (const std::string& name : names) {
    BreakpointState state{nextId_++, false, -1, {}};
    std::optional<ClassCall> call = SplitClassCall(name);
    Class* entry = call ? FindClass(in, call->className) : nullptr;
    if (!call || call->className.empty() || call->command.empty()) {
      state.message = "a function breakpoint names a class command, such as fs:open";
    } else if (!entry) {
      state.message = "there is no class named " + std::string(call->className);
    } else {
      bool known = entry->commands.empty();
      for (const ClassCommand& command : entry->commands) known = known || command.name == call->command;
      if (known) {
        state.verified = true;
        functions_.push_back({state.id, std::string(call->className) + ":" + std::string(call->command)});
      } else {
        state.message = "the class " + std::string(call->className) + " has no command " +
                        std::string(call->command);
      }
    }
    states.push_back(std::move(state));
  }
  // The command a line calls, as the interpreter cuts the line.
  functionOf_.assign(lines_.size(), 0);
  for (std::size_t i = 0; i < lines_.size() && !functions_.empty(); ++i) {
    if (!noStatement_[i].empty() || (*script_)[i].shape.form != LineForm::kClassCall) continue;
    std::optional<ClassCall> call = SplitClassCall(script_->Pieces(i)[0]);
    if (!call) continue;
    for (const Function& f : functions_) {
      std::string_view name = f.name;
      if (name.substr(0, name.find(':')) == call->className &&
          name.substr(name.find(':') + 1) == call->command) {
        functionOf_[i] = f.id;
      }
    }
  }
  Mark();
  return states;
}

LineBreakpoint* Breakpoints::LineAt(std::int64_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= lineOf_.size()) return nullptr;
  std::int64_t at = lineOf_[static_cast<std::size_t>(index)];
  return at < 0 ? nullptr : &lineBreakpoints_[static_cast<std::size_t>(at)];
}

int Breakpoints::FunctionAt(std::int64_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= functionOf_.size()) return 0;
  return functionOf_[static_cast<std::size_t>(index)];
}

void Breakpoints::Mark() {
  flags_.assign(lines_.size(), 0);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lineOf_[i] >= 0) flags_[i] |= kLine;
    if (functionOf_[i] != 0) flags_[i] |= kFunction;
  }
}

}  // namespace zarnith::dap
