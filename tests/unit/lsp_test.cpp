#include <gtest/gtest.h>

#include <string>

#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "lsp/help_texts.h"
#include "lsp/jump_shift.h"
#include "lsp/text_position.h"
#include "state/interpreter.h"

namespace zarnith::lsp {
namespace {

// Hover and completion read one list; every command the registry publishes
// must be in it.
TEST(LspHelp, CoversTheRegistry) {
  Interpreter in;
  LoadBuiltinClasses(in);
  for (const Class& c : in.classes) {
    for (const ClassCommand& command : c.commands) {
      EXPECT_NE(FindHelp(c.prefix + ":" + std::string(command.name)), nullptr) << command.name;
    }
  }
}

TEST(LspPositions, Utf16Columns) {
  std::string_view line = "a\xC3\xA9\xF0\x9F\x98\x80z\xFF!";  // a é 😀 z, a stray byte, !
  EXPECT_EQ(UnitColumn(line, 3, Encoding::kUtf16), 2u);
  EXPECT_EQ(UnitColumn(line, 7, Encoding::kUtf16), 4u);
  EXPECT_EQ(UnitColumn(line, 9, Encoding::kUtf16), 6u);  // the stray byte is one unit
  EXPECT_EQ(ByteColumn(line, 4, Encoding::kUtf16), 7u);
  EXPECT_EQ(ByteColumn(line, 3, Encoding::kUtf16), 3u);  // inside the pair: its start
  EXPECT_EQ(ByteColumn(line, 99, Encoding::kUtf16), line.size());
  EXPECT_EQ(ByteColumn(line, 99, Encoding::kUtf8), line.size());
}

TEST(LspJumpShift, UndoneEditsLeaveNothingToUpdate) {
  LineOrigins origins;
  std::string text = "a\nb\nc";
  origins.Reset(text);
  std::string inserted = "a\nx\nb\nc";
  origins.Follow(text, {1, 0, 1, "x\n"}, inserted);
  EXPECT_TRUE(origins.LinesMoved());
  EXPECT_EQ(origins.Positions(), (std::vector<std::size_t>{0, 2, 3}));
  origins.Follow(inserted, {1, 0, 2, ""}, text);
  EXPECT_FALSE(origins.LinesMoved());
}

TEST(LspJumpShift, EditThatDoesNotFitStartsAfresh) {
  LineOrigins origins;
  origins.Reset("a\nb");
  origins.Follow("a\nb\nc\nd", {3, 0, 3, "x\n"}, "a\nb\nc\nx\nd");
  EXPECT_FALSE(origins.LinesMoved());
  EXPECT_EQ(origins.BaselineLines(), 5u);
}

}  // namespace
}  // namespace zarnith::lsp
