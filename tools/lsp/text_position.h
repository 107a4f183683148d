// Positions in a document as the protocol counts them (a line and a column
// in UTF-16 code units, or in bytes when both sides agreed on UTF-8) and the
// byte offsets the server works with. Lines end at line feeds, as the
// interpreter reads them.
#pragma once

#include <cstddef>
#include <string_view>

namespace zarnith::lsp {

enum class Encoding { kUtf16, kUtf8 };

struct Position {
  std::size_t line = 0;
  std::size_t character = 0;
};

// Byte column of `units` code units into `line`, clamped to the line's end
// (a column inside a character counts as that character's start).
std::size_t ByteColumn(std::string_view line, std::size_t units, Encoding e);
// Code units of the first `bytes` bytes of `line`.
std::size_t UnitColumn(std::string_view line, std::size_t bytes, Encoding e);

// The byte offset of a position; a line past the end is the end of the text.
std::size_t OffsetAt(std::string_view text, Position p, Encoding e);

}  // namespace zarnith::lsp
