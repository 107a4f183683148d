#include "lsp/features.h"

#include <algorithm>

#include "check/check.h"
#include "core/completion.h"
#include "lsp/help_texts.h"

namespace zarnith::lsp {

namespace {

// Protocol constants.
enum DiagnosticSeverity { kSeverityError = 1, kSeverityWarning = 2, kSeverityInformation = 3 };
enum CompletionKind { kCompletionMethod = 2, kCompletionVariable = 6, kCompletionModule = 9,
                      kCompletionKeyword = 14 };
enum SymbolKind { kSymbolNamespace = 3, kSymbolEvent = 24 };

json PositionJson(const View& v, std::size_t line, std::size_t byteColumn) {
  std::string_view text = line < v.map.lines.size() ? v.map.lines[line] : std::string_view();
  return {{"line", line}, {"character", UnitColumn(text, byteColumn, v.encoding)}};
}

json RangeJson(const View& v, std::size_t line, ByteSpan span) {
  return {{"start", PositionJson(v, line, span.begin)}, {"end", PositionJson(v, line, span.end)}};
}

json LinesRangeJson(const View& v, std::size_t first, std::size_t last) {
  return {{"start", PositionJson(v, first, 0)},
          {"end", PositionJson(v, last, v.map.lines[last].size())}};
}

json LocationJson(const View& v, std::size_t line, ByteSpan span) {
  return {{"uri", v.doc.uri}, {"range", RangeJson(v, line, span)}};
}

// The byte column of a position on its line; none past the last line.
std::optional<std::size_t> ByteAt(const View& v, Position at) {
  if (at.line >= v.map.lines.size()) return std::nullopt;
  return ByteColumn(v.map.lines[at.line], at.character, v.encoding);
}

// A diagnostic covers the word it points at, or the whole line when it is
// about the line.
ByteSpan DiagnosticSpan(std::string_view line, std::size_t column) {
  std::size_t begin = std::min(column - 1, line.size());
  if (begin == 0) return {0, line.size()};
  std::size_t end = line.find_first_of(" ,", begin + 1);
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

json CompletionItem(std::string_view label, int kind, std::string_view detail = {},
                    std::string documentation = {}) {
  json item = {{"label", label}, {"kind", kind}};
  if (!detail.empty()) item["detail"] = detail;
  if (!documentation.empty()) item["documentation"] = {{"kind", "markdown"}, {"value", documentation}};
  return item;
}

// A completion item for a name, with its help when it has one.
json NameItem(const CompletionName& n, const CompletionPlace& place) {
  using Kind = CompletionName::Kind;
  if (n.kind == Kind::kClass) return CompletionItem(n.name, kCompletionModule);
  bool command = n.kind == Kind::kCommand;
  std::string name(n.name);
  const HelpEntry* e = FindHelp(command ? std::string(place.className) + ":" + name : name);
  int kind = command ? kCompletionMethod : kCompletionKeyword;
  if (!e) return CompletionItem(n.name, kind);
  return CompletionItem(n.name, kind, e->usage, HelpMarkdown(*e));
}

struct Symbol {
  std::size_t first = 0, last = 0;  // lines
  json body;
  std::vector<Symbol> children;
};

json SymbolJson(Symbol& s) {
  json children = json::array();
  for (Symbol& c : s.children) children.push_back(SymbolJson(c));
  s.body["children"] = std::move(children);
  return std::move(s.body);
}

json MakeSymbol(const View& v, std::string name, std::string detail, int kind, std::size_t first,
                std::size_t last, std::size_t nameLine) {
  if (name.empty()) name = "(empty line)";
  return {{"name", std::move(name)},
          {"detail", std::move(detail)},
          {"kind", kind},
          {"range", LinesRangeJson(v, first, last)},
          {"selectionRange", LinesRangeJson(v, nameLine, nameLine)}};
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
                        MakeSymbol(v, std::string(v.map.lines[*branch]), "", kSymbolNamespace,
                                   *branch, last, *branch),
                        {}});
    branch.reset();
  };
  auto closeChain = [&](std::size_t last) {
    if (!open) return;
    closeBranch(last);
    Symbol chain{*open, last,
                 MakeSymbol(v, std::string(v.map.lines[*open]),
                            "lines " + std::to_string(*open + 1) + "-" + std::to_string(last + 1),
                            kSymbolNamespace, *open, last, *open),
                 {}};
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
    out.push_back({t, last, MakeSymbol(v, name, detail, kSymbolEvent, t, last, t), {}});
  }
}

// The symbols from flat[next] on that lie within lines up to `last`, each
// with the ones inside it as its children. `flat` is sorted by first line,
// the longer first; a symbol that overlaps another stays its sibling.
std::vector<Symbol> Nest(std::vector<Symbol>& flat, std::size_t& next, std::size_t last) {
  std::vector<Symbol> level;
  while (next < flat.size() && flat[next].last <= last) {
    Symbol s = std::move(flat[next++]);
    s.children = Nest(flat, next, s.last);
    level.push_back(std::move(s));
  }
  return level;
}

}  // namespace

