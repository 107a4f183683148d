// Inputs far from everyday scripts: megabyte lines, millions of lines, and
// the inputs the fuzz targets found troublesome.
#include <gtest/gtest.h>

#include <string>

#include "unit/test_interp.h"

namespace zarnith::testing {
namespace {

TEST(Robust, MegabyteLines) {
  TestInterpreter t;
  const std::string text(4 << 20, 'a');
  std::string script = "use, \"strings\"\n";
  script += "x = \"" + text + "\"\n";
  script += "append, x, \"b\"\n";
  script += "strings:index, \"b\", returned\n";
  script += "y = returned\n";
  // Operators, commas and colons by the hundred thousand on one line.
  script += std::string(1 << 20, '+') + "\n";
  for (int i = 0; i < 200000; ++i) script += "1+";
  script += "\n";
  for (int i = 0; i < 200000; ++i) script += "print, a:b";
  script += "\n";
  EXPECT_EQ(t.Run(script), 0);
  ASSERT_NE(t.in.stores.intVars.find("y"), t.in.stores.intVars.end());
  EXPECT_EQ(t.in.stores.intVars.find("y")->second, 4 << 20);
}

TEST(Robust, MillionsOfLinesAndNoFinalLineFeed) {
  TestInterpreter t;
  std::string script = "i = 0\n";
  for (int i = 0; i < 200000; ++i) script += "i = i+1\n#\n\n\tprintc, \"\"\n\r\n";
  script += "use, \"strings\"\nstrings:itoa, i\nprint, returned";
  EXPECT_EQ(t.Run(script), 0);
  EXPECT_EQ(t.out, "200000\n");
}

}  // namespace
}  // namespace zarnith::testing
