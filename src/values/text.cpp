// Text helpers: integer literals, decimal formatting and system reasons.
#include "values/text.h"

#include <cctype>
#include <cerrno>
#include <bit>
#include <cstring>

namespace zarnith {

namespace {

// A word whose every byte is `byte`.
template <typename Word>
constexpr Word EveryByte(std::uint8_t byte) {
  return static_cast<Word>(~Word{0}) / 0xFF * byte;
}

// Digit characters read a word at once (the first in the lowest byte): true
// when each byte is one of '0' to '9'. Bytes 0x30 to 0x3F pass the first
// test; adding 6 moves 0x3A to 0x3F out.
template <typename Word>
bool AllDigits(Word chunk) {
  constexpr Word kHighHalves = EveryByte<Word>(0xF0);
  constexpr Word kZeros = EveryByte<Word>(0x30);
  return (chunk & kHighHalves) == kZeros &&
         ((chunk + EveryByte<Word>(0x06)) & kHighHalves) == kZeros;
}

// Their number: neighbouring digits are combined in pairs, then fours, then
// (in a 64-bit word) eights.
template <typename Word>
Word DigitsValue(Word chunk) {
  Word v = chunk - EveryByte<Word>(0x30);
  v = (v * 10 + (v >> 8)) & (static_cast<Word>(~Word{0}) / 0xFFFF * 0x00FF);
  v = (v * 100 + (v >> 16)) & (static_cast<Word>(~Word{0}) / 0xFFFFFFFF * 0xFFFF);
  if constexpr (sizeof(Word) == 8) v = (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
  return v;
}

// The word at `p`.
template <typename Word>
Word WordAt(const char* p) {
  Word word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Up to 18 digits, which always fit.
std::optional<std::uint64_t> ShortDigits(const char* p, const char* end) {
  std::uint64_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; end - p >= 8; p += 8) {
      const auto chunk = WordAt<std::uint64_t>(p);
      if (!AllDigits(chunk)) return std::nullopt;
      value = value * 100000000 + DigitsValue(chunk);
    }
    if (end - p >= 4) {
      const auto chunk = WordAt<std::uint32_t>(p);
      if (!AllDigits(chunk)) return std::nullopt;
      value = value * 10000 + DigitsValue(chunk);
      p += 4;
    }
  }
  for (; p != end; ++p) {
    unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit > 9) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

std::optional<std::int64_t> ParseIntLiteral(std::string_view text) {
  // Runs for nearly every token of every line, so it checks the shape and the
  // range in one pass.
  const char* p = text.data();
  const char* const end = p + text.size();
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end) return std::nullopt;
  std::optional<std::uint64_t> value;
  if (end - p <= 18) {
    value = ShortDigits(p, end);
  } else {
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    value = 0;
    for (; p != end; ++p) {
      unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (digit > 9 || *value > (limit - digit) / 10) return std::nullopt;
      *value = *value * 10 + digit;
    }
  }
  if (!value) return std::nullopt;
  return static_cast<std::int64_t>(negative ? 0 - *value : *value);
}

std::string_view FormatInt(std::int64_t value, IntDigits& digits) {
  // Two digits a step: results of arithmetic are formatted on every rewrite.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char* const end = digits.bytes + sizeof digits.bytes;
  char* p = end;
  std::uint64_t rest = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  while (rest >= 100) {
    const std::uint64_t quotient = rest / 100;
    const char* pair = kPairs + 2 * (rest - quotient * 100);
    rest = quotient;
    *--p = pair[1];
    *--p = pair[0];
  }
  if (rest >= 10) {
    *--p = kPairs[2 * rest + 1];
    *--p = kPairs[2 * rest];
  } else {
    *--p = static_cast<char>('0' + rest);
  }
  if (value < 0) *--p = '-';
  return std::string_view(p, static_cast<std::size_t>(end - p));
}

void AppendInt(std::string& out, std::int64_t value) {
  IntDigits digits;
  std::string_view text = FormatInt(value, digits);
  out.append(text.begin(), text.end());
}

std::string IntToText(std::int64_t value) {
  std::string out;
  AppendInt(out, value);
  return out;
}

std::optional<std::string_view> Bracketed(std::string_view s, char open, char close) {
  std::size_t start = FindChar(s, open);
  if (start == std::string_view::npos) return std::nullopt;
  std::string_view rest = s.substr(start + 1);
  return rest.substr(0, FindChar(rest, close));
}

static std::string LowerFirst(const char* text) {
  std::string out = text ? text : "";
  if (!out.empty()) out[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[0])));
  return out;
}

namespace {

// strerror_r comes in two forms: GNU's returns the text, POSIX's (the one of
// the WebAssembly C library) fills the buffer and returns 0.
// Only one of the two is used in a given build.
[[maybe_unused]] const char* ErrorText(const char* text, const char*) { return text; }
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}

}  // namespace

std::string ErrnoReason(int err) {
  // The words scripts see on Linux, where another C library words them
  // otherwise (the WebAssembly one says "No file descriptors available").
  switch (err) {
    case EMFILE:
      return "too many open files";
    case EXDEV:
      return "invalid cross-device link";
    default:
      break;
  }
  char buffer[256] = "";
  return LowerFirst(ErrorText(strerror_r(err, buffer, sizeof buffer), buffer));
}

std::string SignalReason(int sig) { return LowerFirst(strsignal(sig)); }

}  // namespace zarnith
