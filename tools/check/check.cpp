// The checker's way through a script, and its checks of statements and class
// calls (checker.h).
#include "check/check.h"

#include <cstdint>
#include <optional>

#include "check/checker.h"
#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/classify.h"
#include "core/statements.h"
#include "state/interpreter.h"
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

// True when byte `offset` of `text` stands between an odd number of quotes.
bool InsideQuotes(std::string_view text, std::size_t offset) {
  std::size_t quotes = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) quotes += text[i] == '"';
  return quotes % 2 == 1;
}

std::string_view FirstWord(std::string_view text) { return text.substr(0, text.find(' ')); }

}  // namespace

Checker::Checker(const ScriptFacts& script) : script_(script) {
  LoadBuiltinClasses(in_);
  in_.host.out.CaptureTo(&unused_);  // the interpreter is asked, never run
}

std::vector<Diagnostic> Checker::Run() {
  CheckEncoding();
  flow_.resize(script_.size());
  FindNames();
  for (std::size_t i = 0; i < script_.size(); ++i) CheckLine(i);
  FindMovedTargets(script_, flow_, out_);
  FollowChains(script_, flow_, out_);
  FindUnreachable(script_, flow_, out_);
  return out_.InLineOrder();
}

void Checker::Report(std::size_t line, std::size_t column, Severity s, std::string message,
                     std::string_view code) {
  out_.Report(line, column, s, std::move(message), code);
}

std::size_t Checker::Column(std::size_t line, std::string_view view) {
  std::optional<std::size_t> offset = script_.OffsetOf(line, view);
  return offset ? ColumnAt(line, *offset) : 1;
}

// A line may have a diagnostic on every one of its pieces, so the columns of
// a line that preparation changed are worked out once, not once a
// diagnostic.
std::size_t Checker::ColumnAt(std::size_t line, std::size_t offset) {
  const facts::LineFacts& f = script_[line];
  if (f.raw.size() == f.prepared.size()) return offset + 1;  // nothing was removed
  if (columnsOf_ != line) {
    columns_.Map(f.raw, f.prepared);
    columnsOf_ = line;
  }
  return columns_.ColumnAt(offset);
}

void Checker::CheckEncoding() {
  std::span<const std::string_view> lines = script_.lines();
  if (lines[0].starts_with("\xEF\xBB\xBF")) {
    Report(0, 1, Severity::kWarning,
           "the file begins with a byte-order mark, which becomes part of the first line", "bom");
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].ends_with('\r')) continue;
    Report(i, lines[i].size(), Severity::kWarning,
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
  for (std::size_t i = 0; i < script_.size(); ++i) {
    const facts::LineFacts& f = script_[i];
    if (f.shape.form == LineForm::kArray) {
      names_.Declare(f.shape.three.second, f.shape.three.rest);
    } else if (f.shape.form == LineForm::kAssign) {
      names_.Assign(f.shape.three.first, f.shape.three.rest);
    } else if (!f.classWrite.varType.empty()) {
      names_.Write(f.classWrite.name, f.classWrite.varType);
    }
  }
  names_.Settle();
}

void Checker::CheckLine(std::size_t i) {
  const facts::LineFacts& f = script_[i];
  if (!f.code) return;
  prepared_ = f.prepared;
  pieces_ = script_.Pieces(i);
  words_ = script_.Words(i);
  if (f.raw[0] == ' ') {
    Report(i, 1, Severity::kWarning,
           "line is indented with spaces, so it matches no statement and does nothing "
           "(indent with tabs)",
           "space-indent");
    return;
  }
  CheckQuotedArithmetic(i);
  switch (f.shape.form) {
    case LineForm::kClassCall: CheckClassCall(i); break;
    case LineForm::kAssign: CheckAssignment(i, f.shape.three); break;
    case LineForm::kBlock: CheckBlock(i); break;
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
  if (keyword == "jump" && pieces_.size() > 1) CheckJump(i);
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
  std::optional<std::int64_t> line = script_[i].jumpTarget;
  if (!line) return;  // computed when the jump runs
  std::span<const std::string_view> lines = script_.lines();
  auto count = static_cast<std::int64_t>(lines.size());
  if (*line <= 0) {
    Report(i, Column(i, target), Severity::kError,
           "jump target " + std::to_string(*line) + " is at or below 0: lines count from 1",
           "jump-target");
    return;
  }
  if (*line > count) {
    // Ending the script this way is allowed, but seldom meant. A line feed
    // at the end of the text gives one more, empty, line.
    std::size_t last = lines.back().empty() && count > 1 ? lines.size() - 1 : lines.size();
    Report(i, Column(i, target), Severity::kWarning,
           "jump target " + std::to_string(*line) + " is past the last line: line " +
               std::to_string(last) + " is the last, so the jump ends the script",
           "jump-target");
  }
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
  Report(i, Column(i, call->command), Severity::kWarning,
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

std::vector<Diagnostic> CheckScript(const ScriptFacts& script) { return Checker(script).Run(); }

std::vector<Diagnostic> CheckScript(std::string_view text) {
  ScriptFacts script(text);
  return CheckScript(script);
}

}  // namespace zarnith::check
