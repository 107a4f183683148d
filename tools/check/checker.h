// The checker of one script's facts: a first pass reads what the lines make
// of the script's names, a second checks every line as the interpreter cut
// and classified it, and the checks that follow the order of the lines come
// last (flow.h). The checks of statements and class calls are in check.cpp,
// those of values (types, operators, array indexes) in check_values.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "check/flow.h"
#include "check/names.h"
#include "facts/script_facts.h"
#include "state/interpreter.h"
#include "values/math.h"
#include "values/split.h"

namespace zarnith::check {

class Checker {
 public:
  explicit Checker(const ScriptFacts& script);
  std::vector<Diagnostic> Run();

 private:
  // `line` is 0-based.
  void Report(std::size_t line, std::size_t column, Severity s, std::string message,
              std::string_view code);
  // The column in line `line` as written of a view into its prepared text.
  std::size_t Column(std::size_t line, std::string_view view);
  // The column of byte `offset` of the prepared text of line `line`.
  std::size_t ColumnAt(std::size_t line, std::size_t offset);

  // The whole text, and the first pass over its names.
  void CheckEncoding();
  void FindNames();

  // One line, its prepared text in prepared_, cut into pieces_ and words_.
  void CheckLine(std::size_t i);
  void CheckQuotedArithmetic(std::size_t i);
  void ReportNoStatement(std::size_t i);
  void CheckArgumentCount(std::size_t i, std::string_view name, std::size_t needed,
                          std::string_view runMessage);
  void CheckStatement(std::size_t i);
  void NoteUse(std::size_t i);
  void CheckJump(std::size_t i);
  void CheckQuotedComma(std::size_t i, std::string_view name);
  void CheckClassCall(std::size_t i);
  void ReportUnknownClass(std::size_t i, std::string_view className);
  void CheckProgramArguments(std::size_t i, std::string_view token);

  // Values: what the tokens of a line are when it runs (check_values.cpp).
  void CheckPrinted(std::size_t i, std::string_view keyword, std::string_view token);
  void CheckSleep(std::size_t i, std::string_view token);
  void CheckAssignment(std::size_t i, const ThreeWords& three);
  void CheckBlock(std::size_t i);
  void CheckOperator(std::size_t i, std::string_view op, std::string_view operands);
  bool Compares(std::string_view op, std::string_view valueType);
  void CheckElementRead(std::size_t i, std::string_view token);
  void CheckElementWrite(std::size_t i, std::string_view target);
  std::optional<std::string> Outside(std::string_view name, std::int64_t position);

  const ScriptFacts& script_;
  Interpreter in_;  // the class registry and the rules of conditions, never run
  std::string unused_;
  std::vector<LineFlow> flow_;
  ScriptNames names_;
  std::set<std::string, std::less<>> used_;
  bool anyUse_ = false;
  // For each operator met: whether conditions compare ints, and texts, with it.
  std::map<std::string, std::pair<bool, bool>, std::less<>> comparisons_;
  Findings out_;
  std::string_view prepared_;
  std::span<const std::string_view> pieces_, words_;
  // The columns of each byte of the prepared text of line columnsOf_.
  std::size_t columnsOf_ = SIZE_MAX;
  facts::RawColumns columns_;
};

}  // namespace zarnith::check
