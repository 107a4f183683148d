#include "values/conditions.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_interp.h"
#include "values/split.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;

// The record as (enabled, lastCond, result, skiping) for readable failures.
std::string State(const ifInfoType& i) {
  return std::string(i.enabled ? "T " : "F ") + std::string(i.lastCond) + (i.result ? " T" : " F") +
         (i.skiping ? " T" : " F");
}

struct IfTable : ::testing::Test {
  TestInterpreter t;

  // Runs one conditional line through IfHandle and returns the new record.
  std::string After(std::string_view line) {
    std::vector<std::string_view> words;
    SplitWords(line, words);
    IfHandle(t.in, words);
    return State(t.in.ifInfo);
  }
  void Set(bool enabled, std::string_view lastCond, bool result, bool skiping) {
    t.in.ifInfo = {enabled, lastCond, result, skiping};
  }
};

TEST_F(IfTable, EvaluatedConditionOpensABranch) {
  EXPECT_EQ(State(t.in.ifInfo), "F none F F");
  EXPECT_EQ(After("if 1 == 1"), "T if T F");
  Set(false, "none", false, false);
  EXPECT_EQ(After("elif 1 == 2"), "T elif F T");
  // Only the first three words after the keyword count.
  EXPECT_EQ(After("if 2 > 1 and more"), "T if T F");
  EXPECT_EQ(t.out, "");
}

TEST_F(IfTable, IntAndStringOperators) {
  const std::pair<const char*, bool> cases[] = {
      {"if 1 < 2", true},          {"if 2 < 1", false},       {"if -5 > -6", true},
      {"if 3 == 3", true},         {"if 3 != 3", false},      {"if \"a\" == \"a\"", true},
      {"if \"a\" != \"b\"", true}, {"if \"\" == \"\"", true}, {"if \"ab\" == \"abc\"", false},
  };
  for (const auto& [line, truth] : cases) {
    Set(false, "none", false, false);
    EXPECT_EQ(After(line), std::string("T if ") + (truth ? "T F" : "F T")) << line;
  }
}

TEST_F(IfTable, ComparesResolvedValues) {
  t.in.stores.Add(t.in.stores.intVars, "n", 4);
  t.in.stores.Add(t.in.stores.stringVars, "s", "abc");
  EXPECT_EQ(After("if n == 4"), "T if T F");
  EXPECT_EQ(After("end"), "F none F F");
  EXPECT_EQ(After("if s == \"abc\""), "T if T F");
  EXPECT_EQ(After("end"), "F none F F");
  EXPECT_EQ(After("if returned < 0"), "T if T F");
}

TEST_F(IfTable, RunningBranchEndsWithoutLookingAtTheCondition) {
  Set(true, "if", true, false);
  EXPECT_EQ(After("elif 1 == 1"), "T elif F F");
  Set(true, "elif", true, true);
  EXPECT_EQ(After("if x y"), "T if F T");
  // Three words are enough here: no operand is read.
  Set(true, "if", true, false);
  EXPECT_EQ(After("elif 1 =="), "T elif F F");
  // A running else branch is no if/elif branch: the condition is evaluated.
  Set(true, "else", true, false);
  EXPECT_EQ(After("elif 1 == 2"), "T elif F T");
  EXPECT_EQ(t.out, "");
}

TEST_F(IfTable, UnevaluableConditionsLeaveTheRecord) {
  t.in.stores.Add(t.in.stores.intVars, "n", 1);
  t.in.stores.Add(t.in.stores.stringVars, "s", "a b");
  Set(true, "if", false, true);
  const std::string before = State(t.in.ifInfo);
  for (const char* line :
       {"if 1 >= 1", "if 1 = 1", "if 1  1", "if \"a\" < \"b\"", "if x == y", "elif x == x"}) {
    EXPECT_EQ(After(line), before) << line;
  }
  EXPECT_EQ(t.out, "");
  EXPECT_EQ(After("if n == \"1\""), before);
  EXPECT_EQ(After("if s == \"a b\""), before);
  EXPECT_EQ(After("if"), before);
  EXPECT_EQ(After("elif 1"), before);
  EXPECT_EQ(After("if 1 =="), before);
  EXPECT_EQ(t.out,
            "error: 1: There is a mismatch in the type of the values being compared\n"
            "error: 1: There is a mismatch in the type of the values being compared\n"
            "error: 1: Missed condition\n"
            "error: 1: Missed condition\n"
            "error: 1: Missed condition\n");
}

TEST_F(IfTable, ElseRunsOnlyAfterASkippedIfOrElif) {
  Set(true, "if", false, true);
  EXPECT_EQ(After("else"), "T else T F");
  Set(true, "elif", false, true);
  EXPECT_EQ(After("else and words"), "T else T F");
  Set(true, "if", true, false);
  EXPECT_EQ(After("else"), "T else F T");
  // An else after an elif that ended a running branch: skiping stayed false.
  Set(true, "elif", false, false);
  EXPECT_EQ(After("else"), "T else F T");
  Set(true, "else", false, true);
  EXPECT_EQ(After("else"), "T else F T");
  Set(false, "none", false, false);
  EXPECT_EQ(After("else"), "T else F T");
}

TEST_F(IfTable, EndAlwaysCloses) {
  Set(true, "else", false, true);
  EXPECT_EQ(After("end"), "F none F F");
  EXPECT_EQ(After("end x y"), "F none F F");
}

TEST(Gate, SkipsAllButBlockKeywordsAsReceived) {
  TestInterpreter t;
  EXPECT_FALSE(SkippedByGate(t.in, "print, \"a\""));
  t.in.ifInfo = {true, "if", true, false};
  EXPECT_FALSE(SkippedByGate(t.in, "print, \"a\""));
  t.in.ifInfo = {true, "if", false, true};
  EXPECT_TRUE(SkippedByGate(t.in, "print, \"a\""));
  for (const char* keyword : {"if 1 == 1", "elif", "else", "end", "end anything"}) {
    EXPECT_FALSE(SkippedByGate(t.in, keyword)) << keyword;
  }
  for (const char* hidden : {"\tend", " end", "end\r", "End", "endx", "end,", "\tif 1 == 1"}) {
    EXPECT_TRUE(SkippedByGate(t.in, hidden)) << hidden;
  }
}

}  // namespace
}  // namespace zarnith
