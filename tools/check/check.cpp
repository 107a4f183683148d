// The checker's way through a script, and its checks of statements and class
// calls (checker.h).
#include "check/check.h"

#include <array>
#include <cstdint>
#include <optional>

#include "check/checker.h"
#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/classify.h"
#include "core/line.h"
#include "core/statements.h"
#include "state/interpreter.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/messages.h"
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

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '\'';
  quoted += text;
  quoted += '\'';
  return quoted;
}

namespace {

// Calls `visit` with the index in `raw` of each byte of its prepared text, in
// order, while it returns true: tabs and line feeds are gone, and a
// backslash-n stands for one byte.
template <typename Visit>
void ForEachPreparedByte(std::string_view raw, Visit visit) {
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\t' || raw[i] == '\n') continue;
    if (!visit(i)) return;
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') ++i;
  }
}

}  // namespace

std::size_t RawColumn(std::string_view raw, std::size_t offset) {
  std::size_t prepared = 0;
  std::size_t column = raw.size() + 1;
  ForEachPreparedByte(raw, [&](std::size_t i) {
    if (prepared++ < offset) return true;
    column = i + 1;
    return false;
  });
  return column;
}

namespace {

// True when byte `offset` of `text` stands between an odd number of quotes.
bool InsideQuotes(std::string_view text, std::size_t offset) {
  std::size_t quotes = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) quotes += text[i] == '"';
  return quotes % 2 == 1;
}

}  // namespace

bool HasOperator(std::string_view token) {
  if (!token.empty() && (token[0] == '-' || token[0] == '+')) token.remove_prefix(1);
  return token.find_first_of(kOperators) != std::string_view::npos;
}

std::optional<std::int64_t> LiteralInt(std::string_view token) {
  if (HasOperator(token)) return std::nullopt;
  return ParseIntLiteral(token);
}

namespace {

bool IsCommentOrEmpty(std::string_view raw) { return raw.empty() || raw[0] == '#'; }

std::string_view FirstWord(std::string_view text) { return text.substr(0, text.find(' ')); }

// The block keyword that a line as written begins with, or after its tabs,
// or empty.
std::string_view BlockKeyword(std::string_view raw, bool afterTabs) {
  std::size_t start = afterTabs ? raw.find_first_not_of('\t') : 0;
  if (afterTabs && (start == 0 || start == std::string_view::npos)) return {};
  std::string_view word = FirstWord(raw.substr(start));
  return IsBlockKeyword(word) ? word : std::string_view{};
}

// Class commands that write a variable named by one of their arguments.
struct NamedResult {
  std::string_view className, command;
  std::size_t piece;  // the argument piece that names the variable
  std::string_view varType;
};
constexpr std::array<NamedResult, 2> kNamedResults{{
    {"fs", "read", 2, type::kString},
    {"strings", "split", 3, type::kStringArray},
}};

}  // namespace

Checker::Checker(std::string_view text) {
  LoadBuiltinClasses(in_);
  in_.host.out.CaptureTo(&unused_);  // the interpreter is asked, never run
  lines_ = SplitScriptLines(text);
}

std::vector<Diagnostic> Checker::Run() {
  CheckEncoding();
  facts_.resize(lines_.size());
  FindNames();
  for (std::size_t i = 0; i < lines_.size(); ++i) CheckLine(i);
  FindMovedTargets(lines_, facts_, out_);
  FollowChains(lines_, facts_, out_);
  FindUnreachable(lines_, facts_, out_);
  return out_.InLineOrder();
}

void Checker::Report(std::size_t line, std::size_t column, Severity s, std::string message,
                     std::string_view code) {
  out_.Report(line, column, s, std::move(message), code);
}

// The column in line `line` as written of a view into its prepared text.
std::size_t Checker::Column(std::size_t line, std::string_view view) {
  std::size_t offset = static_cast<std::size_t>(view.data() - prepared_.data());
  if (offset > prepared_.size()) return 1;
  return ColumnAt(line, offset);
}

// The column of byte `offset` of the prepared text of line `line`, which
// must be the line prepared last. A line may have a diagnostic on every one
// of its pieces, so the columns of a line that preparation changed are
// worked out once, not once a diagnostic.
std::size_t Checker::ColumnAt(std::size_t line, std::size_t offset) {
  std::string_view raw = lines_[line];
  if (raw.size() == prepared_.size()) return offset + 1;  // nothing was removed
  if (columnsOf_ != line) {
    columns_.clear();
    ForEachPreparedByte(raw, [this](std::size_t i) {
      columns_.push_back(i + 1);
      return true;
    });
    columnsOf_ = line;
  }
  return offset < columns_.size() ? columns_[offset] : raw.size() + 1;
}

