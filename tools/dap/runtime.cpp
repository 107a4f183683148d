// The debugger's engine: stops, steps, steps back, and reads and changes the
// stopped script.
#include "dap/runtime.h"

#include <fstream>
#include <iterator>
#include <new>

#include "check/check.h"
#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/classify.h"
#include "core/line.h"
#include "core/runner.h"
#include "values/conditions.h"
#include "values/messages.h"
#include "values/split.h"

namespace zarnith::dap {

namespace {

bool ValuesEqual(const Reading& a, const Reading& b) {
  if (a.error.empty() != b.error.empty() || a.type != b.type) return false;
  if (!a.error.empty()) return true;
  if (a.intArray || a.stringArray) return a.intArray == b.intArray && a.stringArray == b.stringArray;
  if (const auto* n = std::get_if<std::int64_t>(&a.value)) {
    const auto* m = std::get_if<std::int64_t>(&b.value);
    return m && *n == *m;
  }
  const auto* t = std::get_if<Text>(&b.value);
  return t && std::get<Text>(a.value).view() == t->view();
}

// The lines that run no statement, and why, as the checker says it.
std::vector<std::string> NoStatementLines(const facts::ScriptFacts& script) {
  std::vector<std::string> why(script.size());
  for (const check::Diagnostic& d : check::CheckScript(script)) {
    if ((d.code == "no-statement" || d.code == "space-indent") && d.line - 1 < why.size()) {
      why[d.line - 1] = d.message;
    }
  }
  return why;
}

}  // namespace

Runtime::Runtime(RuntimeClient& client, const std::atomic<bool>& attention)
    : client_(client), attention_(attention) {}

std::optional<std::string> Runtime::Load(const LaunchSettings& settings) {
  std::ifstream file(settings.program, std::ios::binary);
  if (!file) return "cannot open " + settings.program;
  try {
    script_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return "cannot read " + settings.program;
  }
  if (file.bad()) return "cannot read " + settings.program;
  facts_.emplace(script_);
  lines_ = facts_->lines();
  breakpoints_.Load(*facts_, NoStatementLines(*facts_));
  history_ = History(settings.history);
  history_.Load(*facts_);
  LoadBuiltinClasses(in_);
  // `arg` as the interpreter sets it from its command line.
  std::string arg = "nil";
  for (std::size_t i = 0; i < settings.args.size(); ++i) {
    if (i == 0) arg.clear();
    if (i > 0) arg += ' ';
    arg += settings.args[i];
  }
  in_.stores.Add(in_.stores.stringVars, "arg", std::move(arg));
  in_.host.input.FeedText(settings.stdinText.value_or(""));
  entry_ = settings.stopOnEntry;
  if (entry_) mode_ = Mode::kStep;
  watchful_ = entry_;
  return std::nullopt;
}

int Runtime::Run() {
  in_.host.debugger = this;
  in_.host.sleep = [this](std::int64_t ms) { client_.Sleep(*this, ms); };
  int status = 0;
  try {
    Execute(in_, script_);
  } catch (const ProgramExit& e) {
    status = e.status;
  }
  in_.host.out.Flush();
  return status;
}

std::vector<BreakpointState> Runtime::SetLineBreakpoints(const std::vector<LineBreakpointRequest>& requests) {
  return breakpoints_.SetLines(requests);
}

std::vector<BreakpointState> Runtime::SetFunctionBreakpoints(const std::vector<std::string>& names) {
  return breakpoints_.SetFunctions(in_, names);
}

void Runtime::SetExceptionFilters(bool error, bool critical) {
  errorFilter_ = error;
  criticalFilter_ = critical;
}

std::optional<std::string> Runtime::CanWatch(std::string_view expression) {
  Reading r = ReadName(in_, expression);
  if (!r.error.empty()) return r.error;
  if (r.intArray || r.stringArray) return "an array is watched element by element, as a[0]";
  return std::nullopt;
}

std::vector<BreakpointState> Runtime::SetWatches(const std::vector<std::string>& expressions) {
  watches_.clear();
  std::vector<BreakpointState> states;
  int id = 1000000;  // apart from the line and function breakpoints' ids
  for (const std::string& e : expressions) {
    BreakpointState state{++id, false, -1, {}};
    if (std::optional<std::string> refusal = CanWatch(e)) {
      state.message = *refusal;
    } else {
      state.verified = true;
      watches_.push_back({state.id, e, ReadName(in_, e)});
      watchful_ = true;
    }
    states.push_back(std::move(state));
  }
  return states;
}

// --- Running and stopping ---------------------------------------------------

bool Runtime::Stoppable(std::int64_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return false;
  std::string_view raw = lines_[static_cast<std::size_t>(index)];
  if (raw.empty() || raw[0] == '#' || raw == "\n") return false;
  return !SkippedByGate(in_, raw);
}

void Runtime::BeforeLine(Interpreter& in) {
  // Most lines: nothing asked for, no breakpoint here; the line is recorded.
  if (!watchful_ && !attention_.load(std::memory_order_relaxed) && !breakpoints_.AnyAt(in.lineIndex)) {
    if (in.lineIndex >= 0 && static_cast<std::size_t>(in.lineIndex) < lines_.size()) RecordLine();
    return;
  }
  LookBeforeLine(in);
}

void Runtime::LookBeforeLine(Interpreter& in) {
  if (attention_.load(std::memory_order_relaxed)) client_.Poll(*this);
  // What the line before did: an error line it printed, a watched value it changed.
  if (error_) NoteError();
  if (!watches_.empty() && WatchesChanged()) dataLine_ = lastLine_;
  if (resumeAt_ == in.lineIndex) {
    resumeAt_ = -1;
  } else if (mode_ != Mode::kRun || errorStop_ || dataHit_ || breakpoints_.AnyAt(in.lineIndex)) {
    StopIfDue();
  }
  lastLine_ = in.lineIndex;
  watchful_ = mode_ != Mode::kRun || errorStop_ || dataHit_ || error_ || !watches_.empty() || resumeAt_ >= 0;
  if (in.lineIndex >= 0 && static_cast<std::size_t>(in.lineIndex) < lines_.size()) RecordLine();
}

void Runtime::NoteError() {
  if (errorFilter_) errorStop_ = Stop{StopReason::kException, error_->line, error_->text, 0, true};
  error_.reset();
}

void Runtime::RecordLine() {
  try {
    history_.BeginLine(in_);
  } catch (const std::bad_alloc&) {
    history_.Clear();  // the script goes on; only stepping back is lost
  }
}

void Runtime::StopIfDue() {
  // A stop shown at a line that has run (an error) is followed by the
  // checks of the line that runs next: a step lands there.
  while (std::optional<Stop> stop = DueStop()) {
    if (Interact(*stop)) return;
  }
}

std::optional<Stop> Runtime::DueStop() {
  if (errorStop_) {
    Stop stop = *errorStop_;
    errorStop_.reset();
    return stop;
  }
  std::int64_t i = in_.lineIndex;
  if (!Stoppable(i)) {
    if (dataHit_ && (i < 0 || static_cast<std::size_t>(i) >= lines_.size())) {
      // The script ends after the line that changed the value: shown there.
      Stop stop{StopReason::kDataBreakpoint, dataLine_, {}, dataHit_, true};
      dataHit_ = 0;
      return stop;
    }
    return std::nullopt;
  }
  if (dataHit_) {
    Stop stop{StopReason::kDataBreakpoint, i, {}, dataHit_, false};
    dataHit_ = 0;
    return stop;
  }
  if (mode_ == Mode::kStep) return Stop{entry_ ? StopReason::kEntry : StopReason::kStep, i, {}, 0, false};
  if (mode_ == Mode::kPause) return Stop{StopReason::kPause, i, {}, 0, false};
  if (LineBreakpoint* b = breakpoints_.LineAt(i); b && BreakpointStops(*b)) {
    return Stop{StopReason::kBreakpoint, i, {}, b->id, false};
  }
  if (int id = breakpoints_.FunctionAt(i)) return Stop{StopReason::kFunctionBreakpoint, i, {}, id, false};
  return std::nullopt;
}

bool Runtime::BreakpointStops(LineBreakpoint& b) {
  if (!b.condition.empty()) {
    quiet_ = true;
    std::variant<bool, std::string> holds = EvaluateCondition(in_, b.condition);
    quiet_ = false;
    if (const auto* error = std::get_if<std::string>(&holds)) {
      client_.Console("The condition of the breakpoint on line " + std::to_string(in_.lineIndex + 1) +
                      " cannot be evaluated: " + *error + "\n");
      return true;
    }
    if (!std::get<bool>(holds)) return false;
  }
  if (!b.hit.Matches(++b.hits)) return false;
  if (b.logs) {
    client_.Console(ExpandLogMessage(in_, b.logMessage) + "\n");
    return false;
  }
  return true;
}

// Tells the client about the stop and handles its messages until it
// resumes the script. True when the script then runs the line at lineIndex.
bool Runtime::Interact(const Stop& stop) {
  entry_ = false;
  mode_ = Mode::kRun;
  stopped_ = true;
  atLine_ = !stop.afterLine;
  shown_ = stop.line;
  client_.Stopped(stop);
  for (;;) {
    resume_ = Resume::kNone;
    while (resume_ == Resume::kNone) client_.WaitForCommand(*this);
    if (resume_ == Resume::kGo) break;
    client_.Stopped(again_);
  }
  stopped_ = false;
  return atLine_;
}

bool Runtime::WatchesChanged() {
  bool changed = false;
  for (Watch& w : watches_) {
    Reading now = ReadName(in_, w.expression);
    if (ValuesEqual(now, w.last)) continue;
    w.last = std::move(now);
    if (!changed) dataHit_ = w.id;
    changed = true;
  }
  return changed;
}

void Runtime::ErrorPrinted(Interpreter& in, std::string_view message, std::string_view typeName) {
  if (quiet_) ++quietErrors_;
  if (quiet_ || (!errorFilter_ && !criticalFilter_)) return;
  try {
    std::string text = "error: " + std::to_string(in.lineIndex + 1) + ": ";
    text.append(message).append(typeName);
    bool critical = message == msg::kIndexNotIntCritical || message == msg::kIndexOutOfRangeCritical;
    // The first error of a line is the one it stops for.
    if (!error_) error_ = ErrorNote{in.lineIndex, std::move(text), critical};
    watchful_ = true;
  } catch (const std::bad_alloc&) {
  }
}

bool Runtime::Ending(Interpreter& in, int status) {
  std::optional<ErrorNote> note = std::move(error_);
  error_.reset();
  bool stops = note && (errorFilter_ || (note->critical && status == 127 && criticalFilter_));
  if (!stops) return false;
  movedBack_ = false;
  Interact(Stop{StopReason::kException, note->line, note->text, 0, true});
  if (!movedBack_) return false;
  // A step back: the line the user stopped before runs next, without
  // stopping there again.
  resumeAt_ = in.lineIndex;
  watchful_ = true;
  return true;
}

// --- Control while stopped ----------------------------------------------------

void Runtime::Pause() {
  if (!stopped_) mode_ = Mode::kPause;
  watchful_ = true;
}

void Runtime::Continue() {
  mode_ = Mode::kRun;
  resume_ = Resume::kGo;
}

void Runtime::Step() {
  mode_ = Mode::kStep;
  watchful_ = true;
  resume_ = Resume::kGo;
}

bool Runtime::UndoLine(std::string& refusal) {
  if (history_.Empty()) {
    if (history_.Limit() == 0) {
      refusal = "Stepping back is off: the launch setting history is 0.";
    } else if (history_.Truncated()) {
      refusal = "Cannot step back further: the history keeps the last " +
                std::to_string(history_.Limit()) + " lines (the launch setting history).";
    } else {
      refusal = "Cannot step back: no line has run yet.";
    }
    return false;
  }
  // Lines that ran nothing (comments, skipped branches) are passed over.
  bool namesLeft = false;
  do {
    namesLeft = history_.StepBack(in_) || namesLeft;
  } while (!history_.Empty() && !Stoppable(in_.lineIndex));
  if (namesLeft) {
    plans_.reset();
    plans_.emplace(in_, lines_);
  }
  movedBack_ = true;
  atLine_ = true;
  return true;
}

std::optional<std::string> Runtime::StepBack() {
  std::string refusal;
  if (!UndoLine(refusal)) return refusal;
  WatchesChanged();  // a watched value put back is not a change to stop for
  dataHit_ = 0;
  again_ = Stop{StopReason::kStep, in_.lineIndex, {}, 0, false};
  shown_ = in_.lineIndex;
  resume_ = Resume::kStopAgain;
  return std::nullopt;
}

std::optional<std::string> Runtime::ReverseContinue() {
  std::string refusal;
  if (!UndoLine(refusal)) return refusal;
  again_ = Stop{StopReason::kStep, in_.lineIndex, {}, 0, false};
  for (;;) {
    std::int64_t i = in_.lineIndex;
    bool watched = !watches_.empty() && WatchesChanged();
    if (watched) {
      again_ = Stop{StopReason::kDataBreakpoint, i, {}, dataHit_, false};
      break;
    }
    LineBreakpoint* b = breakpoints_.LineAt(i);
    if (b && !b->logs) {
      quiet_ = true;
      std::variant<bool, std::string> holds =
          b->condition.empty() ? std::variant<bool, std::string>(true) : EvaluateCondition(in_, b->condition);
      quiet_ = false;
      if (!std::holds_alternative<bool>(holds) || std::get<bool>(holds)) {
        again_ = Stop{StopReason::kBreakpoint, i, {}, b->id, false};
        break;
      }
    }
    if (int id = breakpoints_.FunctionAt(i)) {
      again_ = Stop{StopReason::kFunctionBreakpoint, i, {}, id, false};
      break;
    }
    if (!UndoLine(refusal)) {
      again_ = Stop{StopReason::kStep, i, {}, 0, false};
      if (history_.Truncated()) client_.Console(refusal + "\n");
      break;
    }
  }
  dataHit_ = 0;
  shown_ = in_.lineIndex;
  resume_ = Resume::kStopAgain;
  return std::nullopt;
}

// Whether a line is a jump statement, as the interpreter reads it.
static bool IsJump(std::string_view line) {
  std::string prepared;
  std::vector<std::string_view> pieces, words;
  PrepareLine(line, prepared);
  return ClassifyLine(prepared, pieces, words).form == LineForm::kStatement && pieces[0] == "jump";
}

void Runtime::RunLine(std::string_view line) {
  bool shell = in_.shellMode;
  std::int64_t errors = quietErrors_;
  // As the shell runs it: returned values are echoed, errors do not stop.
  in_.shellMode = true;
  quiet_ = true;
  struct Restore {
    Runtime& r;
    bool shell;
    ~Restore() {
      r.in_.shellMode = shell;
      r.quiet_ = false;
    }
  } restore{*this, shell};
  HandleString(in_, line);
  StateChanged();
  if (!IsJump(line) || quietErrors_ != errors) return;
  // The jump's line runs next: the executor adds 1 after each line.
  ++in_.lineIndex;
  atLine_ = true;
  shown_ = in_.lineIndex;
  again_ = Stop{StopReason::kGoto, in_.lineIndex, {}, 0, false};
  resume_ = Resume::kStopAgain;
}

void Runtime::StateChanged() {
  for (Watch& w : watches_) w.last = ReadName(in_, w.expression);
}

}  // namespace zarnith::dap
