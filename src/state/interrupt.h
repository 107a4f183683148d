// Ctrl-C at the terminal shell abandons the statement that runs, not the
// program. The terminal's SIGINT handler raises the flag; the calls that wait
// (sleep, reading a line, a started program) look at it when the signal cuts
// their system call short and throw StatementInterrupted, which the shell
// catches before its next prompt. Scripts and piped shells never raise it.
#pragma once

#include <csignal>

namespace zarnith {

// Thrown to abandon the running statement; caught by the shell only.
struct StatementInterrupted {};

// Set by the terminal's SIGINT handler, cleared by the shell before each line.
extern volatile std::sig_atomic_t gInterruptRequested;

inline bool InterruptRequested() { return gInterruptRequested != 0; }

// Abandons the running statement when Ctrl-C asked for it.
inline void AbandonIfInterrupted() {
  if (InterruptRequested()) throw StatementInterrupted{};
}

}  // namespace zarnith
