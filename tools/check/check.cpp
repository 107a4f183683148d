// The checks of zarnith-check. One pass classifies every line (the same
// preparation and classifier as the interpreter) and records what the later
// checks need; the if chains and the reachability of lines are followed in the
// order of the lines, as the script runs them when no jump intervenes.
#include "check/check.h"
#include "core/builtin_classes.h"

#include <algorithm>
#include <optional>
#include <set>

#include "classes/registry.h"
#include "core/classify.h"
#include "core/line.h"
#include "core/statements.h"
#include "state/interpreter.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/resolve.h"
#include "values/split.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith::check {

std::string_view SeverityName(Severity s) {
  switch (s) {
    case Severity::kError: return "error";
    case Severity::kWarning: return "warning";
    case Severity::kNote: return "note";
  }
  return "note";
}

namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

std::size_t RawColumn(std::string_view raw, std::size_t offset) {
  std::size_t prepared = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\t' || raw[i] == '\n') continue;
    if (prepared == offset) return i + 1;
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') ++i;
    ++prepared;
  }
  return raw.size() + 1;
}

namespace {

// True when byte `offset` of `text` stands between an odd number of quotes.
bool InsideQuotes(std::string_view text, std::size_t offset) {
  std::size_t quotes = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) quotes += text[i] == '"';
  return quotes % 2 == 1;
}

bool HasOperator(std::string_view token) {
  // A leading sign is part of an integer literal, not an operation.
  if (!token.empty() && (token[0] == '-' || token[0] == '+')) token.remove_prefix(1);
  return token.find_first_of(kOperators) != std::string_view::npos;
}

}  // namespace

std::optional<std::int64_t> LiteralInt(std::string_view token) {
  if (HasOperator(token)) return std::nullopt;
  return ParseIntLiteral(token);
}

namespace {

bool IsCommentOrEmpty(std::string_view raw) { return raw.empty() || raw[0] == '#'; }

std::string_view FirstWord(std::string_view text) { return text.substr(0, text.find(' ')); }

// What the later passes remember of one line.
struct LineFacts {
  bool code = false;            // neither empty nor a comment
  bool ends = false;            // an exit that always ends the program
  std::optional<std::int64_t> jumpTo;  // a jump to a literal line
  bool computedJump = false;    // a jump whose target is known only at run time
  std::string_view blockWord;   // if, elif, else or end when the line is one
};

class Checker {
 public:
  explicit Checker(std::string_view text) {
    LoadBuiltinClasses(in_);
    lines_ = SplitScriptLines(text);
  }

  std::vector<Diagnostic> Run() {
    CheckEncoding();
    facts_.resize(lines_.size());
    FindArrays();
    for (std::size_t i = 0; i < lines_.size(); ++i) CheckLine(i);
    FollowChains();
    FindUnreachable();
    return InLineOrder();
  }

 private:
  void Report(std::size_t line, std::size_t column, Severity s, std::string message,
              std::string_view code) {
    out_.push_back({line + 1, column, s, std::move(message), std::string(code)});
  }
  void Note(std::size_t line, std::size_t column, std::string message) {
    out_.push_back({line + 1, column, Severity::kNote, std::move(message), {}});
  }
  void NoteLineText(std::size_t target) {
    if (target < lines_.size()) {
      Note(target, 1, "line " + std::to_string(target + 1) + " is: " + std::string(lines_[target]));
    }
  }

  std::size_t Column(std::size_t line, std::string_view view) const {
    std::size_t offset = static_cast<std::size_t>(view.data() - prepared_.data());
    if (offset > prepared_.size()) return 1;
    return RawColumn(lines_[line], offset);
  }

  void CheckEncoding() {
    if (lines_[0].starts_with("\xEF\xBB\xBF")) {
      Report(0, 1, Severity::kWarning,
             "the file begins with a byte-order mark, which becomes part of the first line",
             "bom");
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (!lines_[i].ends_with('\r')) continue;
      Report(i, lines_[i].size(), Severity::kWarning,
             "line ends with a carriage return (CRLF line endings): it stays part of the "
             "line's last word; save the script with line feeds only",
             "crlf");
      return;  // once per file
    }
  }

