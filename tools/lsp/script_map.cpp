#include "lsp/script_map.h"

#include <algorithm>
#include <set>

#include "check/check.h"
#include "classes/registry.h"
#include "core/line.h"
#include "state/interpreter.h"
#include "values/conditions.h"
#include "values/math.h"
#include "values/split.h"

namespace zarnith::lsp {

namespace {

std::string_view BeforeBracket(std::string_view s) { return s.substr(0, s.find('[')); }

class Mapper {
 public:
  explicit Mapper(std::string_view text) {
    out_.lines = SplitScriptLines(text);
    out_.map.resize(out_.lines.size());
  }

  ScriptMap Run() {
    for (std::size_t i = 0; i < out_.lines.size(); ++i) MapLine(i);
    out_.variables.assign(names_.begin(), names_.end());
    return std::move(out_);
  }

 private:
  // Where a view into the prepared text stands in the raw line.
  ByteSpan SpanOf(std::string_view raw, std::string_view view) const {
    auto offset = static_cast<std::size_t>(view.data() - prepared_.data());
    if (offset > prepared_.size()) return {};
    std::size_t begin = check::RawColumn(raw, offset) - 1;
    std::size_t end = view.empty() ? begin : check::RawColumn(raw, offset + view.size() - 1);
    return {begin, std::min(end, raw.size())};
  }

  void AddVariable(std::string_view name) {
    name = BeforeBracket(name);
    if (!name.empty() && name.find_first_of("\" ,") == std::string_view::npos) {
      // Most names are given values many times: look before copying.
      if (names_.find(name) == names_.end()) names_.emplace(name);
    }
  }

  void MapLine(std::size_t i) {
    std::string_view raw = out_.lines[i];
    LineMap& m = out_.map[i];
    if (raw.empty() || raw[0] == '#') return;
    m.code = true;
    std::string_view firstWord = raw.substr(0, raw.find(' '));
    if (IsBlockKeyword(firstWord)) m.blockWord = firstWord;
    PrepareLine(raw, prepared_);
    LineCut shape = ClassifyLine(prepared_, pieces_, words_);
    m.form = shape.form;
    std::string_view name;
    switch (shape.form) {
      case LineForm::kNothing: return;
      case LineForm::kStatement:
      case LineForm::kClassCall: name = pieces_[0]; break;
      case LineForm::kBlock: name = words_[0]; break;
      case LineForm::kArray: name = shape.three.first; break;
      case LineForm::kAssign: AddVariable(shape.three.first); return;
    }
    m.name = name;
    m.nameSpan = SpanOf(raw, name);
    if (shape.form == LineForm::kArray) AddVariable(shape.three.rest);
    if (shape.form == LineForm::kClassCall) MapClassCall(m);
    if (name == "jump" && pieces_.size() > 1) {
      m.isJump = true;
      m.jumpTarget = check::LiteralInt(pieces_[1]);
      m.targetSpan = SpanOf(raw, pieces_[1]);
    }
  }

  // The call is named as it runs: anything from a second colon on is
  // dropped. Some commands give a value to a variable named by an argument.
  void MapClassCall(LineMap& m) {
    std::optional<ClassCall> call = SplitClassCall(pieces_[0]);
    if (!call) return;
    m.name = std::string(call->className) + ":" + std::string(call->command);
    if (m.name == "strings:split" && pieces_.size() > 3) AddVariable(pieces_[3]);
    if (m.name == "fs:read" && pieces_.size() > 2) AddVariable(pieces_[2]);
  }

  ScriptMap out_;
  std::set<std::string, std::less<>> names_;
  std::string prepared_;
  std::vector<std::string_view> pieces_, words_;
};

}  // namespace

std::optional<std::size_t> ScriptMap::TargetIndex(std::size_t i) const {
  const std::optional<std::int64_t>& target = map[i].jumpTarget;
  if (!target || *target < 1 || static_cast<std::uint64_t>(*target) > lines.size()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(*target - 1);
}

ScriptMap MapScript(std::string_view text) { return Mapper(text).Run(); }

std::optional<std::string> RewrittenLine(std::string_view raw) {
  if (raw.empty() || raw[0] == '#') return std::nullopt;
  // An interpreter of its own that never runs a line knows no variables, so
  // only operations between literals are computed; what it would print goes
  // nowhere (standard output is the client's).
  std::string printed;
  Interpreter in;
  in.host.out.CaptureTo(&printed);
  std::string prepared;
  PrepareLine(raw, prepared);
  std::string rewritten = prepared;
  try {
    RewriteArithmetic(in, rewritten);
  } catch (const ProgramExit&) {
    return std::nullopt;  // a line that would end the program runs as nothing
  }
  if (rewritten == prepared) return std::nullopt;
  return rewritten;
}

}  // namespace zarnith::lsp
