#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/completion.h"
#include "lsp/features.h"
#include "lsp/help_texts.h"
#include "lsp/jump_shift.h"
#include "lsp/protocol.h"
#include "lsp/server.h"
#include "lsp/transport.h"
#include "state/interpreter.h"

namespace zarnith::lsp {
namespace {

using proto::json;
using proto::LineTable;
using proto::Position;
using proto::PositionEncoding;

// Hover and completion read one list; every keyword and every command the
// registry publishes must be in it.
TEST(LspHelp, CoversTheRegistry) {
  Interpreter in;
  LoadBuiltinClasses(in);
  for (const Class& c : in.classes) {
    for (const ClassCommand& command : c.commands) {
      EXPECT_NE(FindHelp(c.prefix + ":" + std::string(command.name)), nullptr) << command.name;
    }
  }
  for (std::string_view keyword : LineKeywords()) EXPECT_NE(FindHelp(keyword), nullptr) << keyword;
}

TEST(LspPositions, Utf16Columns) {
  std::string_view line = "a\xC3\xA9\xF0\x9F\x98\x80z\xFF!";  // a é 😀 z, a stray byte, !
  LineTable utf16(line, PositionEncoding::kUtf16), utf8(line, PositionEncoding::kUtf8);
  EXPECT_EQ(utf16.PositionAt(3), (Position{0, 2}));
  EXPECT_EQ(utf16.PositionAt(7), (Position{0, 4}));
  EXPECT_EQ(utf16.PositionAt(9), (Position{0, 6}));  // the stray byte is one unit
  EXPECT_EQ(utf16.Offset({0, 4}), 7u);
  EXPECT_EQ(utf16.Offset({0, 3}), 3u);  // inside the pair: its start
  EXPECT_EQ(utf16.Offset({0, 99}), line.size());
  EXPECT_EQ(utf8.Offset({0, 99}), line.size());
  EXPECT_EQ(utf8.PositionAt(7), (Position{0, 7}));
}

// The client ends lines at "\r\n", "\n" and a lone "\r"; the script's own
// lines end at line feeds only, and positions are counted the client's way.
TEST(LspPositions, EveryLineEnd) {
  std::string_view text = "a\r\nbb\rc\n\rd";
  LineTable lines(text, PositionEncoding::kUtf16);
  EXPECT_EQ(lines.Offset({1, 0}), 3u);
  EXPECT_EQ(lines.Offset({1, 9}), 5u);  // the end of "bb", before its "\r"
  EXPECT_EQ(lines.Offset({2, 1}), 7u);
  EXPECT_EQ(lines.Offset({3, 0}), 8u);  // the empty line between "\n" and "\r"
  EXPECT_EQ(lines.Offset({4, 1}), 10u);
  EXPECT_EQ(lines.Offset({5, 0}), std::nullopt);
  EXPECT_EQ(lines.ClampedOffset({5, 0}), text.size());
  EXPECT_EQ(lines.PositionAt(2), (Position{0, 1}));  // between "\r" and "\n"
  EXPECT_EQ(lines.PositionAt(6), (Position{2, 0}));
  EXPECT_EQ(lines.PositionAt(99), (Position{4, 1}));
}

TEST(LspJumpShift, UndoneEditsLeaveNothingToUpdate) {
  LineOrigins origins;
  std::string text = "a\nb\nc";
  origins.Reset(text);
  std::string inserted = "a\nx\nb\nc";
  origins.Follow(text, {2, 2, "x\n"}, inserted);
  EXPECT_TRUE(origins.LinesMoved());
  EXPECT_EQ(origins.Positions(), (std::vector<std::size_t>{0, 2, 3}));
  origins.Follow(inserted, {2, 4, ""}, text);
  EXPECT_FALSE(origins.LinesMoved());
}

TEST(LspJumpShift, EditThatDoesNotFitStartsAfresh) {
  LineOrigins origins;
  origins.Reset("a\nb");
  origins.Follow("a\nb\nc\nd", {6, 6, "x\n"}, "a\nb\nc\nx\nd");
  EXPECT_FALSE(origins.LinesMoved());
  EXPECT_EQ(origins.BaselineLines(), 5u);
}

// Loops nested thousands deep give an outline that still fits on the stack
// and in a client: past the deepest level, outlines are listed side by side.
TEST(LspSymbols, DeepLoopsAreFlattened) {
  constexpr int kLoops = 200;
  std::string text;
  for (int i = 0; i < kLoops; ++i) text += "a = 1\n";
  for (int i = kLoops; i > 0; --i) text += "jump, " + std::to_string(i) + "\n";
  Document doc(text, 1);
  std::vector<Outline> outline = DocumentSymbols(View(doc));
  std::size_t depth = 0, total = 0;
  for (const std::vector<Outline>* level = &outline; !level->empty();
       level = &level->front().children) {
    ++depth;
    total += level->size();
  }
  EXPECT_EQ(depth, kMaxOutlineDepth);
  EXPECT_EQ(total, std::size_t{kLoops});
}

// Broken framing costs only the broken message: the reader goes on at the
// next Content-Length field, wherever the broken body ended.
TEST(LspTransport, FindsTheNextMessageAfterBrokenFraming) {
  const std::string good = "Content-Length: 2\r\n\r\n[]";
  using namespace std::string_literals;
  for (std::string broken : {"Content-Length: +2\r\n\r\n{}"s, "Content-Type: x\r\n\r\n{}"s,
                             "Content-Length: 2\0\r\n\r\n{}"s, "Content-Length: 2\n\n{}"s,
                             "Content-Length: 1\r\n\r\n{}"s, "Content-Length: 3\r\n\r\n{}"s}) {
    MessageReader reader(-1);
    reader.FeedText(broken + good + good);
    std::vector<std::string> bodies;
    std::string body;
    for (MessageReader::Result r; (r = reader.Next(body)) != MessageReader::Result::kEnd;) {
      if (r == MessageReader::Result::kMessage && body == "[]") bodies.push_back(body);
    }
    // A body one byte too long swallows the start of the next header.
    EXPECT_EQ(bodies.size(), broken.ends_with("3\r\n\r\n{}") ? 1u : 2u) << broken;
  }
}

struct ServerSession {
  std::vector<json> sent;
  Server server{[this](std::string_view m) { sent.push_back(json::parse(m)); }};

