// The comma-form statements. Each reads as its checks in order: count, type,
// resolve, act, hand back.
#include "core/statements.h"

#include <array>
#include <optional>

#include "classes/registry.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/split.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

void ExitStatement(Interpreter& in, Pieces p) {
  if (p.size() == 1) EndProgram(in, 0);
  std::string_view t = GetTypeEx(in, p[1]);
  if (t != type::kInt) return PrintError(in, msg::kFirstNotInt, t);
  Value v = IfVariableReplaceIt(in, p[1]);
  auto* status = std::get_if<std::int64_t>(&v);
  // The system keeps the low 8 bits of the status.
  EndProgram(in, status ? static_cast<int>(static_cast<std::uint64_t>(*status) & 0xff) : 0);
}

void JumpStatement(Interpreter& in, Pieces p) {
  if (p.size() == 1) return PrintError(in, msg::kMissedFewArguments);
  std::string_view t = GetTypeEx(in, p[1]);
  if (t != type::kInt) return PrintError(in, msg::kFirstNotInt, t);
  Value v = IfVariableReplaceIt(in, p[1]);
  auto* target = std::get_if<std::int64_t>(&v);
  if (!target || !JumpToLine(in, *target)) PrintError(in, msg::kJumpOutOfRange);
}

void PrintText(Interpreter& in, Pieces p, bool lineFeed) {
  if (p.size() < 2) return PrintError(in, msg::kMissedArgument1);
  std::string joined = JoinPieces(p, 1);
  Output& out = in.host.out;
  if (GetType(joined) == type::kString) {
    out.Write(StringToText(joined));
  } else if (GetTypeOfVar(in, p[1]) == type::kString) {
    out.Write(ResolveShared(in, p[1]));  // the variable's own text, not a copy
  } else {
    return PrintError(in, msg::kFirstNotString, GetTypeEx(in, joined));
  }
  if (lineFeed) out.Put('\n');
}

void PrintStatement(Interpreter& in, Pieces p) { PrintText(in, p, true); }
void PrintcStatement(Interpreter& in, Pieces p) { PrintText(in, p, false); }

void SleepStatement(Interpreter& in, Pieces p) {
  if (p.size() < 2) return;
  // Only a literal is accepted, and its own number is used even when a
  // variable happens to carry the same name.
  std::optional<std::int64_t> ms = ParseIntLiteral(p[1]);
  if (!ms) return PrintError(in, msg::kFirstNotInt, GetType(p[1]));
  if (*ms <= 0) return;
  in.host.out.Flush();
  in.host.sleep(*ms);
}

void AppendStatement(Interpreter& in, Pieces p) {
  if (p.size() <= 2) return PrintError(in, msg::kMissedFewArguments);
  if (GetTypeEx(in, p[1]) != type::kString || GetTypeEx(in, p[2]) != type::kString) {
    return PrintError(in, msg::kOneNotString);
  }
  // Shared texts: appending to a variable's text grows its buffer in place.
  Text joined = ResolveShared(in, p[1]);
  Text more = ResolveShared(in, p[2]);
  AppendToReturned(in, std::move(joined), more.view());
}

void ReturnStatement(Interpreter& in, Pieces p) {
  if (p.size() < 2) return;
  std::string_view t = GetTypeEx(in, p[1]);
  if (t == type::kUnknown) return PrintError(in, msg::kReturnUnknown);
  if (t == type::kInt) {
    Value v = IfVariableReplaceIt(in, p[1]);
    if (std::holds_alternative<std::int64_t>(v)) SetReturned(in, type::kInt, std::move(v));
  } else if (t == type::kString) {
    SetReturned(in, type::kString, ResolveShared(in, p[1]));  // shared, not copied
  }
}

void TypeofStatement(Interpreter& in, Pieces p) {
  if (p.size() < 2) return PrintError(in, msg::kMissedArgument1);
  std::string_view t = GetTypeOfVar(in, p[1]);
  if (t == type::kUnknown) t = GetType(p[1]);
  SetReturned(in, std::string(t));
}

void ReadlineStatement(Interpreter& in, Pieces) {
  in.host.out.Flush();
  std::string line;
  LineReader::Result r;
  {
    InputWait wait(in.host, 0);
    r = in.host.input.ReadLine(line);
  }
  if (r == LineReader::Result::kTooLong) PrintError(in, msg::kLineTooLong);
  if (r != LineReader::Result::kLine) line.clear();
  std::string_view bare = StringToText(line);
  if (bare.size() != line.size()) line = std::string(bare);
  SetReturned(in, std::move(line));
}

struct Keyword {
  std::string_view name;
  StatementFn run;
  // Pieces (keyword included) below which the statement reports missing
  // arguments; 0 when a shorter line is silent or fine.
  std::size_t minPieces;
  // print and printc rejoin their pieces, so a comma in a quoted text is kept.
  bool rejoins;
};

constexpr std::array<Keyword, 10> kKeywords{{
    {"use", UseStatement, 2, false},
    {"exit", ExitStatement, 0, false},
    {"jump", JumpStatement, 2, false},
    {"print", PrintStatement, 2, true},
    {"printc", PrintcStatement, 2, true},
    {"sleep", SleepStatement, 0, false},
    {"append", AppendStatement, 3, false},
    {"return", ReturnStatement, 0, false},
    {"typeof", TypeofStatement, 2, false},
    {"readline", ReadlineStatement, 0, false},
}};

constexpr auto kKeywordNames = [] {
  std::array<std::string_view, kKeywords.size()> names{};
  for (std::size_t i = 0; i < kKeywords.size(); ++i) names[i] = kKeywords[i].name;
  return names;
}();

const Keyword* FindKeyword(std::string_view keyword) {
  for (const Keyword& k : kKeywords) {
    if (k.name == keyword) return &k;
  }
  return nullptr;
}

}  // namespace

bool JumpToLine(Interpreter& in, std::int64_t target) {
  if (target <= 0) return false;
  // The executor adds 1 after this line, so line `target` runs next.
  in.lineIndex = target - 2;
  return true;
}

void AppendToReturned(Interpreter& in, Text joined, std::string_view more) {
  EnsureAvailable(in.host.sys, joined.AllocationFor(more.size()));
  joined.Append(more);
  SetReturned(in, type::kString, std::move(joined));
}

StatementFn FindStatement(std::string_view keyword) {
  const Keyword* k = FindKeyword(keyword);
  return k ? k->run : nullptr;
}

std::span<const std::string_view> StatementKeywords() { return kKeywordNames; }

StatementRules FindStatementRules(std::string_view keyword) {
  const Keyword* k = FindKeyword(keyword);
  return k ? StatementRules{k->minPieces, k->rejoins} : StatementRules{};
}

}  // namespace zarnith
