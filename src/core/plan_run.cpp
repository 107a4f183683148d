// Running a planned line: the dedicated step when its conditions hold, or
// else the general step, which is the reference path over the planned text.
#include "classes/registry.h"
#include "core/line.h"
#include "core/plan.h"
#include "core/statements.h"
#include "values/conditions.h"
#include "values/report.h"

namespace zarnith {

namespace {

// The value side of an assignment as an integer, when it is one: an int
// operand, or an operation whose number, once written into the line, reads
// as a number (no variable is named like one).
bool IntValue(Interpreter& in, Plan& p, std::int64_t& value) {
  if (!ReadInt(in, p.left, value)) return false;
  if (!p.op) return true;
  std::int64_t right;
  if (!ReadInt(in, p.right, right)) return false;
  std::optional<std::int64_t> result = ComputeOperation(p.op, value, right);
  if (!result || LiteralNamesExist(in.stores)) return false;
  value = *result;
  return true;
}

bool StepAssign(Interpreter& in, Plan& p) {
  const NameSlot& target = SlotOf(in, p.target);
  std::int64_t number;
  if (IntValue(in, p, number)) {
    // A new name, or a name of another type: the statement decides.
    if (!target.intVar) return false;
    *target.intVar = number;
    return true;
  }
  Text text;
  if (p.op || !target.stringVar || !ReadShared(in, p.left, text)) return false;
  *target.stringVar = std::move(text);
  return true;
}

bool StepAssignItem(Interpreter& in, Plan& p) {
  const NameSlot& array = SlotOf(in, p.target);
  if (std::int64_t* item = ElementOf(p.target, array.intArray)) {
    std::int64_t number;
    if (!IntValue(in, p, number)) return false;
    *item = number;
    return true;
  }
  std::string* item = ElementOf(p.target, array.stringArray);
  std::string_view text;
  if (p.op || !item || !ReadView(in, p.left, text)) return false;
  item->assign(text);
  return true;
}

bool StepCompare(Interpreter& in, Plan& p) {
  if (RunningBranch(in.ifInfo)) {
    EndBranch(in, p.keyword);
    return true;
  }
  std::optional<bool> truth;
  std::int64_t a, b;
  std::string_view x, y;
  if (ReadInt(in, p.left, a) && ReadInt(in, p.right, b)) {
    truth = CompareNumbers(p.comparison, a, b);
  } else if (ReadView(in, p.left, x) && ReadView(in, p.right, y)) {
    truth = CompareTexts(p.comparison, x, y);
  }
  if (!truth) return false;
  OpenBranch(in, p.keyword, *truth);
  return true;
}

bool StepJump(Interpreter& in, Plan& p) {
  std::int64_t target;
  return ReadInt(in, p.left, target) && JumpToLine(in, target);
}

bool StepPrint(Interpreter& in, Plan& p) {
  std::string_view text;
  // A quoted literal prints as itself, whatever the stores hold.
  if (p.left.stringLiteral) {
    text = p.left.bare.view();
  } else if (!ReadView(in, p.left, text)) {
    return false;
  }
  in.host.out.Write(text);
  if (p.lineFeed) in.host.out.Put('\n');
  return true;
}

bool StepAppend(Interpreter& in, Plan& p) {
  Text joined;
  std::string_view more;
  if (!ReadShared(in, p.left, joined) || !ReadView(in, p.right, more)) return false;
  AppendToReturned(in, std::move(joined), more);
  return true;
}

bool StepElse(Interpreter& in, Plan&) {
  ElseHandle(in);
  return true;
}

bool StepEnd(Interpreter& in, Plan&) {
  EndHandle(in);
  return true;
}

// One function a step, in the order of Step; each returns false, having
// done nothing, when one of its conditions does not hold.
using StepFn = bool (*)(Interpreter&, Plan&);
constexpr StepFn kSteps[] = {nullptr,        StepAssign, StepAssignItem, StepCompare, StepElse,
                             StepEnd,        StepJump,   StepPrint,      StepAppend};

// The rewriting of the planned text: the planned operations are evaluated
// while the text stands as it is; once one has rewritten it, the rest are
// applied to the rewritten copy in in.line, as the reference path does. True
// when the text changed.
bool Rewrite(Interpreter& in, const Plan& p) {
  for (std::size_t k = 0; k < kOperators.size(); ++k) {
    IntDigits digits;
    std::string_view result = EvaluateOperation(in, kOperators[k], p.operations[k], digits);
    if (result.empty()) continue;
    in.line.assign(p.text);
    SpliceResult(in.line, p.operations[k], result);
    RewriteArithmeticFrom(in, in.line, k + 1);
    return true;
  }
  return false;
}

void CallPlannedClass(Interpreter& in, Plan& p) {
  bool found = p.classIndex < in.classes.size() && in.classes[p.classIndex].prefix == p.className;
  Class* entry = found ? &in.classes[p.classIndex] : FindClass(in, p.className);
  CallClass(in, entry, p.callArgs);
}

// The general step (kept out of RunPlan, which runs for every planned line):
// the line's text rewritten as the reference path rewrites
// it; unchanged, it runs with the planned views, and changed, it is cut and
// routed afresh.
[[gnu::noinline]] void RunGeneral(Interpreter& in, Plan& p) {
  if (p.rewritable && Rewrite(in, p)) return ClassifyAndRun(in, in.line);
  if (p.cut.form == LineForm::kClassCall) return CallPlannedClass(in, p);
  RunForm(in, p.cut, p.pieces, p.words);
}

}  // namespace

void RunPlan(Interpreter& in, Plan& p) {
  // The gate: inside a branch that does not run, only block keywords pass.
  if (in.ifInfo.enabled && !in.ifInfo.result && !p.blockKeyword) return;
  if (p.step != Step::kGeneral && kSteps[static_cast<int>(p.step)](in, p)) return;
  RunGeneral(in, p);
}

}  // namespace zarnith
