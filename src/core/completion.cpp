// Completion: where the cursor stands in a line, and the names that fit there.
#include "core/completion.h"

#include <algorithm>
#include <array>
#include <optional>

#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/statements.h"

namespace zarnith {

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool AllNameChars(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsNameChar);
}

// The start of the name that ends the text.
std::size_t NameStart(std::string_view text) {
  std::size_t start = text.size();
  while (start > 0 && IsNameChar(text[start - 1])) --start;
  return start;
}

// `use,` then blanks and a double quote; the name after it, when the line
// reads so far.
std::optional<std::size_t> ClassNameStart(std::string_view line) {
  if (!line.starts_with("use,")) return std::nullopt;
  std::size_t quote = line.find_first_not_of(' ', 4);
  if (quote == std::string_view::npos || line[quote] != '"') return std::nullopt;
  if (!AllNameChars(line.substr(quote + 1))) return std::nullopt;
  return quote + 1;
}

constexpr std::array<std::string_view, 5> kOtherLineKeywords{"if", "elif", "else", "end", "array"};

}  // namespace

CompletionPlace FindCompletionPlace(std::string_view beforeCursor) {
  using Kind = CompletionPlace::Kind;
  std::size_t indent = beforeCursor.find_first_not_of('\t');
  if (indent == std::string_view::npos) indent = beforeCursor.size();
  std::string_view line = beforeCursor.substr(indent);
  if (std::optional<std::size_t> start = ClassNameStart(line)) {
    return {Kind::kClassName, {}, indent + *start};
  }
  std::size_t colon = line.find(':');
  if (colon != std::string_view::npos && colon > 0 && AllNameChars(line.substr(0, colon)) &&
      AllNameChars(line.substr(colon + 1))) {
    return {Kind::kCommand, line.substr(0, colon), indent + colon + 1};
  }
  if (line.find_first_of(" ,") == std::string_view::npos) return {Kind::kLineStart, {}, indent};
  return {Kind::kValue, {}, indent + NameStart(line)};
}

std::span<const std::string_view> LineKeywords() {
  static const std::vector<std::string_view> keywords = [] {
    std::span<const std::string_view> statements = StatementKeywords();
    std::vector<std::string_view> all(statements.begin(), statements.end());
    all.insert(all.end(), kOtherLineKeywords.begin(), kOtherLineKeywords.end());
    return all;
  }();
  return keywords;
}

std::vector<CompletionName> CompletionNames(std::span<const Class> classes,
                                            const CompletionPlace& place) {
  using Kind = CompletionName::Kind;
  std::vector<CompletionName> names;
  switch (place.kind) {
    case CompletionPlace::Kind::kClassName:
      for (const Class& c : classes) names.push_back({c.prefix, Kind::kClass});
      break;
    case CompletionPlace::Kind::kCommand:
      for (const Class& c : classes) {
        if (c.prefix != place.className) continue;
        for (const ClassCommand& command : c.commands) {
          names.push_back({command.name, Kind::kCommand});
        }
      }
      break;
    case CompletionPlace::Kind::kLineStart:
      for (std::string_view keyword : LineKeywords()) names.push_back({keyword, Kind::kKeyword});
      break;
    case CompletionPlace::Kind::kValue:
      break;
  }
  return names;
}

std::span<const Class> BuiltinClassTable() {
  static const std::vector<Class> table = [] {
    Interpreter in;
    LoadBuiltinClasses(in);
    return in.classes;
  }();
  return table;
}

}  // namespace zarnith