  void Send(json message) {
    message["jsonrpc"] = "2.0";
    server.Handle(message.dump());
  }
  ServerSession() { Send({{"id", 0}, {"method", "initialize"}, {"params", json::object()}}); }
  std::vector<json> Published() {
    std::vector<json> out;
    for (const json& m : sent) {
      if (m.value("method", "") == "textDocument/publishDiagnostics") out.push_back(m["params"]);
    }
    return out;
  }
};

// A burst of changes is checked once, for its last text, when the server
// has nothing left to read.
TEST(LspServer, BurstOfChangesIsPublishedOnce) {
  ServerSession s;
  s.Send({{"method", "textDocument/didOpen"},
          {"params", {{"textDocument", {{"uri", "file:///a"}, {"version", 1}, {"text", ""}}}}}});
  for (int version = 2; version <= 50; ++version) {
    Position end{0, static_cast<std::uint32_t>(version - 2) * 6};
    json range = {{"start", {{"line", end.line}, {"character", end.character}}},
                  {"end", {{"line", end.line}, {"character", end.character}}}};
    s.Send({{"method", "textDocument/didChange"},
            {"params", {{"textDocument", {{"uri", "file:///a"}, {"version", version}}},
                        {"contentChanges", {{{"range", range}, {"text", "prnt, "}}}}}}});
  }
  EXPECT_TRUE(s.Published().empty());
  s.server.Idle();
  s.server.Idle();
  ASSERT_EQ(s.Published().size(), 1u);
  json published = s.Published()[0];
  EXPECT_EQ(published["version"], 50);
  ASSERT_EQ(published["diagnostics"].size(), 1u);
  EXPECT_EQ(published["diagnostics"][0]["range"]["end"]["character"], 49 * 6);
}

}  // namespace
}  // namespace zarnith::lsp
