// The answers of the language server about one document: diagnostics, hover,
// definition, references, completion, symbols and the jump-target update.
// Each takes the document and a position and builds the protocol's JSON.
#pragma once

#include <cstdint>
#include <string>
#include <nlohmann/json.hpp>

#include "lsp/jump_shift.h"
#include "lsp/script_map.h"
#include "lsp/text_position.h"

namespace zarnith::lsp {

using nlohmann::json;

inline constexpr std::string_view kUpdateJumpsCommand = "zarnith.updateJumpTargets";

// An open document. Its map points into its text, so it is made again
// whenever the text changes, and a document never moves.
struct Document {
  Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  std::string uri;
  std::string text;
  ScriptMap map;
  std::int64_t version = 0;
  LineOrigins origins;
};

// What one request sees: the document, its lines mapped, the agreed encoding.
struct View {
  View(const Document& d, Encoding e) : doc(d), map(d.map), encoding(e) {}
  const Document& doc;
  const ScriptMap& map;
  Encoding encoding;
};

json Diagnostics(const View& v);
json Hover(const View& v, Position at);
json Definition(const View& v, Position at);
json References(const View& v, Position at, bool includeLine);
json Completion(const View& v, Position at);
json DocumentSymbols(const View& v);
json CodeActions(const View& v);

// The workspace edit of a planned jump shift, and its title
// ("Update 3 jump targets").
json ShiftEdit(const View& v, const JumpShift& shift);
std::string ShiftTitle(std::size_t targets);
// The message that tells which computed targets were left as they are; empty
// when there are none.
std::string ComputedJumpsMessage(const JumpShift& shift);

}  // namespace zarnith::lsp
