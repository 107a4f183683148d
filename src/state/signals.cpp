// Signal dispositions of the interpreter and the hand-over of ending signals
// to a started program.
#include "state/signals.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "state/io.h"

namespace zarnith {

namespace {

constexpr std::array<int, 3> kEndingSignals{SIGINT, SIGTERM, SIGHUP};

std::atomic<pid_t> gRunningPid{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "read in a signal handler");

sigset_t EndingSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kEndingSignals) sigaddset(&set, sig);
  return set;
}

std::atomic<Output*> gWrittenOut{nullptr};
static_assert(std::atomic<Output*>::is_always_lock_free, "read in a signal handler");

// The handler of the ending signals: the program that os:execute runs ends
// too, what was printed goes out, and the interpreter ends by the signal.
void PassOnAndEnd(int sig) {
  int savedErrno = errno;
  pid_t pid = gRunningPid.load();
  if (pid > 0) ::kill(pid, sig);
  Output* out = gWrittenOut.load();
  if (out != nullptr && !out->WriteOutOnSignal(sig)) {
    errno = savedErrno;  // the output's own write ends the program on return
    return;
  }
  EndBySignal(sig);
}

// Without SA_RESTART: a write of the output that the signal cuts short
// returns, and ends the program, instead of waiting on.
void CatchEndingSignal(int sig) {
  struct sigaction action {};
  action.sa_mask = EndingSignalSet();
  action.sa_handler = PassOnAndEnd;
  sigaction(sig, &action, nullptr);
}

// What the scope changed, to put back when it ends; one program runs at a time.
sigset_t gSavedMask;
std::array<bool, kEndingSignals.size()> gHandled{};

}  // namespace

void SetUpSignals() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = SIG_DFL;
  sigaction(SIGCHLD, &action, nullptr);
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
  for (int sig : kEndingSignals) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      CatchEndingSignal(sig);
    }
  }
}

OutputWrittenOnEndingSignals::OutputWrittenOnEndingSignals(Output& out) { gWrittenOut.store(&out); }

OutputWrittenOnEndingSignals::~OutputWrittenOnEndingSignals() { gWrittenOut.store(nullptr); }

void EndBySignal(int sig) {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = SIG_DFL;
  sigaction(sig, &action, nullptr);
  ::raise(sig);  // stays pending while the signal is blocked (inside its handler)
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + sig);  // not reached unless the signal could not end the process
}

RunningProgramScope::RunningProgramScope() {
  sigset_t ending = EndingSignalSet();
  sigprocmask(SIG_BLOCK, &ending, &gSavedMask);
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    struct sigaction current {};
    sigaction(kEndingSignals[i], nullptr, &current);
    gHandled[i] = current.sa_handler == SIG_DFL;
    if (gHandled[i]) CatchEndingSignal(kEndingSignals[i]);
  }
}

void RunningProgramScope::Started(pid_t pid) {
  gRunningPid.store(pid);
  sigprocmask(SIG_SETMASK, &gSavedMask, nullptr);
}

RunningProgramScope::~RunningProgramScope() {
  sigset_t ending = EndingSignalSet();
  sigprocmask(SIG_BLOCK, &ending, nullptr);
  gRunningPid.store(0);
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    if (!gHandled[i]) continue;
    struct sigaction defaultAction {};
    sigemptyset(&defaultAction.sa_mask);
    defaultAction.sa_handler = SIG_DFL;
    sigaction(kEndingSignals[i], &defaultAction, nullptr);
  }
  // A signal that arrived meanwhile now ends the interpreter as it always would.
  sigprocmask(SIG_SETMASK, &gSavedMask, nullptr);
}

pid_t RunningProgramPid() { return gRunningPid.load(); }

}  // namespace zarnith
