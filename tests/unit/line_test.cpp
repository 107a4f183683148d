#include "core/line.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/classify.h"
#include "test_interp.h"
#include "values/split.h"
#include "values/types.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;
using Views = std::vector<std::string_view>;

std::string Prepared(std::string_view raw) {
  std::string out;
  PrepareLine(raw, out);
  return out;
}

TEST(PrepareLine, RemovesLineFeedsAndTabsThenTurnsBackslashNIntoLineFeeds) {
  EXPECT_EQ(Prepared("\tprint,\t\"a\tb\"\n"), "print,\"ab\"");
  EXPECT_EQ(Prepared("a\\nb"), "a\nb");
  // Removed characters between the backslash and the n do not keep them apart.
  EXPECT_EQ(Prepared("a\\\tnb"), "a\nb");
  EXPECT_EQ(Prepared("a\\\nnb"), "a\nb");
  EXPECT_EQ(Prepared("\\\\n"), "\\\n");
  EXPECT_EQ(Prepared("\\nn"), "\nn");
  // Carriage returns and spaces stay; nothing is trimmed.
  EXPECT_EQ(Prepared(" x \r"), " x \r");
}

TEST(SplitPieces, OnlyPiecesAfterACommaLoseOneSpace) {
  Views p;
  SplitPieces(" print,  \"a\",b,,", p);
  EXPECT_EQ(p, (Views{" print", " \"a\"", "b", "", ""}));
  SplitPieces("", p);
  EXPECT_EQ(p, (Views{""}));
}

TEST(SplitWords, EmptyWordsKept) {
  Views w;
  SplitWords("if 1  == 1 ", w);
  EXPECT_EQ(w, (Views{"if", "1", "", "==", "1", ""}));
}

TEST(SplitThree, ThirdWordIsTheRestOfTheLine) {
  ThreeWords w = SplitThree("x = \"a b, c\" ");
  EXPECT_EQ(w.count, 3);
  EXPECT_EQ(w.first, "x");
  EXPECT_EQ(w.second, "=");
  EXPECT_EQ(w.rest, "\"a b, c\" ");
  EXPECT_EQ(SplitThree("x =").count, 2);
  EXPECT_EQ(SplitThree("x = ").count, 3);
  EXPECT_EQ(SplitThree("x").count, 1);
  EXPECT_EQ(SplitThree("").count, 1);
}

// The form is read from the first comma, a colon before it and the first
// two spaces, found in one pass over the line.
TEST(ClassifyLine, FormsFromCommasColonsAndSpaces) {
  Views pieces, words;
  auto form = [&](std::string_view text) { return ClassifyLine(text, pieces, words).form; };
  EXPECT_EQ(form("a:b, c"), LineForm::kClassCall);
  EXPECT_EQ(form("w = \"a:b\", c"), LineForm::kClassCall);  // the colon is in piece 0
  EXPECT_EQ(form("w = \"a, b:c\""), LineForm::kAssign);     // after the first comma
  EXPECT_EQ(form("print, a:b"), LineForm::kStatement);
  EXPECT_EQ(pieces, (Views{"print", "a:b"}));
  EXPECT_EQ(form("x = 1, 2"), LineForm::kAssign);
  EXPECT_EQ(pieces, (Views{"x = 1", "2"}));
  LineCut cut = ClassifyLine("x = a b", pieces, words);
  EXPECT_EQ(cut.three.rest, "a b");
  EXPECT_EQ(pieces, (Views{"x = a b"}));
  // Only the first two spaces cut: a doubled one leaves "=" out of place.
  EXPECT_EQ(form("x  = 5"), LineForm::kNothing);
  EXPECT_EQ(form(" x = 5"), LineForm::kNothing);
  EXPECT_EQ(form("x ="), LineForm::kNothing);
  EXPECT_EQ(form("x = "), LineForm::kAssign);
  EXPECT_EQ(form("array int a[3]"), LineForm::kArray);
  EXPECT_EQ(form("if 1 == 1"), LineForm::kBlock);
}

// A caller that knows the line holds no comma or colon has only its spaces
// looked for; the cut is the same.
TEST(ClassifyLine, SpacesOnlyCutsAlike) {
  Views pieces, words;
  for (std::string_view text : {"x  = 5", " x = 5", "x =", "x = ", "x = a b c", "array int a[3]",
                                "if 1 == 1", "end", "", "  "}) {
    LineCut full = ClassifyLine(text, pieces, words);
    Views fullWords = words;
    LineCut spaces = ClassifyLine(text, pieces, words, LineMarks::kSpacesOnly);
    EXPECT_EQ(spaces.form, full.form) << text;
    EXPECT_EQ(spaces.three.count, full.three.count) << text;
    EXPECT_EQ(spaces.three.first, full.three.first) << text;
    EXPECT_EQ(spaces.three.rest, full.three.rest) << text;
    EXPECT_EQ(words, fullWords) << text;
  }
}

// The assignments whose value is one operation that the rewriting reads
// whole, and the near misses that must take the text's way.
TEST(AssignedOperationOf, OneOperationReadWhole) {
  Views pieces, words;
  auto of = [&](std::string_view text) {
    return AssignedOperationOf(text, ClassifyLine(text, pieces, words));
  };
  std::optional<AssignedOperation> a = of("total = total+12");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->op, '+');
  EXPECT_EQ(a->operation.left, "total");
  EXPECT_EQ(a->operation.right, "12");
  EXPECT_EQ(a->operation.patternAt, 8u);
  EXPECT_TRUE(of("a[1] = b[2]/c"));
  EXPECT_TRUE(of("x = 0-5"));
  for (std::string_view text :
       {"x = -5", "x = 5-", "x = a[-1]", "x = a+b+c", "x = a+b*c", "x-1 = a+b", "x = \"a\"+b",
        "x = a+b c", "x = a,b+c", "x = a:b+c", "x = a", "x  = a+b", "print, a+b", "if a+b == 1"}) {
    EXPECT_FALSE(of(text)) << text;
  }
}

