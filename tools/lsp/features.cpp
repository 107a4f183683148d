#include "lsp/features.h"

#include <algorithm>

#include "core/completion.h"
#include "lsp/help_texts.h"
#include "values/split.h"

namespace zarnith::lsp {

namespace {

// Where line `line` of `text` starts; the line is a view into the text.
std::size_t StartOf(std::string_view text, std::string_view line) {
  return static_cast<std::size_t>(line.data() - text.data());
}

TextSpan SpanOf(const View& v, std::size_t line, ByteSpan span) {
  std::size_t start = StartOf(v.doc.text(), v.map.lines[line]);
  return {start + span.begin, start + span.end};
}

// Lines `first` to `last`, whole.
TextSpan LinesSpan(const View& v, std::size_t first, std::size_t last) {
  return {SpanOf(v, first, {}).begin, SpanOf(v, last, {0, v.map.lines[last].size()}).end};
}

// The script line of a byte offset and the byte column in it.
struct LinePoint {
  std::size_t line = 0;
  std::size_t column = 0;
};

LinePoint PointAt(const View& v, std::size_t offset) {
  std::string_view text = v.doc.text();
  const std::vector<std::string_view>& lines = v.map.lines;
  auto after = std::upper_bound(lines.begin(), lines.end(), offset,
                                [&](std::size_t o, std::string_view line) {
                                  return o < StartOf(text, line);
                                });
  auto line = static_cast<std::size_t>(after - lines.begin()) - 1;
  return {line, std::min(offset - StartOf(text, lines[line]), lines[line].size())};
}

// A diagnostic covers the word it points at, or the whole line when it is
// about the line.
ByteSpan DiagnosticSpan(std::string_view line, std::size_t column) {
  std::size_t begin = std::min(column - 1, line.size());
  if (begin == 0) return {0, line.size()};
  std::size_t end = line.find_first_of(" ,\r", begin + 1);
  return {begin, end == std::string_view::npos ? line.size() : end};
}

std::string CodeBlock(std::string_view text) { return "```zarnith\n" + std::string(text) + "\n```"; }

std::string HelpMarkdown(const HelpEntry& e) {
  std::string text = CodeBlock(e.usage) + "\n\n" + std::string(e.does);
  if (!e.returned.empty()) text += "\n\nHands back in `returned`: " + std::string(e.returned) + ".";
  return text;
}

std::string JumpMarkdown(const View& v, std::size_t line) {
  const LineMap& m = v.map.map[line];
  if (!m.jumpTarget) return "The target line is computed when the jump runs.";
  std::optional<std::size_t> target = v.map.TargetIndex(line);
  if (!target) {
    return "Line " + std::to_string(*m.jumpTarget) +
           " is not a line of this script: the jump does not land anywhere here.";
  }
  return "Jumps to line " + std::to_string(*target + 1) + ":\n\n" + CodeBlock(v.map.lines[*target]);
}

Suggestion CompletionItem(std::string_view label, SuggestionKind kind, std::string_view detail = {},
                          std::string documentation = {}) {
  return {std::string(label), kind, std::string(detail), std::move(documentation)};
}

// A completion item for a name, with its help when it has one.
Suggestion NameItem(const CompletionName& n, const CompletionPlace& place) {
  using Kind = CompletionName::Kind;
  if (n.kind == Kind::kClass) return CompletionItem(n.name, SuggestionKind::kClass);
  bool command = n.kind == Kind::kCommand;
  std::string name(n.name);
  const HelpEntry* e = FindHelp(command ? std::string(place.className) + ":" + name : name);
  SuggestionKind kind = command ? SuggestionKind::kCommand : SuggestionKind::kStatement;
  if (!e) return CompletionItem(n.name, kind);
  return CompletionItem(n.name, kind, e->usage, HelpMarkdown(*e));
}

// An outline with the lines it covers, while the outline is put together.
struct Symbol {
  std::size_t first = 0, last = 0;
  Outline outline;
};

Outline MakeOutline(const View& v, std::string name, std::string detail, OutlineKind kind,
                    std::size_t first, std::size_t last, std::size_t nameLine) {
  if (name.empty()) name = "(empty line)";
  return {std::move(name), std::move(detail), kind, LinesSpan(v, first, last),
          LinesSpan(v, nameLine, nameLine), {}};
}

std::string LineList(const std::vector<std::size_t>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(lines[i] + 1);
  }
  return text;
}

// The if chains: from the if to its end, with a child for each branch.
void AddChains(const View& v, std::vector<Symbol>& out) {
  const auto& map = v.map.map;
  std::optional<std::size_t> open, branch;
  std::vector<Symbol> branches;
  auto closeBranch = [&](std::size_t last) {
    if (!branch) return;
    branches.push_back({*branch, last,
                        MakeOutline(v, std::string(v.map.lines[*branch]), "", OutlineKind::kBranch,
                                    *branch, last, *branch)});
    branch.reset();
  };
  auto closeChain = [&](std::size_t last) {
    if (!open) return;
    closeBranch(last);
    Symbol chain{*open, last,
                 MakeOutline(v, std::string(v.map.lines[*open]),
                             "lines " + std::to_string(*open + 1) + "-" + std::to_string(last + 1),
                             OutlineKind::kChain, *open, last, *open)};
    out.push_back(std::move(chain));
    // The if's own branch is the chain itself; the others fall inside it.
    for (std::size_t b = 1; b < branches.size(); ++b) out.push_back(std::move(branches[b]));
    branches.clear();
    open.reset();
  };
  for (std::size_t i = 0; i < map.size(); ++i) {
    std::string_view word = map[i].blockWord;
    if (word == "if") {
      if (open) closeChain(i - 1);
      open = branch = i;
    } else if (word == "elif" || word == "else") {
      if (!open) open = i;
      closeBranch(i - 1);
      branch = i;
    } else if (word == "end") {
      closeChain(i);
    }
  }
  if (open) closeChain(map.size() - 1);
}

// The lines that literal jumps land on. A line jumped to from below holds a
// loop, which runs from it to the last jump back.
void AddJumpTargets(const View& v, std::vector<Symbol>& out) {
  std::vector<std::vector<std::size_t>> from(v.map.lines.size());
  for (std::size_t i = 0; i < v.map.lines.size(); ++i) {
    if (std::optional<std::size_t> t = v.map.TargetIndex(i)) from[*t].push_back(i);
  }
  for (std::size_t t = 0; t < from.size(); ++t) {
    if (from[t].empty()) continue;
    std::size_t last = std::max(t, from[t].back());
    std::string name = "line " + std::to_string(t + 1) + ": " + std::string(v.map.lines[t]);
    std::string detail = (last > t ? "loop to line " + std::to_string(last + 1) + ", " : "") +
                         "jumped to from line" + (from[t].size() > 1 ? "s " : " ") +
                         LineList(from[t]);
    out.push_back({t, last, MakeOutline(v, name, detail, OutlineKind::kJumpTarget, t, last, t)});
  }
}

// The outlines from flat[next] on that lie within lines up to `last`, each
// with the ones inside it as its children, `depth` levels in. `flat` is
// sorted by first line, the longer first; one that overlaps another stays its
// sibling, and so do all those inside an outline at the deepest level.
std::vector<Outline> Nest(std::vector<Symbol>& flat, std::size_t& next, std::size_t last,
                          std::size_t depth) {
  std::vector<Outline> level;
  while (next < flat.size() && flat[next].last <= last) {
    Symbol& s = flat[next++];
    if (depth < kMaxOutlineDepth) s.outline.children = Nest(flat, next, s.last, depth + 1);
    level.push_back(std::move(s.outline));
  }
  return level;
}

}  // namespace

