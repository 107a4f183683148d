// The statement interpreter: prepares a line, rewrites its arithmetic, cuts it
// into pieces and words, and routes it to the first statement form it matches.
#include "core/line.h"

#include "classes/registry.h"
#include "core/declarations.h"
#include "core/split.h"
#include "core/statements.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/messages.h"
#include "values/report.h"

#include <new>
#include <stdexcept>

namespace zarnith {

void PrepareLine(std::string_view raw, std::string& prepared) {
  prepared.clear();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\n' || c == '\t') continue;
    // Backslash-n becomes a line feed; removed line feeds and tabs between
    // the two characters do not stop them from pairing.
    if (c == 'n' && !prepared.empty() && prepared.back() == '\\') {
      prepared.back() = '\n';
      continue;
    }
    prepared.push_back(c);
  }
}

namespace {

void RouteLine(Interpreter& in, std::string_view raw) {
  if (raw.empty() || raw == "\n" || raw[0] == '#') return;
  if (SkippedByGate(in, raw)) return;

  std::string& line = in.line;
  PrepareLine(raw, line);
  RewriteArithmetic(in, line);

  std::vector<std::string_view>& pieces = in.pieces;
  SplitPieces(line, pieces);
  if (pieces[0].find(':') != std::string_view::npos) {
    ClassHandle(in, pieces);
    return;
  }

  ThreeWords three = SplitThree(line);
  if (three.count == 3 && three.first == "array") {
    DeclareArray(in, three.second, three.rest);
    return;
  }
  if (three.count == 3 && three.second == "=") {
    Assign(in, three.first, three.rest);
    return;
  }
  std::vector<std::string_view>& words = in.words;
  SplitWords(line, words);
  if (IsBlockKeyword(words[0])) {
    IfHandle(in, words);
    return;
  }
  if (StatementFn statement = FindStatement(pieces[0])) statement(in, pieces);
}

}  // namespace

void HandleString(Interpreter& in, std::string_view raw) {
  // The one place where running out of memory is caught: the statement that
  // needed the memory is abandoned and the script goes on.
  try {
    RouteLine(in, raw);
  } catch (const std::bad_alloc&) {
    PrintError(in, msg::kOutOfMemory);
  } catch (const std::length_error&) {
    PrintError(in, msg::kOutOfMemory);
  }
}

}  // namespace zarnith
