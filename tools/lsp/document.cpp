#include "lsp/document.h"

#include <algorithm>
#include <utility>

namespace zarnith::lsp {

Document::Document(std::string text, std::int64_t version)
    : text_(std::move(text)), version_(version) {
  origins_.Reset(text_);
}

const facts::ScriptFacts& Document::Facts() {
  if (!facts_) facts_.emplace(text_);
  return *facts_;
}

void Document::Reopen(std::string text, std::int64_t version) {
  facts_.reset();
  text_ = std::move(text);
  version_ = version;
  origins_.Reset(text_);
}

void Document::Replace(std::size_t from, std::size_t to, std::string_view text) {
  from = std::min(from, text_.size());
  to = std::clamp(to, from, text_.size());
  LineEdit edit{from, to, text};
  std::string before = text_;
  facts_.reset();
  text_.replace(from, to - from, text);
  origins_.Follow(before, edit, text_);
}

void Document::ReplaceAll(std::string text) {
  facts_.reset();
  std::string before = std::exchange(text_, std::move(text));
  origins_.FollowWhole(before, text_);
}

}  // namespace zarnith::lsp
