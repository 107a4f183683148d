// An open document of the language server: its text and version, the facts
// of its lines and where each line came from (for the jump-target update).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lsp/jump_shift.h"
#include "facts/script_facts.h"

namespace zarnith::lsp {

// The facts point into the text, so they are dropped before the text changes
// and read again when they are next asked for: a burst of edits reads the
// text once, the diagnostics and every request about that text share what
// was read, and a failed edit never leaves the facts pointing at freed bytes.
class Document {
 public:
  Document(std::string text, std::int64_t version);
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  const std::string& text() const { return text_; }
  std::int64_t version() const { return version_; }
  void SetVersion(std::int64_t version) { version_ = version; }
  const LineOrigins& origins() const { return origins_; }

  // The facts of the current text.
  const facts::ScriptFacts& Facts();

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
  std::optional<facts::ScriptFacts> facts_;
  LineOrigins origins_;
};

}  // namespace zarnith::lsp