void Checker::CheckEncoding() {
  if (lines_[0].starts_with("\xEF\xBB\xBF")) {
    Report(0, 1, Severity::kWarning,
           "the file begins with a byte-order mark, which becomes part of the first line", "bom");
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

// What every line can make of the names, before any line is checked: a
// line may read a name that a later line makes, when a jump leads back.
void Checker::FindNames() {
  names_.Write("arg", type::kString);  // the script's arguments, set before it runs
  for (std::string_view raw : lines_) {
    if (IsCommentOrEmpty(raw)) continue;
    PrepareLine(raw, prepared_);
    LineCut shape = ClassifyLine(prepared_, pieces_, words_);
    if (shape.form == LineForm::kArray) {
      names_.Declare(shape.three.second, shape.three.rest);
    } else if (shape.form == LineForm::kAssign) {
      names_.Assign(shape.three.first, shape.three.rest);
    } else if (shape.form == LineForm::kClassCall) {
      std::optional<ClassCall> call = SplitClassCall(pieces_[0]);
      for (const NamedResult& r : kNamedResults) {
        if (call && call->className == r.className && call->command == r.command &&
            pieces_.size() > r.piece) {
          names_.Write(pieces_[r.piece], r.varType);
        }
      }
    }
  }
  names_.Settle();
}

void Checker::CheckLine(std::size_t i) {
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
  // The gate of a false branch reads the first word of the line as written.
  facts_[i].blockWord = BlockKeyword(raw, false);
  CheckQuotedArithmetic(i);
  LineCut shape = ClassifyLine(prepared_, pieces_, words_);
  switch (shape.form) {
    case LineForm::kClassCall: CheckClassCall(i); break;
    case LineForm::kAssign: CheckAssignment(i, shape.three); break;
    case LineForm::kBlock:
      if (facts_[i].blockWord.empty()) {
        facts_[i].blockWord = BlockKeyword(raw, true);
        facts_[i].tabbed = !facts_[i].blockWord.empty();
      }
      CheckBlock(i);
      break;
    case LineForm::kStatement: CheckStatement(i); break;
    case LineForm::kArray: break;
    case LineForm::kNothing: ReportNoStatement(i); break;
  }
}

// The first of each operator character is computed when both its operands
// are integers, wherever it stands: inside a quoted text too.
void Checker::CheckQuotedArithmetic(std::size_t i) {
  for (char op : kOperators) {
    std::size_t p = prepared_.find(op);
    if (p == std::string::npos || !InsideQuotes(prepared_, p)) continue;
    OperationPlan plan = PlanOperation(prepared_, p);
    if (!plan.candidate || names_.TypeOf(plan.left) != type::kInt ||
        names_.TypeOf(plan.right) != type::kInt) {
      continue;
    }
    std::string operation = std::string(plan.left) + op + std::string(plan.right);
    Report(i, ColumnAt(i, p), Severity::kWarning,
           Quoted(operation) + " inside a quoted text is computed as arithmetic when the line runs",
           "quoted-arithmetic");
  }
}

void Checker::ReportNoStatement(std::size_t i) {
  std::string message = "line matches no statement and does nothing";
  std::string_view word = FirstWord(prepared_);
  if (FindStatement(word) && word.size() < prepared_.size()) {
    message += ": a comma is missing after " + Quoted(word);
  } else if (prepared_.find('=') != std::string::npos) {
    message += ": an assignment needs one space on each side of '='";
  }
  Report(i, 1, Severity::kWarning, message, "no-statement");
}

void Checker::CheckArgumentCount(std::size_t i, std::string_view name, std::size_t needed,
                                 std::string_view runMessage) {
  if (pieces_.size() >= needed) return;
  std::string message = Quoted(name) + " needs " + std::to_string(needed - 1) + " argument" +
                        (needed == 2 ? "" : "s") + ", the line gives " +
                        std::to_string(pieces_.size() - 1);
  if (!runMessage.empty()) message += " (the run prints \"" + std::string(runMessage) + "\")";
  Report(i, 1, Severity::kError, message, "missing-arguments");
}

void Checker::CheckStatement(std::size_t i) {
  std::string_view keyword = pieces_[0];
  StatementRules rules = FindStatementRules(keyword);
  if (rules.minPieces) CheckArgumentCount(i, keyword, rules.minPieces, {});
  if (!rules.rejoins) CheckQuotedComma(i, keyword);
  if (keyword == "print" || keyword == "printc") {
    // A quoted joined text is printed as it stands; nothing is read.
    if (pieces_.size() > 1 && GetType(JoinPieces(pieces_, 1)) != type::kString) {
      CheckElementRead(i, pieces_[1]);
      if (pieces_.size() == 2) CheckPrinted(i, keyword, pieces_[1]);
    }
  } else {
    for (std::size_t k = 1; k < pieces_.size(); ++k) CheckElementRead(i, pieces_[k]);
  }
  if (keyword == "use") return NoteUse(i);
  if (keyword == "sleep" && pieces_.size() > 1) CheckSleep(i, pieces_[1]);
  if (keyword == "exit") {
    facts_[i].ends = pieces_.size() == 1 || LiteralInt(pieces_[1]).has_value();
  }
  if (keyword == "jump") {
    facts_[i].jump = true;
    if (pieces_.size() > 1) CheckJump(i);
  }
}

void Checker::NoteUse(std::size_t i) {
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

void Checker::CheckJump(std::size_t i) {
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
    // Ending the script this way is allowed, but seldom meant. A line feed
    // at the end of the text gives one more, empty, line.
    std::size_t last = lines_.back().empty() && count > 1 ? lines_.size() - 1 : lines_.size();
    Report(i, Column(i, target), Severity::kWarning,
           "jump target " + std::to_string(*line) + " is past the last line: line " +
               std::to_string(last) + " is the last, so the jump ends the script",
           "jump-target");
    return;
  }
  facts_[i].jumpTo = *line - 1;
  facts_[i].targetColumn = static_cast<std::uint32_t>(Column(i, target));
}

// Commas cut every argument, quoted or not; only print and printc join the
// pieces again. One pass, counting quotes on the way: a line may hold a
// million commas.
void Checker::CheckQuotedComma(std::size_t i, std::string_view name) {
  bool quoted = false;
  for (std::size_t p = prepared_.find_first_of(",\""); p != std::string::npos;
       p = prepared_.find_first_of(",\"", p + 1)) {
    if (prepared_[p] == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted) continue;
    Report(i, ColumnAt(i, p), Severity::kWarning,
           "comma inside a quoted text: " + Quoted(name) +
               " cuts its arguments at every comma, so the text arrives in pieces",
           "quoted-comma");
    return;
  }
}

void Checker::CheckClassCall(std::size_t i) {
  std::optional<ClassCall> call = SplitClassCall(pieces_[0]);
  if (!call) return;
  Class* entry = FindClass(in_, call->className);
  if (!entry) return ReportUnknownClass(i, call->className);
  if (!anyUse_ && !used_.contains(std::string(call->className))) {
    Report(i, 1, Severity::kError,
           "class " + Quoted(call->className) + " is not enabled: add use, \"" +
               std::string(call->className) +
               "\" on an earlier line (the run prints \"This "
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
    if (name == "os:execute" && pieces_.size() > 1) CheckProgramArguments(i, pieces_[1]);
    return;
  }
  Report(i, static_cast<std::size_t>(call->command.data() - pieces_[0].data()) + 1,
         Severity::kWarning,
         "class " + Quoted(call->className) + " has no command " + Quoted(call->command) +
             ": the line does nothing",
         "unknown-command");
}

// A colon before the first comma makes a line a class call, whatever the
// line was meant to be.
void Checker::ReportUnknownClass(std::size_t i, std::string_view className) {
  std::string runs = " (the run prints \"" + std::string(msg::kClassNotExists) + "\")";
  std::size_t colon = className.size();
  if (InsideQuotes(prepared_, colon)) {
    Report(i, ColumnAt(i, colon), Severity::kError,
           "the colon in this quoted text makes the line a class call, of a class named " +
               Quoted(className) + runs + ": make a text with a colon through append",
           "colon-in-text");
    return;
  }
  ThreeWords three = SplitThree(pieces_[0]);
  if (three.count == 3 && three.second == "=") {
    Report(i, 1, Severity::kError,
           "a class call cannot be assigned: the line calls a class named " + Quoted(className) +
               runs + "; call " + std::string(three.rest) +
               " on a line of its own and read its result from 'returned' (" +
               std::string(three.first) + " = returned)",
           "assigned-call");
    return;
  }
  Report(i, 1, Severity::kError, "no class is named " + Quoted(className) + runs, "unknown-class");
}

// os:execute starts the program before the first space and hands it the
// rest as one argument, spaces and all.
void Checker::CheckProgramArguments(std::size_t i, std::string_view token) {
  if (GetType(token) != type::kString) return;
  std::string_view command = StringToText(token);
  std::size_t space = command.find(' ');
  if (space == std::string_view::npos) return;
  std::string_view rest = command.substr(space + 1);
  if (rest.find(' ') == std::string_view::npos) return;
  Report(i, Column(i, token), Severity::kWarning,
         "os:execute hands " + Quoted(command.substr(0, space)) + " one argument, " + Quoted(rest) +
             ", spaces included: the text is not cut into several arguments",
         "one-argument");
}

std::vector<Diagnostic> CheckScript(std::string_view text) { return Checker(text).Run(); }

}  // namespace zarnith::check
