// The answers of the language server about one document: diagnostics, hover,
// definition, references, completion, symbols and the jump-target update.
// They speak of the document's own text: a place is a byte offset into it,
// and the server turns offsets into the protocol's positions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "facts/script_facts.h"
#include "lsp/document.h"
#include "lsp/jump_shift.h"

namespace zarnith::lsp {

inline constexpr std::string_view kUpdateJumpsCommand = "zarnith.updateJumpTargets";

// Bytes [begin, end) of a document's text.
struct TextSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// What one request sees: the document and the facts of its lines.
struct View {
  explicit View(Document& d) : doc(d), script(d.Facts()) {}
  const Document& doc;
  const facts::ScriptFacts& script;
};

// What zarnith-check reports about a text, placed in it. Notes are the
// related lines of the finding before them.
struct Finding {
  struct Note {
    TextSpan span;
    std::string message;
  };
  TextSpan span;
  check::Severity severity = check::Severity::kWarning;
  std::string code;
  std::string message;
  std::vector<Note> notes;
};
std::vector<Finding> Diagnostics(const View& v);

struct HoverText {
  std::string markdown;
  std::optional<TextSpan> span;  // the statement's name, when hovered on it
};
std::optional<HoverText> Hover(const View& v, std::size_t offset);

// The start of the line a jump lands on.
std::optional<TextSpan> Definition(const View& v, std::size_t offset);
// The targets of the jumps to the line at `offset` (and that line's start).
std::vector<TextSpan> References(const View& v, std::size_t offset, bool includeLine);

enum class SuggestionKind { kStatement, kClass, kCommand, kVariable };
struct Suggestion {
  std::string label;
  SuggestionKind kind = SuggestionKind::kStatement;
  std::string detail;
  std::string documentation;  // markdown
};
std::vector<Suggestion> Completion(const View& v, std::size_t offset);

// A part of the document's outline: an if chain, one of its branches, or a
// line that jumps land on.
enum class OutlineKind { kChain, kBranch, kJumpTarget };
struct Outline {
  std::string name;
  std::string detail;
  OutlineKind kind = OutlineKind::kChain;
  TextSpan span;      // its whole lines
  TextSpan nameSpan;  // the line that names it
  std::vector<Outline> children;
};
// Outlines nest at most this deep; the ones further in are listed beside
// each other. Editors ask for the outline when a file opens, and a script
// whose loops nest thousands deep must still get one.
inline constexpr std::size_t kMaxOutlineDepth = 32;
std::vector<Outline> DocumentSymbols(const View& v);

// The title of the action that updates the jump targets ("Update 3 jump
// targets"), or none when no target needs it.
std::optional<std::string> UpdateJumpsTitle(const View& v);

struct TargetReplacement {
  TextSpan span;
  std::string text;
};
// The target edits of a planned jump shift.
std::vector<TargetReplacement> ShiftReplacements(const View& v, const JumpShift& shift);
std::string ShiftTitle(std::size_t targets);
// The message that tells which computed targets were left as they are; empty
// when there are none.
std::string ComputedJumpsMessage(const JumpShift& shift);

}  // namespace zarnith::lsp
