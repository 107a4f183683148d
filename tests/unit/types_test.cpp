#include "values/types.h"

#include <gtest/gtest.h>

#include <memory>

#include "test_interp.h"

namespace zarnith {
namespace {

using testing::AddIntArray;
using testing::AddStringArray;
using testing::TestInterpreter;

TEST(GetType, QuotesComeBeforeNumbers) {
  EXPECT_EQ(GetType("\"hello\""), "string");
  EXPECT_EQ(GetType("\"\""), "string");
  EXPECT_EQ(GetType("\"5\""), "string");
  EXPECT_EQ(GetType("\"a\"b\""), "string");
  EXPECT_EQ(GetType("\""), "unknown");
  EXPECT_EQ(GetType("\"abc"), "unknown");
  EXPECT_EQ(GetType("5\""), "unknown");
}

TEST(GetType, IntegerLiteralsWithinRange) {
  for (const char* literal :
       {"42", "+7", "-0", "007", "9223372036854775807", "-9223372036854775808"}) {
    EXPECT_EQ(GetType(literal), "int") << literal;
  }
  for (const char* other :
       {"9223372036854775808", "", " 5", "5 ", "1_000", "0x1F", "+", "-", "hello", "returned"}) {
    EXPECT_EQ(GetType(other), "unknown") << other;
  }
}

TEST(GetTypeOfVar, ReturnedFollowsTheLastValue) {
  TestInterpreter t;
  EXPECT_EQ(GetTypeOfVar(t.in, "returned"), "int");
  EXPECT_TRUE(CheckOnVariable(t.in, "returned"));
  t.in.lastReturned = {type::kString, std::string("x")};
  EXPECT_EQ(GetTypeOfVar(t.in, "returned"), "string");
  // A store entry named "returned" never shadows the returned value.
  t.in.stores.Add(t.in.stores.intVars, "returned", 1);
  EXPECT_EQ(GetTypeOfVar(t.in, "returned"), "string");
  EXPECT_EQ(GetTypeOfVar(t.in, "Returned"), "unknown");
}

TEST(GetTypeOfVar, ElementReferencesTakeTheElementType) {
  TestInterpreter t;
  AddIntArray(t.in, "a", std::vector<std::int64_t>(3));
  AddStringArray(t.in, "s", std::vector<std::string>(1));
  EXPECT_EQ(GetTypeOfVar(t.in, "a"), "int-array");
  EXPECT_EQ(GetTypeOfVar(t.in, "s"), "string-array");
  // The index is not looked at.
  for (const char* ref : {"a[2]", "a[zz", "a[", "a[-1]", "a[]x"}) {
    EXPECT_EQ(GetTypeOfVar(t.in, ref), "int") << ref;
  }
  EXPECT_EQ(GetTypeOfVar(t.in, "s[0]"), "string");
  EXPECT_EQ(GetTypeOfVar(t.in, "x[1]"), "unknown");
  // Without an array of that base name, the whole bracketed text is a name.
  t.in.stores.Add(t.in.stores.intVars, "x[1]", 4);
  EXPECT_EQ(GetTypeOfVar(t.in, "x[1]"), "int");
}

TEST(GetTypeOfVar, StoreSearchOrderBreaksTies) {
  TestInterpreter t;
  t.in.stores.Add(t.in.stores.stringVars, "n", "text");
  EXPECT_EQ(GetTypeOfVar(t.in, "n"), "string");
  t.in.stores.Add(t.in.stores.intVars, "n", 1);
  EXPECT_EQ(GetTypeOfVar(t.in, "n"), "int");

  AddIntArray(t.in, "both", std::vector<std::int64_t>(1));
  EXPECT_EQ(GetTypeOfVar(t.in, "both"), "int-array");
  EXPECT_EQ(GetTypeOfVar(t.in, "both[0]"), "int");
  AddStringArray(t.in, "both", std::vector<std::string>(1));
  EXPECT_EQ(GetTypeOfVar(t.in, "both"), "string-array");
  EXPECT_EQ(GetTypeOfVar(t.in, "both[0]"), "string");
  // A plain variable of the same name wins over both arrays for the bare name.
  t.in.stores.Add(t.in.stores.stringVars, "both", "v");
  EXPECT_EQ(GetTypeOfVar(t.in, "both"), "string");
  EXPECT_EQ(GetTypeOfVar(t.in, "both[0]"), "string");
  EXPECT_FALSE(CheckOnVariable(t.in, "Both"));
}

TEST(GetTypeEx, VariablesWinOverLiterals) {
  TestInterpreter t;
  EXPECT_EQ(GetTypeEx(t.in, "12"), "int");
  EXPECT_EQ(GetTypeEx(t.in, "\"q\""), "string");
  EXPECT_EQ(GetTypeEx(t.in, "word"), "unknown");
  t.in.stores.Add(t.in.stores.stringVars, "12", "twelve");
  t.in.stores.Add(t.in.stores.intVars, "\"q\"", 3);
  AddIntArray(t.in, "arr", std::vector<std::int64_t>(2));
  EXPECT_EQ(GetTypeEx(t.in, "12"), "string");
  EXPECT_EQ(GetTypeEx(t.in, "\"q\""), "int");
  EXPECT_EQ(GetTypeEx(t.in, "arr"), "int-array");
  EXPECT_EQ(GetTypeEx(t.in, "arr[9]"), "int");
}

TEST(GetGoType, DecidedByWhatTheValueHolds) {
  EXPECT_EQ(GetGoType(Value{std::int64_t{5}}), "int");
  EXPECT_EQ(GetGoType(Value{std::string("5")}), "string");
  EXPECT_EQ(GetGoType(Value{std::string()}), "string");
}

}  // namespace
}  // namespace zarnith