  // Array names: declared by an array line, bound by assigning an array, or
  // filled by strings:split. Reading one of their elements with an index that
  // is not a literal ends the program.
  void FindArrays() {
    for (std::string_view raw : lines_) {
      if (IsCommentOrEmpty(raw)) continue;
      PrepareLine(raw, prepared_);
      LineCut shape = ClassifyLine(prepared_, pieces_, words_);
      if (shape.form == LineForm::kArray) {
        arrays_.insert(std::string(BeforeBracket(shape.three.rest)));
      } else if (shape.form == LineForm::kAssign && arrays_.contains(std::string(shape.three.rest))) {
        arrays_.insert(std::string(shape.three.first));
      } else if (shape.form == LineForm::kClassCall && pieces_.size() > 3) {
        auto call = SplitClassCall(pieces_[0]);
        if (call && call->className == "strings" && call->command == "split") {
          arrays_.insert(std::string(pieces_[3]));
        }
      }
    }
  }

  static std::string_view BeforeBracket(std::string_view s) { return s.substr(0, s.find('[')); }

  void CheckLine(std::size_t i) {
    std::string_view raw = lines_[i];
    if (IsCommentOrEmpty(raw)) return;
    facts_[i].code = true;
    PrepareLine(raw, prepared_);
    if (raw[0] == ' ') {
      Report(i, 1, Severity::kWarning,
             "line is indented with spaces, so it matches no statement and does nothing "
             "(indent with tabs)",
             "space-indent");
      return;
    }
    // The gate of a false branch reads the raw line's first word.
    std::string_view rawWord = FirstWord(raw);
    if (IsBlockKeyword(rawWord)) facts_[i].blockWord = rawWord;
    CheckQuotedArithmetic(i);
    LineCut shape = ClassifyLine(prepared_, pieces_, words_);
    switch (shape.form) {
      case LineForm::kClassCall: CheckClassCall(i); break;
      case LineForm::kAssign: CheckAssignment(i, shape.three); break;
      case LineForm::kBlock: CheckCondition(i); break;
      case LineForm::kStatement: CheckStatement(i); break;
      case LineForm::kArray: break;
      case LineForm::kNothing: ReportNoStatement(i); break;
    }
  }

  // The first of each operator character is computed when both its operands
  // are integer literals, wherever it stands: inside a quoted text too.
  void CheckQuotedArithmetic(std::size_t i) {
    for (char op : kOperators) {
      std::size_t p = prepared_.find(op);
      if (p == std::string::npos || !InsideQuotes(prepared_, p)) continue;
      OperationPlan plan = PlanOperation(prepared_, p);
      if (!plan.candidate || !ParseIntLiteral(plan.left) || !ParseIntLiteral(plan.right)) continue;
      std::string operation = std::string(plan.left) + op + std::string(plan.right);
      Report(i, RawColumn(lines_[i], p), Severity::kWarning,
             Quoted(operation) + " inside a quoted text is computed as arithmetic when the line runs",
             "quoted-arithmetic");
    }
  }

  void ReportNoStatement(std::size_t i) {
    std::string message = "line matches no statement and does nothing";
    std::string_view word = FirstWord(prepared_);
    if (FindStatement(word) && word.size() < prepared_.size()) {
      message += ": a comma is missing after " + Quoted(word);
    } else if (prepared_.find('=') != std::string::npos) {
      message += ": an assignment needs one space on each side of '='";
    }
    Report(i, 1, Severity::kWarning, message, "no-statement");
  }

  void CheckArgumentCount(std::size_t i, std::string_view name, std::size_t needed,
                          std::string_view runMessage) {
    if (pieces_.size() >= needed) return;
    std::string message = Quoted(name) + " needs " + std::to_string(needed - 1) + " argument" +
                          (needed == 2 ? "" : "s") + ", the line gives " +
                          std::to_string(pieces_.size() - 1);
    if (!runMessage.empty()) message += " (the run prints \"" + std::string(runMessage) + "\")";
    Report(i, 1, Severity::kError, message, "missing-arguments");
  }

  void CheckStatement(std::size_t i) {
    std::string_view keyword = pieces_[0];
    StatementRules rules = FindStatementRules(keyword);
    if (rules.minPieces) CheckArgumentCount(i, keyword, rules.minPieces, {});
    if (!rules.rejoins) CheckQuotedComma(i, keyword);
    if (keyword == "print" || keyword == "printc") {
      // A quoted joined text is printed as it stands; nothing is read.
      if (pieces_.size() > 1 && GetType(JoinPieces(pieces_, 1)) != type::kString) {
        CheckElementRead(i, pieces_[1]);
      }
    } else {
      for (std::size_t k = 1; k < pieces_.size(); ++k) CheckElementRead(i, pieces_[k]);
    }
    if (keyword == "use") return NoteUse(i);
    if (keyword == "exit") {
      facts_[i].ends = pieces_.size() == 1 || LiteralInt(pieces_[1]).has_value();
    }
    if (keyword == "jump" && pieces_.size() > 1) CheckJump(i);
  }

