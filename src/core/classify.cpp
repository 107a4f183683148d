// The statement forms in the order they are tried: class call, array
// declaration, assignment, block statement, comma-form keyword, nothing.
#include "core/classify.h"

#include "classes/registry.h"
#include "core/declarations.h"
#include "values/conditions.h"

namespace zarnith {

LineCut ClassifyLine(std::string_view text, std::vector<std::string_view>& pieces,
                       std::vector<std::string_view>& words) {
  LineCut cut;
  words.clear();
  SplitPieces(text, pieces);
  if (pieces[0].find(':') != std::string_view::npos) {
    cut.form = LineForm::kClassCall;
    return cut;
  }
  cut.three = SplitThree(text);
  if (cut.three.count == 3 && SameShortText(cut.three.first, "array")) {
    cut.form = LineForm::kArray;
  } else if (cut.three.count == 3 && SameShortText(cut.three.second, "=")) {
    cut.form = LineForm::kAssign;
  } else {
    SplitWords(text, words);
    if (IsBlockKeyword(words[0])) {
      cut.form = LineForm::kBlock;
    } else {
      cut.statement = FindStatement(pieces[0]);
      if (cut.statement) cut.form = LineForm::kStatement;
    }
  }
  return cut;
}

std::string_view LineFormName(LineForm form) {
  switch (form) {
    case LineForm::kClassCall: return "class call";
    case LineForm::kArray: return "array declaration";
    case LineForm::kAssign: return "assignment";
    case LineForm::kBlock: return "block statement";
    case LineForm::kStatement: return "statement";
    case LineForm::kNothing: break;
  }
  return "ignored: no statement form matches";
}

void RunForm(Interpreter& in, const LineCut& cut, std::span<std::string_view> pieces,
             std::span<const std::string_view> words) {
  switch (cut.form) {
    case LineForm::kClassCall: ClassHandle(in, pieces); return;
    case LineForm::kArray: DeclareArray(in, cut.three.second, cut.three.rest); return;
    case LineForm::kAssign: Assign(in, cut.three.first, cut.three.rest); return;
    case LineForm::kBlock: IfHandle(in, words); return;
    case LineForm::kStatement: cut.statement(in, pieces); return;
    case LineForm::kNothing: return;
  }
}

}  // namespace zarnith
