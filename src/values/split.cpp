// Splitting a script into lines and a prepared line into pieces and words.
#include "values/split.h"

#include <algorithm>
#include <string>

namespace zarnith {

static void SplitAt(std::string_view line, char sep, std::vector<std::string_view>& out) {
  out.clear();
  for (;;) {
    std::size_t at = line.find(sep);
    out.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return;
    line.remove_prefix(at + 1);
  }
}

std::vector<std::string_view> SplitScriptLines(std::string_view text) {
  std::vector<std::string_view> lines;
  SplitAt(text, '\n', lines);
  return lines;
}

void SplitPieces(std::string_view line, std::vector<std::string_view>& pieces) {
  SplitAt(line, ',', pieces);
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    if (!pieces[i].empty() && pieces[i][0] == ' ') pieces[i].remove_prefix(1);
  }
}

void SplitWords(std::string_view line, std::vector<std::string_view>& words) {
  SplitAt(line, ' ', words);
}

ThreeWords SplitThree(std::string_view line) {
  ThreeWords w;
  std::size_t a = line.find(' ');
  w.first = line.substr(0, a);
  w.count = 1;
  if (a == std::string_view::npos) return w;
  std::string_view tail = line.substr(a + 1);
  std::size_t b = tail.find(' ');
  w.second = tail.substr(0, b);
  w.count = 2;
  if (b == std::string_view::npos) return w;
  w.rest = tail.substr(b + 1);
  w.count = 3;
  return w;
}

std::string JoinPieces(std::span<const std::string_view> pieces, std::size_t from) {
  std::string joined;
  for (std::size_t i = from; i < pieces.size(); ++i) {
    if (i > from) joined += ", ";
    joined += pieces[i];
  }
  return joined;
}

}  // namespace zarnith