json Diagnostics(const View& v) {
  json out = json::array();
  for (const check::Diagnostic& d : check::CheckScript(v.doc.text)) {
    std::size_t line = d.line - 1;
    if (line >= v.map.lines.size()) continue;
    json range = RangeJson(v, line, DiagnosticSpan(v.map.lines[line], d.column));
    if (d.severity == check::Severity::kNote) {
      if (out.empty()) continue;
      out.back()["relatedInformation"].push_back(
          {{"location", {{"uri", v.doc.uri}, {"range", range}}}, {"message", d.message}});
      continue;
    }
    out.push_back({{"range", range},
                   {"severity", d.severity == check::Severity::kError ? kSeverityError
                                                                      : kSeverityWarning},
                   {"code", d.code},
                   {"source", "zarnith-check"},
                   {"message", d.message}});
  }
  return out;
}

json Hover(const View& v, Position at) {
  std::optional<std::size_t> column = ByteAt(v, at);
  if (!column || !v.map.map[at.line].code) return nullptr;
  const LineMap& m = v.map.map[at.line];
  std::vector<std::string> sections;
  bool onName = !m.name.empty() && m.nameSpan.Contains(*column);
  if (onName) {
    if (const HelpEntry* help = FindHelp(m.name)) sections.push_back(HelpMarkdown(*help));
  }
  if (m.isJump) sections.push_back(JumpMarkdown(v, at.line));
  if (std::optional<std::string> runs = RewrittenLine(v.map.lines[at.line])) {
    sections.push_back("Runs as:\n\n" + CodeBlock(*runs));
  }
  if (sections.empty()) return nullptr;
  std::string text;
  for (const std::string& s : sections) text += (text.empty() ? "" : "\n\n---\n\n") + s;
  json hover = {{"contents", {{"kind", "markdown"}, {"value", text}}}};
  if (onName) hover["range"] = RangeJson(v, at.line, m.nameSpan);
  return hover;
}

json Definition(const View& v, Position at) {
  if (at.line >= v.map.lines.size()) return nullptr;
  std::optional<std::size_t> target = v.map.TargetIndex(at.line);
  if (!target) return nullptr;
  return LocationJson(v, *target, {0, 0});
}

json References(const View& v, Position at, bool includeLine) {
  json out = json::array();
  if (at.line >= v.map.lines.size()) return out;
  if (includeLine) out.push_back(LocationJson(v, at.line, {0, 0}));
  for (std::size_t i = 0; i < v.map.lines.size(); ++i) {
    if (v.map.TargetIndex(i) == at.line) out.push_back(LocationJson(v, i, v.map.map[i].targetSpan));
  }
  return out;
}

json Completion(const View& v, Position at) {
  json items = json::array();
  std::optional<std::size_t> column = ByteAt(v, at);
  if (!column) return items;
  std::string_view prefix = v.map.lines[at.line].substr(0, *column);
  CompletionPlace place = FindCompletionPlace(prefix);
  for (const CompletionName& n : CompletionNames(BuiltinClassTable(), place)) {
    items.push_back(NameItem(n, place));
  }
  if (!place.TakesVariables()) return items;
  for (const std::string& name : v.map.variables) items.push_back(CompletionItem(name, kCompletionVariable));
  return items;
}

json DocumentSymbols(const View& v) {
  std::vector<Symbol> flat;
  AddChains(v, flat);
  AddJumpTargets(v, flat);
  std::stable_sort(flat.begin(), flat.end(), [](const Symbol& a, const Symbol& b) {
    return a.first != b.first ? a.first < b.first : a.last > b.last;
  });
  std::size_t next = 0;
  json out = json::array();
  for (Symbol& s : Nest(flat, next, v.map.lines.size())) out.push_back(SymbolJson(s));
  return out;
}

std::string ShiftTitle(std::size_t targets) {
  return "Update " + std::to_string(targets) + " jump target" + (targets == 1 ? "" : "s");
}

json CodeActions(const View& v) {
  json actions = json::array();
  JumpShift shift = PlanJumpShift(v.doc.origins, v.map);
  if (shift.edits.empty()) return actions;
  std::string title = ShiftTitle(shift.edits.size());
  actions.push_back({{"title", title},
                     {"kind", "quickfix"},
                     {"command", {{"title", title},
                                  {"command", kUpdateJumpsCommand},
                                  {"arguments", json::array({v.doc.uri})}}}});
  return actions;
}

json ShiftEdit(const View& v, const JumpShift& shift) {
  json edits = json::array();
  for (const TargetEdit& e : shift.edits) {
    edits.push_back({{"range", RangeJson(v, e.line, e.span)}, {"newText", std::to_string(e.target)}});
  }
  return {{"changes", {{v.doc.uri, std::move(edits)}}}};
}

std::string ComputedJumpsMessage(const JumpShift& shift) {
  std::size_t n = shift.computedJumps.size();
  if (n == 0) return {};
  return std::to_string(n) + (n == 1 ? " jump target is" : " jump targets are") +
         " computed when the script runs and " + (n == 1 ? "was" : "were") +
         " not changed: check line" + (n == 1 ? " " : "s ") + LineList(shift.computedJumps);
}

}  // namespace zarnith::lsp