  void NoteUse(std::size_t i) {
    if (pieces_.size() < 2) return;
    if (GetType(pieces_[1]) != type::kString) {
      anyUse_ = true;  // a variable: the class is known only at run time
      return;
    }
    std::string name(StringToText(pieces_[1]));
    if (!FindClass(in_, name)) {
      Report(i, Column(i, pieces_[1]), Severity::kError,
             "no class is named " + Quoted(name) + " (the run prints \"Class is not exists\")",
             "unknown-class");
      return;
    }
    used_.insert(name);
  }

  void CheckJump(std::size_t i) {
    std::string_view target = pieces_[1];
    std::optional<std::int64_t> line = LiteralInt(target);
    if (!line) {
      facts_[i].computedJump = true;
      return;
    }
    auto count = static_cast<std::int64_t>(lines_.size());
    if (*line <= 0) {
      Report(i, Column(i, target), Severity::kError,
             "jump target " + std::to_string(*line) + " is at or below 0: lines count from 1",
             "jump-target");
      return;
    }
    if (*line > count) {
      // A line feed at the end of the text gives one more, empty, line.
      std::size_t last = lines_.back().empty() && count > 1 ? lines_.size() - 1 : lines_.size();
      Report(i, Column(i, target), Severity::kError,
             "jump target " + std::to_string(*line) + " is past the last line: line " +
                 std::to_string(last) + " is the last, so the jump ends the script",
             "jump-target");
      return;
    }
    facts_[i].jumpTo = *line - 1;
  }

  // Commas cut every argument, quoted or not; only print and printc join the
  // pieces again.
  void CheckQuotedComma(std::size_t i, std::string_view name) {
    for (std::size_t p = prepared_.find(','); p != std::string::npos; p = prepared_.find(',', p + 1)) {
      if (!InsideQuotes(prepared_, p)) continue;
      Report(i, RawColumn(lines_[i], p), Severity::kWarning,
             "comma inside a quoted text: " + Quoted(name) +
                 " cuts its arguments at every comma, so the text arrives in pieces",
             "quoted-comma");
      return;
    }
  }

  void CheckClassCall(std::size_t i) {
    std::optional<ClassCall> call = SplitClassCall(pieces_[0]);
    if (!call) return;
    Class* entry = FindClass(in_, call->className);
    if (!entry) {
      Report(i, 1, Severity::kError,
             "no class is named " + Quoted(call->className) +
                 " (the run prints \"Class is not exists\")",
             "unknown-class");
      return;
    }
    if (!anyUse_ && !used_.contains(std::string(call->className))) {
      Report(i, 1, Severity::kError,
             "class " + Quoted(call->className) + " is not enabled: add use, \"" +
                 std::string(call->className) + "\" on an earlier line (the run prints \"This "
                 "class is not used\")",
             "class-not-used");
    }
    std::string name = std::string(call->className) + ":" + std::string(call->command);
    CheckQuotedComma(i, name);
    for (std::size_t k = 1; k < pieces_.size(); ++k) CheckElementRead(i, pieces_[k]);
    if (entry->commands.empty()) return;
    for (const ClassCommand& c : entry->commands) {
      if (c.name != call->command) continue;
      CheckArgumentCount(i, name, c.minArgs, c.countMessage);
      return;
    }
    Report(i, static_cast<std::size_t>(call->command.data() - pieces_[0].data()) + 1,
           Severity::kWarning,
           "class " + Quoted(call->className) + " has no command " + Quoted(call->command) +
               ": the line does nothing",
           "unknown-command");
  }

  void CheckAssignment(std::size_t i, const ThreeWords& three) {
    std::string_view value = three.rest;
    if (value.find(' ') != std::string_view::npos && GetType(value) != type::kString) {
      std::string message = "the value " + Quoted(value) +
                            " is not one word, so the assignment does nothing";
      if (value.find_first_of(kOperators) != std::string_view::npos) {
        message += ": write an operation without spaces, as in 2+3";
      }
      Report(i, Column(i, value), Severity::kWarning, message, "no-statement");
      return;
    }
    CheckElementRead(i, value);
  }

  void CheckCondition(std::size_t i) {
    if ((words_[0] == "if" || words_[0] == "elif") && words_.size() > 3) {
      CheckElementRead(i, words_[1]);
      CheckElementRead(i, words_[3]);
    }
  }