std::vector<Finding> Diagnostics(std::string_view text) {
  std::vector<std::string_view> lines = SplitScriptLines(text);
  std::vector<Finding> out;
  for (check::Diagnostic& d : check::CheckScript(text)) {
    std::size_t line = d.line - 1;
    if (line >= lines.size()) continue;
    ByteSpan span = DiagnosticSpan(lines[line], d.column);
    std::size_t start = StartOf(text, lines[line]);
    TextSpan place{start + span.begin, start + span.end};
    if (d.severity == check::Severity::kNote) {
      if (!out.empty()) out.back().notes.push_back({place, std::move(d.message)});
      continue;
    }
    out.push_back({place, d.severity, std::move(d.code), std::move(d.message), {}});
  }
  return out;
}

std::optional<HoverText> Hover(const View& v, std::size_t offset) {
  LinePoint at = PointAt(v, offset);
  const LineMap& m = v.map.map[at.line];
  if (!m.code) return std::nullopt;
  std::vector<std::string> sections;
  bool onName = !m.name.empty() && m.nameSpan.Contains(at.column);
  if (onName) {
    if (const HelpEntry* help = FindHelp(m.name)) sections.push_back(HelpMarkdown(*help));
  }
  if (m.isJump) sections.push_back(JumpMarkdown(v, at.line));
  if (std::optional<std::string> runs = RewrittenLine(v.map.lines[at.line])) {
    sections.push_back("Runs as:\n\n" + CodeBlock(*runs));
  }
  if (sections.empty()) return std::nullopt;
  HoverText hover;
  for (const std::string& s : sections) {
    hover.markdown += (hover.markdown.empty() ? "" : "\n\n---\n\n") + s;
  }
  if (onName) hover.span = SpanOf(v, at.line, m.nameSpan);
  return hover;
}

