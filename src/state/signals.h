// The interpreter's signals: the dispositions set at start, ending the
// process by a signal, and handing an ending signal on to the program that
// os:execute is waiting for, so that it does not outlive the interpreter.
#pragma once

#include <sys/types.h>

namespace zarnith {

// At start: SIGCHLD back to its default, whatever the parent left (an ignored
// SIGCHLD makes every wait for a started program fail), and SIGPIPE ignored,
// so a write to a pipe without a reader fails with EPIPE and the writer
// decides: a file reports the error, standard output ends the program.
void SetUpSignals();

// Ends the process by `sig` (its default action), as if it had arrived
// unhandled; the parent sees the status of that signal.
[[noreturn]] void EndBySignal(int sig);

// Marks the time a started program runs, from before it is started until it
// has been waited for. Meanwhile SIGINT, SIGTERM and SIGHUP that are at their
// default action are first passed on to the program and then end the
// interpreter by the same signal. Signals that were ignored stay ignored;
// one that has a handler of its own (the terminal shell's Ctrl-C) keeps it,
// and that handler may end the program through RunningProgramPid().
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
