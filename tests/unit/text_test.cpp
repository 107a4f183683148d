#include "values/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include "values/resolve.h"

namespace zarnith {

TEST(ParseIntLiteral, AcceptsSignsDigitsAndFullRange) {
  EXPECT_EQ(ParseIntLiteral("42"), 42);
  EXPECT_EQ(ParseIntLiteral("+7"), 7);
  EXPECT_EQ(ParseIntLiteral("-0"), 0);
  EXPECT_EQ(ParseIntLiteral("007"), 7);
  EXPECT_EQ(ParseIntLiteral("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseIntLiteral("-9223372036854775808"), INT64_MIN);
}

TEST(ParseIntLiteral, RejectsEverythingElse) {
  for (const char* bad : {"", "+", "-", "+-1", " 5", "5 ", "1_000", "0x10", "9223372036854775808",
                          "-9223372036854775809", "\"5\"", "5a"}) {
    EXPECT_FALSE(ParseIntLiteral(bad)) << bad;
  }
}

TEST(StringToText, StripsEveryEnclosingQuote) {
  EXPECT_EQ(StringToText("\"abc\""), "abc");
  EXPECT_EQ(StringToText("\"\"abc\"\""), "abc");
  EXPECT_EQ(StringToText("\"\""), "");
  EXPECT_EQ(StringToText("\"\"\""), "");
  EXPECT_EQ(StringToText("\"a\"b\""), "a\"b");
  // Unbalanced counts are stripped independently at each end.
  EXPECT_EQ(StringToText("\"\"\"a\""), "a");
}

TEST(StringToText, LeavesAnythingElseAlone) {
  for (const char* text : {"\"", "\"abc", "abc\"", "abc", "", "a\"b", " \"x\"", "\"x\" "}) {
    EXPECT_EQ(StringToText(text), text) << text;
  }
}

TEST(SystemReasons, LowerCaseFirstLetter) {
  EXPECT_EQ(ErrnoReason(ENOENT), "no such file or directory");
  EXPECT_EQ(ErrnoReason(EACCES), "permission denied");
  EXPECT_EQ(ErrnoReason(EISDIR), "is a directory");
  EXPECT_EQ(SignalReason(SIGKILL), "killed");
  EXPECT_EQ(SignalReason(SIGTERM), "terminated");
}

}  // namespace zarnith
