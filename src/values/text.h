// Small text helpers shared by the whole interpreter: integer literals, decimal
// formatting, splitting and clipped substrings over string_view.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarnith {

// A decimal integer literal: one optional sign, at least one ASCII digit,
// nothing else, within the signed 64-bit range.
std::optional<std::int64_t> ParseIntLiteral(std::string_view text);

// Room for the decimal text of any integer ("-9223372036854775808").
struct IntDigits {
  char bytes[20];
};

// Decimal text of an integer, "-" for negatives: written at the end of
// `digits`, which the view shows.
std::string_view FormatInt(std::int64_t value, IntDigits& digits);

// Decimal text of an integer, "-" for negatives.
std::string IntToText(std::int64_t value);
void AppendInt(std::string& out, std::int64_t value);

// The first `c` in `s` from `from` on, or npos. Lines and tokens are short:
// a plain loop costs less than a call to memchr.
inline std::size_t FindChar(std::string_view s, char c, std::size_t from = 0) {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (s[i] == c) return i;
  }
  return std::string_view::npos;
}

// A set of bytes tested with one table look-up, for scanning a line once for
// any of several characters.
class ByteSet {
 public:
  constexpr explicit ByteSet(std::string_view bytes) {
    for (char c : bytes) in_[static_cast<unsigned char>(c)] = true;
  }
  constexpr bool Has(char c) const { return in_[static_cast<unsigned char>(c)]; }
  // The first byte of `s` in the set, or the size of `s`.
  constexpr std::size_t Span(std::string_view s) const {
    std::size_t i = 0;
    while (i < s.size() && !Has(s[i])) ++i;
    return i;
  }

 private:
  bool in_[256] = {};
};

// s.substr(pos, n) that never throws: positions are clamped to the text.
inline std::string_view Clip(std::string_view s, std::size_t pos,
                             std::size_t n = std::string_view::npos) {
  if (pos > s.size()) pos = s.size();
  return s.substr(pos, n);
}

// The text before the first occurrence of c (the whole text without one).
inline std::string_view BeforeFirst(std::string_view s, char c) {
  return s.substr(0, FindChar(s, c));
}

// The text after the first occurrence of c up to the next occurrence of
// stop (or the end); empty optional when c does not occur.
std::optional<std::string_view> Bracketed(std::string_view s, char open, char close);

// The system's description of an error number with its first letter in lower
// case ("no such file or directory").
std::string ErrnoReason(int err);

// The system's description of a signal with its first letter in lower case
// ("killed", "terminated").
std::string SignalReason(int sig);

}  // namespace zarnith
