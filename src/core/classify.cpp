// The statement forms in the order they are tried: class call, array
// declaration, assignment, block statement, comma-form keyword, nothing.
#include "core/classify.h"

#include "classes/registry.h"
#include "core/declarations.h"
#include "values/conditions.h"
#include "values/text.h"

namespace zarnith {

namespace {

// Where the characters that decide a line's form first stand: its first
// comma, a colon before that comma, and its first two spaces (npos for
// none). One pass over the line finds them all.
struct FormMarks {
  std::size_t comma = std::string_view::npos;
  std::size_t colon = std::string_view::npos;
  std::size_t spaces[2] = {std::string_view::npos, std::string_view::npos};
};

// The first two spaces of a text that holds no comma or colon.
FormMarks FindSpaces(std::string_view text) {
  FormMarks m;
  int spaces = 0;
  for (std::size_t i = 0; i < text.size() && spaces < 2; ++i) {
    if (text[i] == ' ') m.spaces[spaces++] = i;
  }
  return m;
}

FormMarks FindFormMarks(std::string_view text) {
  static constexpr ByteSet kMarks(",: ");
  FormMarks m;
  int spaces = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!kMarks.Has(c)) continue;
    if (c == ' ') {
      if (spaces < 2) m.spaces[spaces++] = i;
    } else if (m.comma != std::string_view::npos) {
      // Past the first comma only spaces still count.
    } else if (c == ',') {
      m.comma = i;
    } else if (m.colon == std::string_view::npos) {
      m.colon = i;
    }
  }
  return m;
}

// SplitThree's words, from the spaces found.
ThreeWords ThreeAt(std::string_view text, const std::size_t (&spaces)[2]) {
  ThreeWords w;
  w.first = text.substr(0, spaces[0]);
  w.count = 1;
  if (spaces[0] == std::string_view::npos) return w;
  w.second = text.substr(spaces[0] + 1, spaces[1] - spaces[0] - 1);
  w.count = 2;
  if (spaces[1] == std::string_view::npos) return w;
  w.rest = text.substr(spaces[1] + 1);
  w.count = 3;
  return w;
}

}  // namespace

LineCut ClassifyLine(std::string_view text, std::vector<std::string_view>& pieces,
                     std::vector<std::string_view>& words, LineMarks known) {
  LineCut cut;
  words.clear();
  const FormMarks marks =
      known == LineMarks::kSpacesOnly ? FindSpaces(text) : FindFormMarks(text);
  if (marks.comma == std::string_view::npos) {
    pieces.assign(1, text);
  } else {
    SplitPieces(text, pieces);
  }
  if (marks.colon != std::string_view::npos) {
    cut.form = LineForm::kClassCall;
    return cut;
  }
  cut.three = ThreeAt(text, marks.spaces);
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

namespace {

// The bytes an assigned operation's value is read by: its operator, and the
// bytes that would cut or strip its words.
enum ValueByte : std::uint8_t { kPlain, kCutting, kOperator };

struct ValueBytes {
  constexpr ValueBytes() {
    for (char c : std::string_view("\" ,:")) kinds[static_cast<unsigned char>(c)] = kCutting;
    for (char c : kOperators) kinds[static_cast<unsigned char>(c)] = kOperator;
  }
  ValueByte operator[](char c) const { return kinds[static_cast<unsigned char>(c)]; }
  ValueByte kinds[256] = {};
};

}  // namespace

std::optional<AssignedOperation> AssignedOperationOf(std::string_view text, const LineCut& cut) {
  if (cut.form != LineForm::kAssign) return std::nullopt;
  static constexpr ValueBytes kValueBytes;
  // The value runs from the second space to the end of the line.
  std::string_view value = cut.three.rest;
  const auto valueAt = static_cast<std::size_t>(value.data() - text.data());
  for (std::size_t i = 0; i < valueAt; ++i) {
    if (kValueBytes[text[i]] == kOperator) return std::nullopt;
  }
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const ValueByte kind = kValueBytes[value[i]];
    if (kind == kPlain) continue;
    if (kind == kCutting || at != std::string_view::npos) return std::nullopt;
    at = i;
  }
  // A word on each side of the operator, and no "[" before it (the sign of an
  // index, as in a[-1]).
  if (at == std::string_view::npos || at == 0 || at + 1 == value.size() || value[at - 1] == '[') {
    return std::nullopt;
  }
  AssignedOperation a;
  a.op = value[at];
  a.operation.candidate = true;
  a.operation.left = value.substr(0, at);
  a.operation.right = value.substr(at + 1);
  a.operation.patternAt = valueAt;
  return a;
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