std::optional<TextSpan> Definition(const View& v, std::size_t offset) {
  std::optional<std::size_t> target = v.map.TargetIndex(PointAt(v, offset).line);
  if (!target) return std::nullopt;
  return SpanOf(v, *target, {});
}

std::vector<TextSpan> References(const View& v, std::size_t offset, bool includeLine) {
  std::size_t line = PointAt(v, offset).line;
  std::vector<TextSpan> out;
  if (includeLine) out.push_back(SpanOf(v, line, {}));
  for (std::size_t i = 0; i < v.map.lines.size(); ++i) {
    if (v.map.TargetIndex(i) == line) out.push_back(SpanOf(v, i, v.map.map[i].targetSpan));
  }
  return out;
}

std::vector<Suggestion> Completion(const View& v, std::size_t offset) {
  std::vector<Suggestion> items;
  LinePoint at = PointAt(v, offset);
  std::string_view prefix = v.map.lines[at.line].substr(0, at.column);
  CompletionPlace place = FindCompletionPlace(prefix);
  for (const CompletionName& n : CompletionNames(BuiltinClassTable(), place)) {
    items.push_back(NameItem(n, place));
  }
  if (!place.TakesVariables()) return items;
  for (const std::string& name : v.map.variables) {
    items.push_back(CompletionItem(name, SuggestionKind::kVariable));
  }
  return items;
}

std::vector<Outline> DocumentSymbols(const View& v) {
  std::vector<Symbol> flat;
  AddChains(v, flat);
  AddJumpTargets(v, flat);
  std::stable_sort(flat.begin(), flat.end(), [](const Symbol& a, const Symbol& b) {
    return a.first != b.first ? a.first < b.first : a.last > b.last;
  });
  std::size_t next = 0;
  return Nest(flat, next, v.map.lines.size(), 1);
}

std::string ShiftTitle(std::size_t targets) {
  return "Update " + std::to_string(targets) + " jump target" + (targets == 1 ? "" : "s");
}

std::optional<std::string> UpdateJumpsTitle(const View& v) {
  JumpShift shift = PlanJumpShift(v.doc.origins(), v.map);
  if (shift.edits.empty()) return std::nullopt;
  return ShiftTitle(shift.edits.size());
}

std::vector<TargetReplacement> ShiftReplacements(const View& v, const JumpShift& shift) {
  std::vector<TargetReplacement> out;
  for (const TargetEdit& e : shift.edits) {
    out.push_back({SpanOf(v, e.line, e.span), std::to_string(e.target)});
  }
  return out;
}

std::string ComputedJumpsMessage(const JumpShift& shift) {
  std::size_t n = shift.computedJumps.size();
  if (n == 0) return {};
  return std::to_string(n) + (n == 1 ? " jump target is" : " jump targets are") +
         " computed when the script runs and " + (n == 1 ? "was" : "were") +
         " not changed: check line" + (n == 1 ? " " : "s ") + LineList(shift.computedJumps);
}

}  // namespace zarnith::lsp
