#include "values/math.h"

#include <gtest/gtest.h>

#include <memory>

#include "test_interp.h"

namespace zarnith {
namespace {

using testing::AddIntArray;
using testing::AddStringArray;
using testing::TestInterpreter;

// An interpreter with int a = 10, int b = 2, string s = "7" and int array
// arr = {4, 5}.
struct Rewrite : ::testing::Test {
  TestInterpreter t;
  Rewrite() {
    Stores& st = t.in.stores;
    st.intVars.emplace("a", 10);
    st.intVars.emplace("b", 2);
    st.stringVars.emplace("s", "7");
    AddIntArray(t.in, "arr", {4, 5});
  }

  std::string Rewritten(std::string line) {
    RewriteArithmetic(t.in, line);
    return line;
  }
};

TEST_F(Rewrite, OneOperationPerOperatorCharacter) {
  EXPECT_EQ(Rewritten("x = 2+3"), "x = 5");
  EXPECT_EQ(Rewritten("x = a-1"), "x = 9");
  EXPECT_EQ(Rewritten("x = 7/2"), "x = 3");
  EXPECT_EQ(Rewritten("x = -7/2"), "x = -3");
  EXPECT_EQ(Rewritten("x = 1+2+3"), "x = 3+3");
  EXPECT_EQ(Rewritten("x = 2*3 + 4"), "x = 6 + 4");
  EXPECT_EQ(Rewritten("x = arr[0]+arr[1]"), "x = 9");
  EXPECT_EQ(Rewritten("x = 3*a"), "x = 30");
  // "+" is done first, then "-" sees its result.
  EXPECT_EQ(Rewritten("x = 1+1 y = 5-3"), "x = 2 y = 2");
  EXPECT_EQ(t.out, "");
}

TEST_F(Rewrite, LinesThatStayUnchanged) {
  for (const char* line : {"x = 2 + 3", "x = 2 +3", "x = 2+ 3", "x = s+1", "x = 2*3+4", "x = q+r",
                           "x = \"ab\"+1", "-5", "x = 5-", "+", "print, \"a\"-"}) {
    EXPECT_EQ(Rewritten(line), line) << line;
  }
  EXPECT_EQ(t.out, "");
}

TEST_F(Rewrite, IgnoresStringLiterals) {
  EXPECT_EQ(Rewritten("print, \"a-b\""), "print, \"8\"");
  // The quoted 5 counts as an operand, but the stripped pattern 5+1 is not
  // in the line, so it stays...
  EXPECT_EQ(Rewritten("x = \"5\"+1"), "x = \"5\"+1");
  // ...unless the bare pattern occurs elsewhere, which is then replaced.
  EXPECT_EQ(Rewritten("x = \"5\"+1 5+1"), "x = \"5\"+1 6");
}

TEST_F(Rewrite, SignInsideAnArrayIndexIsNoOperator) {
  EXPECT_EQ(Rewritten("x = arr[-1]"), "x = arr[-1]");
  EXPECT_EQ(Rewritten("arr[-1] = 1"), "arr[-1] = 1");
  EXPECT_EQ(Rewritten("x = arr[+1]"), "x = arr[+1]");
  EXPECT_EQ(t.out, "");
}

TEST_F(Rewrite, WrapsAroundWithoutNotice) {
  EXPECT_EQ(Rewritten("x = 9223372036854775807+1"), "x = -9223372036854775808");
  EXPECT_EQ(Rewritten("x = 9223372036854775807*2"), "x = -2");
  EXPECT_EQ(Rewritten("x = -9223372036854775808/-1"), "x = -9223372036854775808");
  t.in.stores.Add(t.in.stores.intVars, "min", INT64_MIN);
  EXPECT_EQ(Rewritten("x = min-1"), "x = 9223372036854775807");
  EXPECT_EQ(Rewritten("x = min/-1"), "x = -9223372036854775808");
  EXPECT_EQ(t.out, "");
}

TEST_F(Rewrite, DivisionByZeroLeavesTheLine) {
  t.in.lineIndex = 2;
  EXPECT_EQ(Rewritten("x = 5/0"), "x = 5/0");
  EXPECT_EQ(t.out, "error: 3: division by zero\n");
}

TEST_F(Rewrite, BareArrayOperandReportsAndStops) {
  EXPECT_EQ(Rewritten("x = arr+1"), "x = arr+1");
  EXPECT_EQ(t.out, "error: 1: not a array variable\n");
}

TEST_F(Rewrite, BadIndexOperandEndsTheProgram) {
  try {
    Rewritten("x = arr[5]+1");
    FAIL() << "the read did not end the program";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 127);
  }
  EXPECT_EQ(t.out, "error: 1: index out of range, this is critical error\n");
}

TEST_F(Rewrite, MathAtTheEdgesOfTheLine) {
  std::string line = "+";
  Math(t.in, 0, line);
  EXPECT_EQ(line, "+");
  line = "1+";
  Math(t.in, 1, line);
  EXPECT_EQ(line, "1+");
  line = "+1";
  Math(t.in, 0, line);
  EXPECT_EQ(line, "+1");
  line = "1+1";
  Math(t.in, 1, line);
  EXPECT_EQ(line, "2");
}

}  // namespace
}  // namespace zarnith
