// The strings class: atoi, itoa, index and split.
#include "classes/builtin/strings.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "classes/args.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/split.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

bool stringsAtoi(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  auto number = ParseIntLiteral(ResolveShared(in, args[1]));
  if (!number) {
    PrintError(in, msg::kNotAnInt);
    SetReturned(in, std::int64_t{-1});
    return false;
  }
  SetReturned(in, *number);
  return true;
}

bool stringsItoa(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kInt, msg::kFirstNotInt)) return true;
  SetReturned(in, IntToText(ArgInt(in, args[1])));
  return true;
}

// The haystack of index: a string variable (its own text, not a copy), or a
// quoted literal that the commas of the line cut into pieces, joined back
// with ", ".
std::optional<Text> stringsHaystack(Interpreter& in, ArgList args) {
  std::string_view varType = GetTypeOfVar(in, args[2]);
  if (varType == type::kString) return ResolveShared(in, args[2]);
  if (varType != type::kUnknown) return std::nullopt;
  std::string joined = JoinPieces(args, 2);
  if (joined.size() > 1 && joined.front() == '"' && joined.back() == '"') {
    return Text(StringToText(joined));
  }
  return std::nullopt;
}

// The needle of index: the text of a string or of a bare word, which is taken
// literally; an integer or an array is refused.
std::optional<Text> stringsNeedle(Interpreter& in, std::string_view token) {
  std::string_view varType = GetTypeEx(in, token);
  if (varType != type::kString && varType != type::kUnknown) return std::nullopt;
  return ResolveShared(in, token);
}

bool stringsIndex(Interpreter& in, ArgList args) {
  std::optional<Text> haystack = stringsHaystack(in, args);
  if (!haystack) {
    PrintError(in, msg::kOneNotString);
    return false;
  }
  std::optional<Text> needle = stringsNeedle(in, args[1]);
  if (!needle) {
    PrintError(in, msg::kOneNotString);
    return false;
  }
  std::size_t at = haystack->view().find(needle->view());
  SetReturned(in, at == std::string_view::npos ? std::int64_t{-1} : static_cast<std::int64_t>(at));
  return true;
}

// Length of the UTF-8 sequence at the start of `s`, or 0 when it is invalid.
std::size_t stringsUtf8Length(std::string_view s) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(0);
  if (b0 < 0x80) return 1;
  std::size_t length;
  std::uint32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  std::uint32_t code = b0 & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::vector<std::string> stringsSplitCharacters(std::string_view text) {
  std::vector<std::string> pieces;
  while (!text.empty()) {
    std::size_t length = stringsUtf8Length(text);
    if (length == 0) {
      pieces.emplace_back("\xEF\xBF\xBD");  // U+FFFD for a byte that is not UTF-8
      length = 1;
    } else {
      pieces.emplace_back(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return pieces;
}

// Flattened: the copy of each piece is the loop's whole work, and left to
// itself the compiler calls out of line for it.
[[gnu::flatten]] std::vector<std::string> stringsSplitOn(std::string_view text, std::string_view separator) {
  if (separator.empty()) return stringsSplitCharacters(text);
  std::vector<std::string> pieces;
  for (;;) {
    std::size_t at = text.find(separator);
    pieces.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + separator.size());
  }
}

// strings:split stores the pieces in the string array that this argument
// names.
constexpr std::size_t kSplitInto = 3;

bool stringsSplit(Interpreter& in, ArgList args) {
  if (!ArgTypes(in, args, {1, 2}, type::kString, msg::kOneNotString)) return true;
  if (!IsBareName(args[kSplitInto])) {
    PrintError(in, msg::kOneNotString);
    return true;
  }
  Text text = ResolveShared(in, args[1]);
  Text separator = ResolveShared(in, args[2]);
  auto pieces = std::make_shared<std::vector<std::string>>(stringsSplitOn(text, separator));
  auto count = static_cast<std::int64_t>(pieces->size());
  StoreIn(in.stores, in.stores.stringArrays, args[kSplitInto], std::move(pieces));
  SetReturned(in, count);
  return true;
}

constexpr std::array<ClassCommand, 4> kCommands{{
    {"atoi", stringsAtoi, 2, msg::kMissedStringArgument},
    {"itoa", stringsItoa, 2, msg::kMissedFirstArgument},
    {"index", stringsIndex, 3, msg::kMissedFewArguments},
    {"split", stringsSplit, 4, msg::kMissedFewArguments, kSplitInto, type::kStringArray},
}};

}  // namespace

std::span<const ClassCommand> StringsCommands() { return kCommands; }

bool StringsClassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kCommands, true);
}

}  // namespace zarnith
