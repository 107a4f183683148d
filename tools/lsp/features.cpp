#include "lsp/features.h"

#include <algorithm>
#include <set>

#include "classes/registry.h"
#include "core/completion.h"
#include "lsp/help_texts.h"
#include "state/interpreter.h"
#include "values/math.h"
#include "values/text.h"

namespace zarnith::lsp {

namespace {

using facts::ByteSpan;
using facts::LineFacts;
using facts::ScriptFacts;

// Where line `line` of `text` starts; the line is a view into the text.
std::size_t StartOf(std::string_view text, std::string_view line) {
  return static_cast<std::size_t>(line.data() - text.data());
}

TextSpan SpanOf(const View& v, std::size_t line, ByteSpan span) {
  std::size_t start = StartOf(v.doc.text(), v.script[line].raw);
  return {start + span.begin, start + span.end};
}

// Lines `first` to `last`, whole.
TextSpan LinesSpan(const View& v, std::size_t first, std::size_t last) {
  return {SpanOf(v, first, {}).begin, SpanOf(v, last, {0, v.script[last].raw.size()}).end};
}

// The script line of a byte offset and the byte column in it.
struct LinePoint {
  std::size_t line = 0;
  std::size_t column = 0;
};

LinePoint PointAt(const View& v, std::size_t offset) {
  std::string_view text = v.doc.text();
  const std::vector<std::string_view>& lines = v.script.lines();
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
  const LineFacts& f = v.script[line];
  if (!f.jumpTarget) return "The target line is computed when the jump runs.";
  std::optional<std::size_t> target = v.script.TargetIndex(line);
  if (!target) {
    return "Line " + std::to_string(*f.jumpTarget) +
           " is not a line of this script: the jump does not land anywhere here.";
  }
  return "Jumps to line " + std::to_string(*target + 1) + ":\n\n" + CodeBlock(v.script[*target].raw);
}

// The statement a line runs, named as its help is ("print", "fs:open", "if",
// "array"; a call as it runs, without anything from a second colon on), and
// the name as the line writes it.
struct StatementName {
  std::string name;
  std::string_view written;  // into the line's prepared text
};

std::optional<StatementName> NameOf(const View& v, std::size_t line) {
  const LineFacts& f = v.script[line];
  std::string_view written;
  switch (f.shape.form) {
    case LineForm::kNothing:
    case LineForm::kAssign: return std::nullopt;
    case LineForm::kStatement: written = v.script.Pieces(line)[0]; break;
    case LineForm::kBlock: written = v.script.Words(line)[0]; break;
    case LineForm::kArray: written = f.shape.three.first; break;
    case LineForm::kClassCall: {
      written = v.script.Pieces(line)[0];
      if (std::optional<ClassCall> call = SplitClassCall(written)) {
        return StatementName{std::string(call->className) + ":" + std::string(call->command), written};
      }
      break;
    }
  }
  return StatementName{std::string(written), written};
}

// The line as it runs once the arithmetic between literals is computed, or
// none when the rewriting leaves it as it is.
std::optional<std::string> RewrittenLine(std::string_view prepared) {
  // An interpreter of its own that never runs a line knows no variables, so
  // only operations between literals are computed; what it would print goes
  // nowhere (standard output is the client's).
  std::string printed;
  Interpreter in;
  in.host.out.CaptureTo(&printed);
  std::string rewritten(prepared);
  try {
    RewriteArithmetic(in, rewritten);
  } catch (const ProgramExit&) {
    return std::nullopt;  // a line that would end the program runs as nothing
  }
  if (rewritten == prepared) return std::nullopt;
  return rewritten;
}

// Adds a name that a line gives a value to, for completion: an element's
// array, and nothing that could not be a name.
void AddVariable(std::set<std::string, std::less<>>& names, std::string_view name) {
  name = BeforeFirst(name, '[');
  if (!name.empty() && name.find_first_of("\" ,") == std::string_view::npos) {
    // Most names are given values many times: look before copying.
    if (names.find(name) == names.end()) names.emplace(name);
  }
}

// The names the document gives values, sorted.
std::set<std::string, std::less<>> Variables(const ScriptFacts& script) {
  std::set<std::string, std::less<>> names;
  for (std::size_t i = 0; i < script.size(); ++i) {
    const LineFacts& f = script[i];
    if (f.shape.form == LineForm::kAssign) AddVariable(names, f.shape.three.first);
    if (f.shape.form == LineForm::kArray) AddVariable(names, f.shape.three.rest);
    if (!f.classWrite.varType.empty()) AddVariable(names, f.classWrite.name);
  }
  return names;
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

// The if chains: from the if to its end, with a child for each branch. A
// keyword after a tab is left out: it is seen only when the branch before it
// runs.
void AddChains(const View& v, std::vector<Symbol>& out) {
  const ScriptFacts& script = v.script;
  facts::ChainWalk chain;
  std::optional<std::size_t> branch;
  std::vector<Symbol> branches;
  auto closeBranch = [&](std::size_t last) {
    if (!branch) return;
    branches.push_back({*branch, last,
                        MakeOutline(v, std::string(script[*branch].raw), "", OutlineKind::kBranch,
                                    *branch, last, *branch)});
    branch.reset();
  };
  auto closeChain = [&](std::size_t opener, std::size_t last) {
    closeBranch(last);
    Symbol symbol{opener, last,
                  MakeOutline(v, std::string(script[opener].raw),
                              "lines " + std::to_string(opener + 1) + "-" + std::to_string(last + 1),
                              OutlineKind::kChain, opener, last, opener)};
    out.push_back(std::move(symbol));
    // The if's own branch is the chain itself; the others fall inside it.
    for (std::size_t b = 1; b < branches.size(); ++b) out.push_back(std::move(branches[b]));
    branches.clear();
  };
  for (std::size_t i = 0; i < script.size(); ++i) {
    bool open = chain.open();
    std::size_t opener = chain.opener();
    switch (chain.Next(i, script[i].tabbed ? std::string_view{} : script[i].blockWord)) {
      case facts::ChainWalk::Step::kOpen:
        if (open) closeChain(opener, i - 1);
        branch = i;
        break;
      case facts::ChainWalk::Step::kBranch:
        closeBranch(i - 1);
        branch = i;
        break;
      case facts::ChainWalk::Step::kClose:
        if (open) closeChain(opener, i);
        break;
      case facts::ChainWalk::Step::kNone: break;
    }
  }
  if (chain.open()) closeChain(chain.opener(), script.size() - 1);
}

// The lines that literal jumps land on. A line jumped to from below holds a
// loop, which runs from it to the last jump back.
void AddJumpTargets(const View& v, std::vector<Symbol>& out) {
  std::vector<std::vector<std::size_t>> from(v.script.size());
  for (std::size_t i = 0; i < v.script.size(); ++i) {
    if (std::optional<std::size_t> t = v.script.TargetIndex(i)) from[*t].push_back(i);
  }
  for (std::size_t t = 0; t < from.size(); ++t) {
    if (from[t].empty()) continue;
    std::size_t last = std::max(t, from[t].back());
    std::string name = "line " + std::to_string(t + 1) + ": " + std::string(v.script[t].raw);
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

std::vector<Finding> Diagnostics(const View& v) {
  std::string_view text = v.doc.text();
  std::vector<Finding> out;
  for (check::Diagnostic& d : check::CheckScript(v.script)) {
    std::size_t line = d.line - 1;
    if (line >= v.script.size()) continue;
    std::string_view raw = v.script[line].raw;
    ByteSpan span = DiagnosticSpan(raw, d.column);
    std::size_t start = StartOf(text, raw);
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
  const LineFacts& f = v.script[at.line];
  if (!f.code) return std::nullopt;
  std::vector<std::string> sections;
  std::optional<StatementName> name = NameOf(v, at.line);
  ByteSpan nameSpan = name ? v.script.SpanOf(at.line, name->written) : ByteSpan{};
  bool onName = name && !name->name.empty() && nameSpan.Contains(at.column);
  if (onName) {
    if (const HelpEntry* help = FindHelp(name->name)) sections.push_back(HelpMarkdown(*help));
  }
  if (f.jump) sections.push_back(JumpMarkdown(v, at.line));
  if (std::optional<std::string> runs = RewrittenLine(f.prepared)) {
    sections.push_back("Runs as:\n\n" + CodeBlock(*runs));
  }
  if (sections.empty()) return std::nullopt;
  HoverText hover;
  for (const std::string& s : sections) {
    hover.markdown += (hover.markdown.empty() ? "" : "\n\n---\n\n") + s;
  }
  if (onName) hover.span = SpanOf(v, at.line, nameSpan);
  return hover;
}

std::optional<TextSpan> Definition(const View& v, std::size_t offset) {
  std::optional<std::size_t> target = v.script.TargetIndex(PointAt(v, offset).line);
  if (!target) return std::nullopt;
  return SpanOf(v, *target, {});
}

std::vector<TextSpan> References(const View& v, std::size_t offset, bool includeLine) {
  std::size_t line = PointAt(v, offset).line;
  std::vector<TextSpan> out;
  if (includeLine) out.push_back(SpanOf(v, line, {}));
  for (std::size_t i = 0; i < v.script.size(); ++i) {
    if (v.script.TargetIndex(i) == line) {
      out.push_back(SpanOf(v, i, v.script.SpanOf(i, v.script.Pieces(i)[1])));
    }
  }
  return out;
}

std::vector<Suggestion> Completion(const View& v, std::size_t offset) {
  std::vector<Suggestion> items;
  LinePoint at = PointAt(v, offset);
  std::string_view prefix = v.script[at.line].raw.substr(0, at.column);
  CompletionPlace place = FindCompletionPlace(prefix);
  for (const CompletionName& n : CompletionNames(BuiltinClassTable(), place)) {
    items.push_back(NameItem(n, place));
  }
  if (!place.TakesVariables()) return items;
  for (const std::string& name : Variables(v.script)) {
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
  return Nest(flat, next, v.script.size(), 1);
}

std::string ShiftTitle(std::size_t targets) {
  return "Update " + std::to_string(targets) + " jump target" + (targets == 1 ? "" : "s");
}

std::optional<std::string> UpdateJumpsTitle(const View& v) {
  JumpShift shift = PlanJumpShift(v.doc.origins(), v.script);
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
