// Text helpers: integer literals, decimal formatting and system reasons.
#include "values/text.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace zarnith {

std::optional<std::int64_t> ParseIntLiteral(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // from_chars accepts a leading "-" but not a "+".
  std::string_view number = text[0] == '+' ? text.substr(1) : text;
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
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
  std::size_t start = s.find(open);
  if (start == std::string_view::npos) return std::nullopt;
  std::string_view rest = s.substr(start + 1);
  return rest.substr(0, rest.find(close));
}

static std::string LowerFirst(const char* text) {
  std::string out = text ? text : "";
  if (!out.empty()) out[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[0])));
  return out;
}

std::string ErrnoReason(int err) {
  char buffer[256];
  return LowerFirst(strerror_r(err, buffer, sizeof buffer));
}

std::string SignalReason(int sig) { return LowerFirst(strsignal(sig)); }

}  // namespace zarnith
