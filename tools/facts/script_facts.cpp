// Reading a script's lines once, with the interpreter's own preparation,
// classifier and class tables.
#include "facts/script_facts.h"

#include <algorithm>

#include "classes/registry.h"
#include "core/completion.h"
#include "core/line.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/split.h"
#include "values/text.h"

namespace zarnith::facts {

bool HasOperator(std::string_view token) {
  if (!token.empty() && (token[0] == '-' || token[0] == '+')) token.remove_prefix(1);
  return token.find_first_of(kOperators) != std::string_view::npos;
}

std::optional<std::int64_t> LiteralInt(std::string_view token) {
  if (HasOperator(token)) return std::nullopt;
  return ParseIntLiteral(token);
}

namespace {

// Calls `visit` with the index in `raw` of each byte of `prepared`, in order,
// while it returns true. Preparation drops tabs and line feeds and makes one
// line feed of a backslash and the n after it, tabs between them or not; a
// line feed in the prepared text is such a pair, as the raw line has none of
// its own left.
template <typename Visit>
void ForEachPreparedByte(std::string_view raw, std::string_view prepared, Visit visit) {
  std::size_t i = 0;
  for (char byte : prepared) {
    while (i < raw.size() && (raw[i] == '\t' || raw[i] == '\n')) ++i;
    if (i == raw.size()) return;
    if (!visit(i)) return;
    if (byte == '\n' && raw[i] == '\\') {
      // On to the n of the pair.
      for (++i; i < raw.size() && raw[i] != 'n'; ++i) {
      }
    }
    ++i;
  }
}

// The block keyword a line as written begins with, or after its tabs, or
// none.
std::string_view BlockKeyword(std::string_view raw, bool afterTabs) {
  std::size_t start = afterTabs ? raw.find_first_not_of('\t') : 0;
  if (afterTabs && (start == 0 || start == std::string_view::npos)) return {};
  std::string_view word = BeforeFirst(raw.substr(start), ' ');
  return IsBlockKeyword(word) ? word : std::string_view{};
}

// What a class call writes, as the class's table of commands says.
ClassWrite ClassCallWrite(std::span<const std::string_view> pieces) {
  std::optional<ClassCall> call = SplitClassCall(pieces[0]);
  if (!call) return {};
  std::span<const Class> classes = BuiltinClassTable();
  auto entry = std::find_if(classes.begin(), classes.end(),
                            [&](const Class& c) { return c.prefix == call->className; });
  if (entry == classes.end()) return {};
  for (const ClassCommand& command : entry->commands) {
    if (command.name != call->command) continue;
    if (command.writesArgument == 0 || pieces.size() <= command.writesArgument) return {};
    return {pieces[command.writesArgument], command.writesType};
  }
  return {};
}

}  // namespace

ScriptFacts::ScriptFacts(std::string_view text) : lines_(SplitScriptLines(text)) {
  facts_.resize(lines_.size());
  // A prepared line is never longer than the line as written, so the views
  // into this buffer stay where they are while it fills.
  prepared_.reserve(text.size());
  Scratch scratch;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    ReadLine(i, scratch);
    if (facts_[i].shape.form == LineForm::kClassCall) facts_[i].classWrite = ClassCallWrite(Pieces(i));
  }
}

