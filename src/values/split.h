// The ways a prepared line is cut: argument pieces at commas, words at single
// spaces, and the three-way split at the first two spaces. All pieces are
// views into the line; the line must not change while they are in use.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarnith {

// Cut at every comma, empty pieces kept. Every piece after the first that
// begins with a space loses that one space; piece 0 keeps its spaces, so an
// indented line matches no statement.
void SplitPieces(std::string_view line, std::vector<std::string_view>& pieces);

// Cut at every single space, empty words kept.
void SplitWords(std::string_view line, std::vector<std::string_view>& words);

// Cut at the first two spaces only: at most three words, the third being the
// rest of the line.
struct ThreeWords {
  std::string_view first, second, rest;
  int count = 0;
};
ThreeWords SplitThree(std::string_view line);

// A script cut at its line feeds: the lines `jump` counts from 1. A line
// feed at the end gives one more, empty, line.
std::vector<std::string_view> SplitScriptLines(std::string_view text);

// Joins pieces[from..] with ", ".
std::string JoinPieces(std::span<const std::string_view> pieces, std::size_t from);

}  // namespace zarnith
