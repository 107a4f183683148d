#include "values/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

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

// Digits are read eight and four at a time: every length up to the widest,
// and a wrong byte at every place of each (the bytes beside '0' and '9', and
// ones whose high or low half looks like a digit's).
TEST(ParseIntLiteral, EveryLengthWithAWrongByteAnywhere) {
  for (std::size_t length = 1; length <= 19; ++length) {
    std::string digits;
    for (std::size_t i = 0; i < length; ++i) digits += static_cast<char>('1' + i % 9);
    EXPECT_EQ(ParseIntLiteral(digits), std::stoll(digits)) << digits;
    EXPECT_EQ(ParseIntLiteral("-" + digits), -std::stoll(digits)) << digits;
    for (std::size_t at = 0; at < length; ++at) {
      for (char bad : {'/', ':', ' ', 'a', '\0', '\xB5', '\x3F', '\x05'}) {
        std::string text = digits;
        text[at] = bad;
        EXPECT_FALSE(ParseIntLiteral(text)) << length << " " << at << " " << int(bad);
      }
    }
  }
}

TEST(FormatInt, DigitsOfEveryWidthAndBothEnds) {
  std::vector<std::int64_t> values = {0, -1, INT64_MIN, INT64_MAX, INT64_MIN + 1};
  for (std::int64_t power = 1; power <= INT64_MAX / 10; power *= 10) {
    for (std::int64_t v : {power, power - 1, power + 1, -power, 1 - power}) values.push_back(v);
  }
  for (std::int64_t v : values) {
    IntDigits digits;
    EXPECT_EQ(FormatInt(v, digits), std::to_string(v));
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
