// The statement forms in the order they are tried: class call, array
// declaration, assignment, block statement, comma-form keyword, nothing.
#include "core/classify.h"

#include "classes/registry.h"
#include "core/declarations.h"
#include "values/conditions.h"

namespace zarnith {

LineShape ClassifyLine(std::string_view text, std::vector<std::string_view>& pieces,
                       std::vector<std::string_view>& words) {
  LineShape shape;
  words.clear();
  SplitPieces(text, pieces);
  if (pieces[0].find(':') != std::string_view::npos) {
    shape.form = LineForm::kClassCall;
    return shape;
  }
  shape.three = SplitThree(text);
  if (shape.three.count == 3 && shape.three.first == "array") {
    shape.form = LineForm::kArray;
  } else if (shape.three.count == 3 && shape.three.second == "=") {
    shape.form = LineForm::kAssign;
  } else {
    SplitWords(text, words);
    if (IsBlockKeyword(words[0])) {
      shape.form = LineForm::kBlock;
    } else {
      shape.statement = FindStatement(pieces[0]);
      if (shape.statement) shape.form = LineForm::kStatement;
    }
  }
  return shape;
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

void RunLine(Interpreter& in, const LineShape& shape, std::span<std::string_view> pieces,
             std::span<const std::string_view> words) {
  switch (shape.form) {
    case LineForm::kClassCall: ClassHandle(in, pieces); return;
    case LineForm::kArray: DeclareArray(in, shape.three.second, shape.three.rest); return;
    case LineForm::kAssign: Assign(in, shape.three.first, shape.three.rest); return;
    case LineForm::kBlock: IfHandle(in, words); return;
    case LineForm::kStatement: shape.statement(in, pieces); return;
    case LineForm::kNothing: return;
  }
}

}  // namespace zarnith
