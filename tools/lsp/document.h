// An open document of the language server: its text and version, the map of
// its lines and where each line came from (for the jump-target update).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lsp/jump_shift.h"
#include "lsp/script_map.h"

namespace zarnith::lsp {

// The map points into the text, so it is dropped before the text changes and
// made again when it is next asked for: a burst of edits maps the text once,
// and a failed edit never leaves it pointing at freed bytes.
class Document {
 public:
  Document(std::string text, std::int64_t version);
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  const std::string& text() const { return text_; }
  std::int64_t version() const { return version_; }
  void SetVersion(std::int64_t version) { version_ = version; }
  const LineOrigins& origins() const { return origins_; }

  // The lines of the current text, mapped.
  const ScriptMap& Map();

  // Opened again: a new text whose jump targets are taken as right.
  void Reopen(std::string text, std::int64_t version);
  // Bytes [from, to) of the text replaced by `text`; offsets past the end
  // stand for the end, and an end before the start for the start.
  void Replace(std::size_t from, std::size_t to, std::string_view text);
  void ReplaceAll(std::string text);
  // The jump targets of `text` are right as they stand.
  void ResetOrigins(std::string_view text) { origins_.Reset(text); }

 private:
  std::string text_;
  std::int64_t version_ = 0;
  std::optional<ScriptMap> map_;
  LineOrigins origins_;
};

}  // namespace zarnith::lsp
