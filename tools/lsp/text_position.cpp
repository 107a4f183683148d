#include "lsp/text_position.h"

namespace zarnith::lsp {

namespace {

// Bytes of the UTF-8 sequence starting at `line[i]` and its UTF-16 units.
// A byte that starts no valid sequence counts as one unit of its own.
struct Sequence {
  std::size_t bytes = 1;
  std::size_t units = 1;
};

Sequence SequenceAt(std::string_view line, std::size_t i) {
  auto lead = static_cast<unsigned char>(line[i]);
  std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 0x6 ? 2 : lead >> 4 == 0xE ? 3
                       : lead >> 3 == 0x1E ? 4 : 1;
  if (i + length > line.size()) return {};
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) return {};
  }
  return {length, length == 4 ? std::size_t{2} : std::size_t{1}};
}

}  // namespace

std::size_t ByteColumn(std::string_view line, std::size_t units, Encoding e) {
  if (e == Encoding::kUtf8) return units < line.size() ? units : line.size();
  std::size_t i = 0;
  while (i < line.size() && units > 0) {
    Sequence s = SequenceAt(line, i);
    if (s.units > units) break;
    units -= s.units;
    i += s.bytes;
  }
  return i;
}

std::size_t UnitColumn(std::string_view line, std::size_t bytes, Encoding e) {
  if (bytes > line.size()) bytes = line.size();
  if (e == Encoding::kUtf8) return bytes;
  std::size_t units = 0;
  for (std::size_t i = 0; i < bytes;) {
    Sequence s = SequenceAt(line, i);
    units += s.units;
    i += s.bytes;
  }
  return units;
}

std::size_t OffsetAt(std::string_view text, Position p, Encoding e) {
  std::size_t start = 0;
  for (std::size_t line = 0; line < p.line; ++line) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return text.size();
    start = end + 1;
  }
  std::string_view rest = text.substr(start);
  return start + ByteColumn(rest.substr(0, rest.find('\n')), p.character, e);
}

}  // namespace zarnith::lsp
