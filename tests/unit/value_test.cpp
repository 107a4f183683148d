#include "state/value.h"

#include <gtest/gtest.h>

#include <string>

#include "test_interp.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;

TEST(Text, CopiesShareAndKeepTheirOwnValueThroughAppends) {
  Text a("ab");
  Text b = a;
  b.Append("x");  // grows the shared buffer in place
  Text c = b;
  a.Append("y");  // a no longer ends where the buffer does: a copy
  EXPECT_EQ(a, "aby");
  EXPECT_EQ(b, "abx");
  EXPECT_EQ(c, "abx");
  c.Append("z");
  EXPECT_EQ(b, "abx");
  EXPECT_EQ(c, "abxz");
}

TEST(Text, AppendsItselfAndSharesStretches) {
  Text t("0123456789");
  for (int i = 0; i < 6; ++i) t.Append(t);  // grows past every earlier capacity
  EXPECT_EQ(t.size(), 640u);
  EXPECT_EQ(t.view().substr(630), "0123456789");
  Text middle = t.Sub(2, 3);
  EXPECT_EQ(middle, "234");
  middle.Append("!");
  EXPECT_EQ(middle, "234!");
  EXPECT_EQ(t.view().substr(0, 6), "012345");
  EXPECT_TRUE(Text().empty());
  EXPECT_EQ(Value{std::string("v")}, Value{Text("v")});
}

TEST(LineCache, SameBufferWithOtherTextRunsTheNewText) {
  TestInterpreter t;
  // The shell reads every line into one buffer; each run must see its text.
  std::string buffer = "a = 1";
  HandleString(t.in, buffer);
  HandleString(t.in, buffer);
  buffer = "b = 2";
  HandleString(t.in, buffer);
  buffer = "c = 3";
  HandleString(t.in, buffer);
  EXPECT_EQ(*FindIn(t.in.stores.intVars, "a"), 1);
  EXPECT_EQ(*FindIn(t.in.stores.intVars, "b"), 2);
  EXPECT_EQ(*FindIn(t.in.stores.intVars, "c"), 3);
}

TEST(LineCache, RememberedLookupsFollowTheStores) {
  TestInterpreter t;
  std::string line = "x = y+1";
  HandleString(t.in, line);
  HandleString(t.in, line);  // y names nothing: the line is left as it is
  EXPECT_EQ(FindIn(t.in.stores.intVars, "x"), nullptr);
  t.in.stores.Add(t.in.stores.intVars, "y", 4);
  HandleString(t.in, line);
  EXPECT_EQ(*FindIn(t.in.stores.intVars, "x"), 5);
  *FindIn(t.in.stores.intVars, "y") = 9;  // a new value in the same entry
  HandleString(t.in, line);
  EXPECT_EQ(*FindIn(t.in.stores.intVars, "x"), 10);
}

}  // namespace
}  // namespace zarnith
