// if / elif / else / end. There is one record and no stack: an if inside a
// branch replaces the chain rather than nesting in it, which scripts rely on.
#include "values/conditions.h"

#include <optional>

#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/types.h"

namespace zarnith {

bool IsBlockKeyword(std::string_view word) {
  return word == "if" || word == "elif" || word == "else" || word == "end";
}

bool SkippedByGate(const Interpreter& in, std::string_view rawLine) {
  if (!in.ifInfo.enabled || in.ifInfo.result) return false;
  return !IsBlockKeyword(rawLine.substr(0, rawLine.find(' ')));
}

std::optional<bool> CompareNumbers(std::string_view op, std::int64_t a, std::int64_t b) {
  if (op == "<") return a < b;
  if (op == ">") return a > b;
  if (op == "==") return a == b;
  if (op == "!=") return a != b;
  return std::nullopt;
}

std::optional<bool> CompareTexts(std::string_view op, std::string_view a, std::string_view b) {
  if (op == "==") return a == b;
  if (op == "!=") return a != b;
  return std::nullopt;
}

void EndBranch(Interpreter& in, std::string_view keyword) {
  in.ifInfo.result = false;
  in.ifInfo.lastCond = keyword;
}

void OpenBranch(Interpreter& in, std::string_view keyword, bool truth) {
  in.ifInfo = {.enabled = true, .lastCond = keyword, .result = truth, .skiping = !truth};
}

namespace {

std::optional<bool> CompareInts(Interpreter& in, std::string_view left, std::string_view op,
                                std::string_view right) {
  auto number = [&in](std::string_view token) {
    Value v = IfVariableReplaceIt(in, token);
    auto* n = std::get_if<std::int64_t>(&v);
    return n ? *n : 0;
  };
  std::int64_t a = number(left);
  std::int64_t b = number(right);
  return CompareNumbers(op, a, b);
}

std::optional<bool> CompareStrings(Interpreter& in, std::string_view left, std::string_view op,
                                   std::string_view right) {
  std::string a = ResolveText(in, left);
  std::string b = ResolveText(in, right);
  return CompareTexts(op, a, b);
}

void IfOrElif(Interpreter& in, std::span<const std::string_view> words) {
  ifInfoType& info = in.ifInfo;
  std::string_view keyword = words[0] == "if" ? "if" : "elif";
  // A line with no right operand to read is treated like a missing condition.
  bool runningBranch = RunningBranch(info);
  if (words.size() < 3 || (words.size() == 3 && !runningBranch)) {
    PrintError(in, msg::kMissedCondition);
    return;
  }
  if (runningBranch) return EndBranch(in, keyword);
  std::string_view leftType = GetTypeEx(in, words[1]);
  std::string_view rightType = GetTypeEx(in, words[3]);
  if (leftType != rightType) {
    PrintError(in, msg::kCompareMismatch);
    return;
  }
  std::optional<bool> truth;
  if (leftType == type::kInt) truth = CompareInts(in, words[1], words[2], words[3]);
  if (leftType == type::kString) truth = CompareStrings(in, words[1], words[2], words[3]);
  if (!truth) return;
  if (in.host.tracer) in.host.tracer->Condition(*truth);
  OpenBranch(in, keyword, *truth);
}

}  // namespace

void ElseHandle(Interpreter& in) {
  ifInfoType& info = in.ifInfo;
  bool runs = info.skiping && (info.lastCond == "if" || info.lastCond == "elif");
  info = {.enabled = true, .lastCond = "else", .result = runs, .skiping = !runs};
}

void EndHandle(Interpreter& in) { in.ifInfo = ifInfoType{}; }

void IfHandle(Interpreter& in, std::span<const std::string_view> words) {
  if (words[0] == "else") return ElseHandle(in);
  if (words[0] == "end") return EndHandle(in);
  IfOrElif(in, words);
}

}  // namespace zarnith