void ScriptFacts::ReadLine(std::size_t i, Scratch& scratch) {
  LineFacts& f = facts_[i];
  f.raw = lines_[i];
  if (f.raw.empty() || f.raw[0] == '#') return;
  f.code = true;
  PrepareLine(f.raw, scratch.prepared);
  std::size_t at = prepared_.size();
  prepared_ += scratch.prepared;
  f.prepared = std::string_view(prepared_).substr(at);
  f.shape = ClassifyLine(f.prepared, scratch.pieces, scratch.words);
  f.firstPiece = pieces_.size();
  f.pieceCount = scratch.pieces.size();
  pieces_.insert(pieces_.end(), scratch.pieces.begin(), scratch.pieces.end());
  f.firstWord = words_.size();
  f.wordCount = scratch.words.size();
  words_.insert(words_.end(), scratch.words.begin(), scratch.words.end());
  f.blockWord = BlockKeyword(f.raw, false);
  if (f.blockWord.empty() && f.shape.form == LineForm::kBlock) {
    f.blockWord = BlockKeyword(f.raw, true);
    f.tabbed = !f.blockWord.empty();
  }
  std::span<const std::string_view> pieces = scratch.pieces;
  if (f.shape.form == LineForm::kStatement && pieces[0] == "jump" && pieces.size() > 1) {
    f.jump = true;
    f.jumpTarget = LiteralInt(pieces[1]);
  }
}

std::span<const std::string_view> ScriptFacts::Pieces(std::size_t line) const {
  const LineFacts& f = facts_[line];
  return std::span<const std::string_view>(pieces_).subspan(f.firstPiece, f.pieceCount);
}

std::span<const std::string_view> ScriptFacts::Words(std::size_t line) const {
  const LineFacts& f = facts_[line];
  return std::span<const std::string_view>(words_).subspan(f.firstWord, f.wordCount);
}

std::optional<std::size_t> ScriptFacts::TargetIndex(std::size_t line) const {
  const std::optional<std::int64_t>& target = facts_[line].jumpTarget;
  if (!target || *target < 1 || static_cast<std::uint64_t>(*target) > lines_.size()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(*target - 1);
}

std::size_t ScriptFacts::ColumnAt(std::size_t line, std::size_t offset) const {
  const LineFacts& f = facts_[line];
  if (f.raw.size() == f.prepared.size()) return offset + 1;  // nothing was removed
  std::size_t column = f.raw.size() + 1;
  std::size_t at = 0;
  ForEachPreparedByte(f.raw, f.prepared, [&](std::size_t i) {
    if (at++ < offset) return true;
    column = i + 1;
    return false;
  });
  return column;
}

std::optional<std::size_t> ScriptFacts::OffsetOf(std::size_t line, std::string_view view) const {
  std::string_view prepared = facts_[line].prepared;
  auto begin = reinterpret_cast<std::uintptr_t>(prepared.data());
  auto at = reinterpret_cast<std::uintptr_t>(view.data());
  if (at < begin || at - begin > prepared.size()) return std::nullopt;
  return static_cast<std::size_t>(at - begin);
}

std::size_t ScriptFacts::Column(std::size_t line, std::string_view view) const {
  std::optional<std::size_t> offset = OffsetOf(line, view);
  return offset ? ColumnAt(line, *offset) : 1;
}

ByteSpan ScriptFacts::SpanOf(std::size_t line, std::string_view view) const {
  std::optional<std::size_t> offset = OffsetOf(line, view);
  if (!offset) return {};
  std::size_t begin = ColumnAt(line, *offset) - 1;
  std::size_t end = view.empty() ? begin : ColumnAt(line, *offset + view.size() - 1);
  return {begin, std::min(end, facts_[line].raw.size())};
}

void RawColumns::Map(std::string_view raw, std::string_view prepared) {
  columns_.clear();
  ForEachPreparedByte(raw, prepared, [this](std::size_t i) {
    columns_.push_back(i + 1);
    return true;
  });
  past_ = raw.size() + 1;
}

std::size_t RawColumns::ColumnAt(std::size_t offset) const {
  return offset < columns_.size() ? columns_[offset] : past_;
}

ChainWalk::Step ChainWalk::Next(std::size_t line, std::string_view word) {
  if (word == "if") {
    open_ = true;
    opener_ = line;
    return Step::kOpen;
  }
  if (word == "elif" || word == "else") {
    if (!open_) opener_ = line;
    open_ = true;
    return Step::kBranch;
  }
  if (word == "end") {
    open_ = false;
    return Step::kClose;
  }
  return Step::kNone;
}

}  // namespace zarnith::facts
