#include "values/resolve.h"

#include <gtest/gtest.h>

#include <memory>

#include "test_interp.h"

namespace zarnith {
namespace {

using testing::AddIntArray;
using testing::AddStringArray;
using testing::TestInterpreter;

// An interpreter with int n = 4, string s = "abc", int array a = {4, 5, 6}
// and string array w = {"x", "\"q\"", ""}.
struct Resolve : ::testing::Test {
  TestInterpreter t;
  Resolve() {
    Stores& st = t.in.stores;
    st.intVars.emplace("n", 4);
    st.stringVars.emplace("s", "abc");
    AddIntArray(t.in, "a", {4, 5, 6});
    AddStringArray(t.in, "w", {"x", "\"q\"", ""});
    t.in.lineIndex = 6;
  }

  // Reads an element; returns the exit status when the read ends the program.
  std::optional<int> ReadEndsWith(std::string_view reference) {
    try {
      GetArrayValue(t.in, reference);
    } catch (const ProgramExit& e) {
      return e.status;
    }
    return std::nullopt;
  }
};

TEST_F(Resolve, TokensBecomeValues) {
  EXPECT_EQ(IfVariableReplaceIt(t.in, "n"), Value{std::int64_t{4}});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "s"), Value{std::string("abc")});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "17"), Value{std::int64_t{17}});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "+17"), Value{std::int64_t{17}});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "\"lit\""), Value{std::string("\"lit\"")});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "hello"), Value{std::string("hello")});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "returned"), Value{std::int64_t{-1}});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "a[1]"), Value{std::int64_t{5}});
  EXPECT_EQ(IfVariableReplaceIt(t.in, "w[1]"), Value{std::string("\"q\"")});
  EXPECT_EQ(t.out, "");
}

TEST_F(Resolve, VariableNamedLikeALiteralIsReadAsTheVariable) {
  t.in.stores.Add(t.in.stores.stringVars, "17", "seventeen");
  t.in.stores.Add(t.in.stores.intVars, "x[1]", 8);
  EXPECT_EQ(IfVariableReplaceIt(t.in, "17"), Value{std::string("seventeen")});
  // No array named x: the whole bracketed text is the variable's name.
  EXPECT_EQ(IfVariableReplaceIt(t.in, "x[1]"), Value{std::int64_t{8}});
}

TEST_F(Resolve, ElementReadsIgnoreTextAfterTheIndex) {
  EXPECT_EQ(GetArrayValue(t.in, "a[2]"), Value{std::int64_t{6}});
  EXPECT_EQ(GetArrayValue(t.in, "a[1]xyz"), Value{std::int64_t{5}});
  EXPECT_EQ(GetArrayValue(t.in, "a[0"), Value{std::int64_t{4}});
  EXPECT_EQ(GetArrayValue(t.in, "a[+2]"), Value{std::int64_t{6}});
  // The index ends at a second "[" as well as at the "]".
  EXPECT_EQ(GetArrayValue(t.in, "a[1[2]]"), Value{std::int64_t{5}});
  EXPECT_EQ(GetArrayValue(t.in, "w[2]"), Value{std::string()});
  EXPECT_EQ(t.out, "");
}

TEST_F(Resolve, ArrayNameWithoutIndexIsNotAnArrayRead) {
  EXPECT_EQ(IfVariableReplaceIt(t.in, "a"), Value{std::string("unknown")});
  EXPECT_EQ(GetArrayValue(t.in, "n[0]"), Value{std::string("unknown")});
  EXPECT_EQ(GetArrayValue(t.in, "zz[0]"), Value{std::string("unknown")});
  EXPECT_EQ(t.out,
            "error: 7: not a array variable\n"
            "error: 7: not a array variable\n"
            "error: 7: not a array variable\n");
}

TEST_F(Resolve, BadIndexEndsTheProgram) {
  for (const char* ref : {"a[i]", "a[ 1]", "a[]", "a[", "a[1 ]", "w[0x1]"}) {
    t.out.clear();
    EXPECT_EQ(ReadEndsWith(ref), 127) << ref;
    EXPECT_EQ(t.out, "error: 7: array index is not a int, this is critical error\n") << ref;
  }
  for (const char* ref : {"a[3]", "a[-1]", "w[3]", "a[9223372036854775807]"}) {
    t.out.clear();
    EXPECT_EQ(ReadEndsWith(ref), 127) << ref;
    EXPECT_EQ(t.out, "error: 7: index out of range, this is critical error\n") << ref;
  }
}

TEST_F(Resolve, EmptyArrayAcceptsNoIndex) {
  AddIntArray(t.in, "e", {});
  EXPECT_EQ(ReadEndsWith("e[0]"), 127);
}

TEST_F(Resolve, GetVariableOfUnknownNameAsksForAFix) {
  variable v = GetVariable(t.in, "nothing");
  EXPECT_EQ(v.varType, "string");
  EXPECT_EQ(v.value, Value{std::string("Please fix me in code")});
  t.in.lastReturned = {type::kString, std::string("r")};
  v = GetVariable(t.in, "returned");
  EXPECT_EQ(v.varType, "string");
  EXPECT_EQ(v.value, Value{std::string("r")});
}

}  // namespace
}  // namespace zarnith
