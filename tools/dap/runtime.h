// The debugger's engine: runs one script in the interpreter and stops it at
// breakpoints, after steps, on errors and on request; steps back through the
// history; reads and changes its state. It knows nothing of the protocol: the
// session (session.h) turns its stops into messages and calls it for each
// request. Lines are 0-based indices here.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/line.h"
#include "core/plan_table.h"
#include "dap/breakpoints.h"
#include "dap/history.h"
#include "dap/state_view.h"
#include "facts/script_facts.h"
#include "state/interpreter.h"

namespace zarnith::dap {

struct LaunchSettings {
  std::string program;
  std::vector<std::string> args;
  bool hasArgs = false;
  std::optional<std::string> stdinText;
  bool stopOnEntry = false;
  std::size_t history = 100000;
};

enum class StopReason { kEntry, kStep, kBreakpoint, kFunctionBreakpoint, kDataBreakpoint, kException, kPause, kGoto };

struct Stop {
  StopReason reason = StopReason::kStep;
  std::int64_t line = 0;    // the line shown
  std::string text;         // an exception's error line
  int breakpointId = 0;     // the breakpoint that stopped the script, if any
  bool afterLine = false;   // shown at a line that has already run
};

class Runtime;

// What the engine needs from the session.
class RuntimeClient {
 public:
  virtual ~RuntimeClient() = default;
  // Handles the messages that arrived while the script runs.
  virtual void Poll(Runtime& runtime) = 0;
  // Handles one message while the script is stopped, waiting for it.
  virtual void WaitForCommand(Runtime& runtime) = 0;
  // The script sleeps; messages are handled meanwhile.
  virtual void Sleep(Runtime& runtime, std::int64_t ms) = 0;
  virtual void Stopped(const Stop& stop) = 0;
  // A text for the debug console (log points, notes).
  virtual void Console(std::string_view text) = 0;
};

// Ends the script from inside it: the client has gone or asked for the end.
struct EndRequested {};

class Runtime final : public LineDebugger {
 public:
  // `attention` is raised by other threads when a message arrives or output
  // waits; the engine looks at it before every line.
  Runtime(RuntimeClient& client, const std::atomic<bool>& attention);

  // Reads the program and prepares the interpreter; an error text when the
  // program cannot be read.
  std::optional<std::string> Load(const LaunchSettings& settings);
  // Runs the script to its end; its exit status. EndRequested leaves it.
  int Run();

  Interpreter& interpreter() { return in_; }
  const std::string& script() const { return script_; }
  std::size_t LineCount() const { return lines_.size(); }

  // Breakpoints (before or while the script runs).
  std::vector<BreakpointState> SetLineBreakpoints(const std::vector<LineBreakpointRequest>& requests);
  std::vector<BreakpointState> SetFunctionBreakpoints(const std::vector<std::string>& names);
  void SetExceptionFilters(bool error, bool critical);
  // What a data breakpoint on `expression` would watch: an error text when
  // it cannot be watched.
  std::optional<std::string> CanWatch(std::string_view expression);
  std::vector<BreakpointState> SetWatches(const std::vector<std::string>& expressions);

  // Control. While stopped, a resume ends the stop; StepBack and
  // ReverseContinue stop again where they land (an error text when refused).
  bool IsStopped() const { return stopped_; }
  std::int64_t ShownLine() const { return shown_; }
  void Pause();
  void Continue();
  void Step();
  std::optional<std::string> StepBack();
  std::optional<std::string> ReverseContinue();
  // Runs a line as the shell would, in the stopped script.
  void RunLine(std::string_view line);
  // Values changed by the user: watched values are read afresh.
  void StateChanged();

  // LineDebugger
  void BeforeLine(Interpreter& in) override;
  void ErrorPrinted(Interpreter& in, std::string_view message, std::string_view typeName) override;
  bool Ending(Interpreter& in, int status) override;

 private:
  enum class Mode { kRun, kStep, kPause };
  enum class Resume { kNone, kGo, kStopAgain };
  struct Watch {
    int id = 0;
    std::string expression;
    Reading last;
  };
  struct ErrorNote {
    std::int64_t line = 0;
    std::string text;
    bool critical = false;
  };

  bool Stoppable(std::int64_t index) const;
  [[gnu::noinline]] void LookBeforeLine(Interpreter& in);
  std::optional<Stop> DueStop();
  bool BreakpointStops(LineBreakpoint& b);
  void StopIfDue();
  bool Interact(const Stop& stop);
  void RecordLine();
  bool UndoLine(std::string& refusal);
  bool WatchesChanged();
  void NoteError();

  RuntimeClient& client_;
  const std::atomic<bool>& attention_;
  Interpreter in_;
  std::string script_;
  std::optional<facts::ScriptFacts> facts_;  // of script_, once loaded
  std::span<const std::string_view> lines_;
  Breakpoints breakpoints_;
  History history_{100000};
  std::vector<Watch> watches_;
  bool errorFilter_ = false;
  bool criticalFilter_ = false;

  Mode mode_ = Mode::kRun;
  // Something asks for a look before the next line (a step, a pause, an
  // error line, watches...); set wherever one is asked for, worked out
  // afresh after each look.
  bool watchful_ = false;
  bool entry_ = false;             // the first stop is the entry
  bool stopped_ = false;
  bool atLine_ = true;             // the stop is before the line at lineIndex
  std::int64_t shown_ = 0;
  Resume resume_ = Resume::kNone;
  Stop again_;                     // where a step back landed
  bool movedBack_ = false;         // a step back during this stop
  std::int64_t resumeAt_ = -1;     // the line the user already stopped before
  bool quiet_ = false;             // evaluating for the user: errors do not stop
  std::int64_t quietErrors_ = 0;   // the errors printed meanwhile
  std::optional<ErrorNote> error_;
  std::optional<Stop> errorStop_;  // stops at the next line or the end
  int dataHit_ = 0;                // a watched value changed: stop at the next line
  std::int64_t dataLine_ = 0;      // the line that changed it
  std::int64_t lastLine_ = 0;      // the line that ran last
  // The line plans made afresh after a step back took names out of the
  // stores (plans remember where names stand); destroyed before in_.
  std::optional<ScriptPlans> plans_;
};

}  // namespace zarnith::dap
