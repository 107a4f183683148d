// Compiling a script line into a plan: the reference path's preparation and
// classification done once, and the choice of a dedicated step.
#include "classes/registry.h"
#include "core/declarations.h"
#include "core/line.h"
#include "core/plan.h"
#include "values/conditions.h"

namespace zarnith {

namespace {

// An assignment's target: a plain name, or an element with an integer index
// ("the reserved name" and one-bracket targets are left to the statement).
bool PlainTarget(std::string_view t) {
  return t != kReturnedName && t.find_first_of("[]") == std::string_view::npos;
}

// An element target whose index the assignment reads as a literal.
bool ItemTarget(std::string_view t) {
  std::size_t open = t.find('[');
  return open != std::string_view::npos && t.find(']') != std::string_view::npos &&
         TargetIndex(t) && t.substr(0, open) != kReturnedName;
}

// The value of `name = L OP R`, when the line always becomes `name = <number>`
// or stays as it is.
bool PlanValueOperation(Plan& p) {
  std::optional<AssignedOperation> a = AssignedOperationOf(p.text, p.cut);
  if (!a) return false;
  p.op = a->op;
  p.left = MakeOperand(a->operation.left);
  p.right = MakeOperand(a->operation.right);
  return true;
}

void ChooseAssignment(Plan& p) {
  std::string_view target = p.cut.three.first, value = p.cut.three.rest;
  bool plain = PlainTarget(target);
  if (!plain && !ItemTarget(target)) return;
  if (p.rewritable) {
    if (!PlanValueOperation(p)) return;
  } else {
    p.left = MakeOperand(value);
  }
  p.target = MakeOperand(plain ? target : target.substr(0, target.find('[')));
  if (!plain) {
    p.target.literalIndex = true;
    p.target.index = *TargetIndex(target);
  }
  p.step = plain ? Step::kAssign : Step::kAssignItem;
}

void ChooseBlockStep(Plan& p) {
  const std::vector<std::string_view>& w = p.words;
  if (w[0] == "else" || w[0] == "end") {
    p.step = w[0] == "else" ? Step::kElse : Step::kEnd;
    return;
  }
  if ((w[0] != "if" && w[0] != "elif") || w.size() < 4) return;
  // Only the operators a condition knows; another leaves the chain as it is.
  if (!CompareNumbers(w[2], 0, 0)) return;
  p.comparison = w[2];
  p.keyword = w[0] == "if" ? "if" : "elif";
  p.left = MakeOperand(w[1]);
  p.right = MakeOperand(w[3]);
  p.step = Step::kCompare;
}

void ChooseStatement(Plan& p) {
  const std::vector<std::string_view>& pieces = p.pieces;
  std::string_view keyword = pieces[0];
  if (keyword == "jump" && pieces.size() >= 2) {
    p.left = MakeOperand(pieces[1]);
    p.step = Step::kJump;
  } else if ((keyword == "print" || keyword == "printc") && pieces.size() == 2) {
    p.left = MakeOperand(pieces[1]);
    p.lineFeed = keyword == "print";
    p.step = Step::kPrint;
  } else if (keyword == "append" && pieces.size() >= 3) {
    p.left = MakeOperand(pieces[1]);
    p.right = MakeOperand(pieces[2]);
    p.step = Step::kAppend;
  }
}

void PlanClassCall(Interpreter& in, Plan& p) {
  std::optional<ClassCall> call = SplitClassCall(p.pieces[0]);
  p.className = call->className;
  p.callArgs = p.pieces;
  p.callArgs[0] = call->command;
  Class* entry = FindClass(in, p.className);
  if (entry) p.classIndex = static_cast<std::size_t>(entry - in.classes.data());
}

}  // namespace

std::unique_ptr<Plan> CompilePlan(Interpreter& in, std::string_view raw) {
  auto plan = std::make_unique<Plan>();
  Plan& p = *plan;
  p.blockKeyword = IsBlockKeyword(raw.substr(0, raw.find(' ')));
  PrepareLine(raw, p.text);
  for (std::size_t k = 0; k < kOperators.size(); ++k) {
    std::size_t at = p.text.find(kOperators[k]);
    if (at == std::string::npos) continue;
    p.operations[k] = PlanOperation(p.text, at);
    p.rewritable = p.rewritable || p.operations[k].candidate;
  }
  p.cut = ClassifyLine(p.text, p.pieces, p.words);
  if (p.cut.form == LineForm::kClassCall) PlanClassCall(in, p);
  if (p.cut.form == LineForm::kAssign) ChooseAssignment(p);
  if (p.rewritable) return plan;
  if (p.cut.form == LineForm::kBlock) ChooseBlockStep(p);
  if (p.cut.form == LineForm::kStatement) ChooseStatement(p);
  return plan;
}

}  // namespace zarnith
