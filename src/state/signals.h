// The interpreter's signals: the dispositions set at start, ending the
// process by a signal, and handing an ending signal on to the program that
// os:execute is waiting for, so that it does not outlive the interpreter.
#pragma once

#include <sys/types.h>

namespace zarnith {

class Output;

// At start: SIGCHLD back to its default, whatever the parent left (an ignored
// SIGCHLD makes every wait for a started program fail), and SIGPIPE ignored,
// so a write to a pipe without a reader fails with EPIPE and the writer
// decides: a file reports the error, standard output ends the program.
// SIGINT, SIGTERM and SIGHUP, unless they were ignored, end the program as
// before, after passing the signal on to a program that os:execute runs and
// writing out the output of an OutputWrittenOnEndingSignals.
void SetUpSignals();

// While it lives, a signal that ends the program first writes out what `out`
// holds in its buffer, so printed lines are not lost with the process. The
// handler writes it itself (Output::WriteOutOnSignal): the program's own
// check between lines would never come while a line waits or runs long.
class OutputWrittenOnEndingSignals {
 public:
  explicit OutputWrittenOnEndingSignals(Output& out);
  ~OutputWrittenOnEndingSignals();
  OutputWrittenOnEndingSignals(const OutputWrittenOnEndingSignals&) = delete;
  OutputWrittenOnEndingSignals& operator=(const OutputWrittenOnEndingSignals&) = delete;
};

// Ends the process by `sig` (its default action), as if it had arrived
// unhandled; the parent sees the status of that signal.
[[noreturn]] void EndBySignal(int sig);

// Marks the time a started program runs, from before it is started until it
// has been waited for. Meanwhile SIGINT, SIGTERM and SIGHUP are first passed
// on to the program and then end the interpreter by the same signal (the
// handler that SetUpSignals installs does so; one still at its default action
// gets it for the time). Signals that were ignored stay ignored; one that has
// a handler of its own (the terminal shell's Ctrl-C) keeps it, and that
// handler may end the program through RunningProgramPid().
class RunningProgramScope {
 public:
  // The ending signals are held back until Started() or the destructor, so
  // none can arrive between the program's start and its pid being known.
  RunningProgramScope();
  ~RunningProgramScope();
  RunningProgramScope(const RunningProgramScope&) = delete;
  RunningProgramScope& operator=(const RunningProgramScope&) = delete;

  void Started(pid_t pid);
};

// The pid of the program os:execute is waiting for, 0 when there is none.
// Safe to read in a signal handler.
pid_t RunningProgramPid();

}  // namespace zarnith
