#include "core/completion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/statements.h"
#include "values/conditions.h"

namespace zarnith {
namespace {

using Kind = CompletionPlace::Kind;

TEST(Completion, ReadsThePlaceBeforeTheCursor) {
  struct Case {
    std::string_view before;
    Kind kind;
    std::string_view className;
    std::size_t wordStart;
  };
  const Case cases[] = {
      {"", Kind::kLineStart, "", 0},
      {"\t\tpri", Kind::kLineStart, "", 2},  // tabs are dropped before a line runs
      {"use, \"cr", Kind::kClassName, "", 6},
      {"use,\"", Kind::kClassName, "", 5},
      {"\tfs:op", Kind::kCommand, "fs", 4},
      {"print, co", Kind::kValue, "", 7},
      {"if a+co", Kind::kValue, "", 5},
      {"x = fs:op", Kind::kValue, "", 7},   // not a class call: its first piece holds blanks
      {"use, \"a b", Kind::kValue, "", 8},  // no class name has a blank
      {"crypto :md", Kind::kValue, "", 8},
  };
  for (const Case& c : cases) {
    CompletionPlace place = FindCompletionPlace(c.before);
    EXPECT_EQ(place.kind, c.kind) << c.before;
    EXPECT_EQ(place.className, c.className) << c.before;
    EXPECT_EQ(place.wordStart, c.wordStart) << c.before;
  }
}

std::vector<std::string_view> Names(std::string_view before) {
  std::vector<std::string_view> names;
  CompletionPlace place = FindCompletionPlace(before);
  for (const CompletionName& n : CompletionNames(BuiltinClassTable(), place)) names.push_back(n.name);
  return names;
}

TEST(Completion, NamesComeFromTheInterpreterTables) {
  std::vector<std::string_view> keywords = Names("");
  for (std::string_view k : keywords) {
    EXPECT_TRUE(FindStatement(k) || IsBlockKeyword(k) || k == "array") << k;
  }
  for (std::string_view k : StatementKeywords()) {
    EXPECT_NE(std::find(keywords.begin(), keywords.end(), k), keywords.end()) << k;
  }
  EXPECT_EQ(Names("use, \""),
            (std::vector<std::string_view>{"hello", "crypto", "fs", "strings", "os", "bass"}));
  EXPECT_EQ(Names("bass:").size(), 9u);
  EXPECT_TRUE(Names("nosuchclass:").empty());
  EXPECT_TRUE(Names("print, x").empty());  // variables are the caller's
}

}  // namespace
}  // namespace zarnith