  // An element of a known array read with an index that is neither an integer
  // literal nor an operation computed before the line runs.
  void CheckElementRead(std::size_t i, std::string_view token) {
    std::size_t open = token.find('[');
    if (open == std::string_view::npos || GetType(token) == type::kString) return;
    if (!arrays_.contains(std::string(token.substr(0, open)))) return;
    std::string_view index = token.substr(open + 1);
    index = index.substr(0, index.find('['));
    index = index.substr(0, index.find(']'));
    if (ParseIntLiteral(index) || HasOperator(index)) return;
    Report(i, Column(i, token), Severity::kError,
           "array index " + Quoted(index) +
               " is not an integer literal: reading this element ends the program with status 127",
           "index-not-literal");
  }

  // The if chains, followed line by line: there is one chain at a time.
  void FollowChains() {
    bool open = false;
    std::size_t opener = 0;  // the line that opened the chain
    std::size_t elifs = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      LineFacts& f = facts_[i];
      if (f.jumpTo && open && static_cast<std::size_t>(*f.jumpTo) < i &&
          facts_[static_cast<std::size_t>(*f.jumpTo)].blockWord != "end") {
        Report(i, 1, Severity::kWarning,
               "jump back to line " + std::to_string(*f.jumpTo + 1) +
                   " while the if chain of line " + std::to_string(opener + 1) +
                   " is open: the chain's state goes with it (jump to its end line, or close "
                   "the chain first)",
               "jump-in-chain");
        NoteLineText(*f.jumpTo);
      }
      inChain_.push_back(open);
      std::string_view word = f.blockWord;
      if (word == "if") {
        if (open) {
          Report(i, 1, Severity::kWarning,
                 "if inside the open chain of line " + std::to_string(opener + 1) +
                     ": chains do not nest, this if replaces it",
                 "nested-if");
        }
        open = true;
        opener = i;
        elifs = 0;
      } else if (word == "elif" || word == "else") {
        if (!open) {
          open = true;
          opener = i;
        }
        if (word == "elif" && ++elifs == 2) {
          Report(i, 1, Severity::kWarning,
                 "second elif of the chain of line " + std::to_string(opener + 1) +
                     ": after a branch that ran, this elif is evaluated again and a second "
                     "branch can run",
                 "several-elif");
        }
      } else if (word == "end") {
        open = false;
      }
    }
    if (open) {
      Report(opener, 1, Severity::kError,
             "this if chain is still open at the end of the script: an end line is missing",
             "open-if");
    }
  }

  // Lines that no path from the first line reaches. A jump or exit inside a
  // chain may be skipped, so the next line stays reachable.
  void FindUnreachable() {
    for (const LineFacts& f : facts_) {
      if (f.computedJump) return;
    }
    std::vector<bool> reached(lines_.size(), false);
    std::vector<std::size_t> todo{0};
    while (!todo.empty()) {
      std::size_t i = todo.back();
      todo.pop_back();
      if (i >= lines_.size() || reached[i]) continue;
      reached[i] = true;
      const LineFacts& f = facts_[i];
      if (f.jumpTo) todo.push_back(static_cast<std::size_t>(*f.jumpTo));
      if ((!f.jumpTo && !f.ends) || inChain_[i]) todo.push_back(i + 1);
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (reached[i] || !facts_[i].code) continue;
      std::size_t last = i;
      for (std::size_t k = i + 1; k < lines_.size() && !reached[k]; ++k) {
        if (facts_[k].code) last = k;
      }
      std::string range = last == i ? "line " + std::to_string(i + 1) + " can"
                                    : "lines " + std::to_string(i + 1) + "-" +
                                          std::to_string(last + 1) + " can";
      Report(i, 1, Severity::kWarning, range + " never run: no line leads here", "unreachable");
      i = last;
    }
  }

  // Stable by line; each note stays behind the diagnostic it belongs to.
  std::vector<Diagnostic> InLineOrder() {
    std::vector<std::vector<Diagnostic>> groups;
    for (Diagnostic& d : out_) {
      if (d.severity != Severity::kNote || groups.empty()) groups.emplace_back();
      groups.back().push_back(std::move(d));
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& a, const auto& b) { return a[0].line < b[0].line; });
    std::vector<Diagnostic> sorted;
    for (auto& g : groups) {
      for (Diagnostic& d : g) sorted.push_back(std::move(d));
    }
    return sorted;
  }

  Interpreter in_;  // the class registry, never run
  std::vector<std::string_view> lines_;
  std::vector<LineFacts> facts_;
  std::vector<bool> inChain_;
  std::set<std::string, std::less<>> arrays_;
  std::set<std::string, std::less<>> used_;
  bool anyUse_ = false;
  std::vector<Diagnostic> out_;
  std::string prepared_;
  std::vector<std::string_view> pieces_, words_;
};

}  // namespace

std::vector<Diagnostic> CheckScript(std::string_view text) { return Checker(text).Run(); }

}  // namespace zarnith::check
