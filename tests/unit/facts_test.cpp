#include <gtest/gtest.h>

#include <string>

#include "facts/script_facts.h"
#include "values/types.h"

namespace zarnith::facts {
namespace {

// Tabs are gone from the prepared text and a backslash-n is one byte there,
// tabs between its two characters or not: columns count the line as written.
TEST(ScriptFacts, ColumnsCountTheLineAsWritten) {
  ScriptFacts script("if \"a\\\tn\" ~ \"b\"\n\tprint, \"x\\ny\", z");
  std::string_view op = script.Words(0)[2];
  ASSERT_EQ(op, "~");
  EXPECT_EQ(script.Column(0, op), 11u);
  std::string_view z = script.Pieces(1)[2];
  ASSERT_EQ(z, "z");
  EXPECT_EQ(script.Column(1, z), 17u);
  EXPECT_EQ(script.SpanOf(1, script.Pieces(1)[1]).begin, 8u);
  EXPECT_EQ(script.SpanOf(1, script.Pieces(1)[1]).end, 14u);
  RawColumns columns;
  columns.Map(script[0].raw, script[0].prepared);
  EXPECT_EQ(columns.ColumnAt(8), 11u);
  EXPECT_EQ(columns.ColumnAt(99), script[0].raw.size() + 1);
}

// The variable a class call writes is the one its class's table names.
TEST(ScriptFacts, ClassWritesComeFromTheClassTables) {
  ScriptFacts script(
      "strings:split, s, \"-\", parts\n"
      "fs:read:x, 1, text\n"
      "fs:read, 1\n"
      "fs:write, 1, text\n"
      "bass:init, name\n"
      "nothing:here, name\n");
  EXPECT_EQ(script[0].classWrite.name, "parts");
  EXPECT_EQ(script[0].classWrite.varType, type::kStringArray);
  EXPECT_EQ(script[1].classWrite.name, "text");
  EXPECT_EQ(script[1].classWrite.varType, type::kString);
  for (std::size_t i : {2, 3, 4, 5}) EXPECT_TRUE(script[i].classWrite.varType.empty()) << i;
}

TEST(ScriptFacts, BlockWordsAndJumps) {
  ScriptFacts script("if a == 1\n\tend\n end\nend = 2\njump, 2\njump, x+1\njump, 10\n#if\n");
  EXPECT_EQ(script[0].blockWord, "if");
  EXPECT_EQ(script[1].blockWord, "end");  // the run sees it, the gate of a skipped branch does not
  EXPECT_TRUE(script[1].tabbed);
  EXPECT_EQ(script[2].blockWord, "");  // spaces: no statement at all
  EXPECT_EQ(script[3].blockWord, "end");  // what the gate reads, whatever the line is
  EXPECT_EQ(script.TargetIndex(4), 1u);
  EXPECT_TRUE(script[5].jump);
  EXPECT_FALSE(script[5].jumpTarget);
  EXPECT_EQ(script[6].jumpTarget, 10);  // past the last line, the empty one after the line feed
  EXPECT_FALSE(script.TargetIndex(6));
  EXPECT_FALSE(script[7].code);
  EXPECT_FALSE(script[8].code);
}

}  // namespace
}  // namespace zarnith::facts