// An element target needs both brackets, in any order; its index runs from
// the first "[" to the next "]".
TEST(HandleString, ElementTargetsAndTheirBrackets) {
  TestInterpreter t;
  t.Line("array int a[3]");
  EXPECT_EQ(t.Line("a]b[ = 5"), "error: 1: this array isn't exists\n");
  EXPECT_EQ(t.Line("a[2[ = 7"), "");  // no "]": no target at all
  EXPECT_EQ(t.Line("a] = 7"), "");
  EXPECT_EQ(t.Line("a[1]] = 7"), "");
  EXPECT_EQ(t.Line("a[1[2] = 7"), "error: 1: array index is not a int\n");
  EXPECT_EQ((*t.in.stores.intArrays.at("a")), (std::vector<std::int64_t>{0, 7, 0}));
}

TEST(JoinPieces, CommaAndOneSpace) {
  Views p{"print", "a", "", "b"};
  EXPECT_EQ(JoinPieces(p, 1), "a, , b");
  EXPECT_EQ(JoinPieces(p, 4), "");
}

// HandleString tries the forms in a fixed order; each case below would match
// a later form too.
TEST(HandleString, RoutingOrder) {
  TestInterpreter t;
  // Class call before assignment: the quoted colon makes piece 0 a class call.
  EXPECT_EQ(t.Line("x = \"a:b\""), "error: 1: Class is not exists\n");
  EXPECT_FALSE(CheckOnVariable(t.in, "x"));
  // Array declaration before assignment.
  EXPECT_EQ(t.Line("array = 5"), "error: 1: unknown array type\n");
  // Assignment before the block keywords.
  EXPECT_EQ(t.Line("if = 5"), "");
  EXPECT_EQ(GetTypeOfVar(t.in, "if"), "int");
  EXPECT_EQ(t.in.ifInfo.enabled, false);
  // Block keywords are whole words: "else," is neither a keyword nor a comma form.
  EXPECT_EQ(t.Line("else, print"), "");
  EXPECT_EQ(t.in.ifInfo.lastCond, "none");
  EXPECT_EQ(t.Line("else x, \"y\""), "");
  EXPECT_EQ(t.in.ifInfo.lastCond, "else");
  EXPECT_EQ(t.Line("end"), "");
  // Comma forms match piece 0 exactly.
  EXPECT_EQ(t.Line("print, \"hi\""), "hi\n");
  EXPECT_EQ(t.Line("print \"hi\""), "");
  EXPECT_EQ(t.Line("Print, \"hi\""), "");
  EXPECT_EQ(t.Line("print , \"hi\""), "");
  EXPECT_EQ(t.Line("print"), "error: 1: Missed argument 1\n");
}

TEST(HandleString, CommentsIndentationAndEmptyLines) {
  TestInterpreter t;
  for (const char* silent : {"", "\n", "#print, \"a\"", "# x = 1", " print, \"a\"", "\r"}) {
    EXPECT_EQ(t.Line(silent), "") << silent;
  }
  EXPECT_TRUE(t.in.stores.intVars.empty());
  // Tabs vanish before anything else looks at the line.
  EXPECT_EQ(t.Line("\tprint,\t\"a\""), "a\n");
  EXPECT_EQ(t.Line("\t#hello:hello"), "error: 1: Class is not exists\n");
  EXPECT_EQ(t.Line(" hello:hello"), "error: 1: Class is not exists\n");
  EXPECT_EQ(t.Line("print, \"a\\nb\""), "a\nb\n");
  EXPECT_EQ(t.Line("print, \"a\\\\nb\""), "a\\\nb\n");
}

TEST(HandleString, ArithmeticRunsBeforeEveryStatement) {
  TestInterpreter t;
  EXPECT_EQ(t.Line("x = 2+3"), "");
  EXPECT_EQ(t.in.stores.intVars.at("x"), 5);
  EXPECT_EQ(t.Line("print, \"x-1 items\""), "4 items\n");
  EXPECT_EQ(t.Line("if x+1 == 6"), "");
  EXPECT_TRUE(t.in.ifInfo.result);
  // Prepared first: the tabs go, then the operation is found.
  EXPECT_EQ(t.Line("\ty = x*\t2"), "");
  EXPECT_EQ(t.in.stores.intVars.at("y"), 10);
  EXPECT_EQ(t.Line("print, \"x/5\t x-1\""), "1 4\n");
}

TEST(HandleString, GateReadsTheLineAsReceived) {
  TestInterpreter t;
  t.Line("if 1 == 2");
  EXPECT_EQ(t.Line("print, \"hidden\""), "");
  EXPECT_EQ(t.Line("x = 1/0"), "");  // skipped lines are not even rewritten
  EXPECT_EQ(t.Line("\tend"), "");
  EXPECT_EQ(t.Line(" end"), "");
  EXPECT_EQ(t.Line("end\r"), "");
  EXPECT_TRUE(t.in.ifInfo.enabled);
  EXPECT_EQ(t.Line("end"), "");
  EXPECT_FALSE(t.in.ifInfo.enabled);
  // In a running branch the tab-indented keyword is seen after clean-up.
  t.Line("if 1 == 1");
  EXPECT_EQ(t.Line("\tend"), "");
  EXPECT_FALSE(t.in.ifInfo.enabled);
}

}  // namespace
}  // namespace zarnith
