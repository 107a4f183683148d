// Text helpers: integer literals, decimal formatting and system reasons.
#include "values/text.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace zarnith {

std::optional<std::int64_t> ParseIntLiteral(std::string_view text) {
  // Runs for nearly every token of every line, so it checks the shape and the
  // range in one pass.
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return std::nullopt;
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  // Up to 18 digits always fit; only longer texts need the range check.
  const bool mayOverflow = text.size() - i > 18;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
    if (digit > 9) return std::nullopt;
    if (mayOverflow && value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return static_cast<std::int64_t>(negative ? 0 - value : value);
}

void AppendInt(std::string& out, std::int64_t value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;
  out.append(buffer, end);
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
