// The shell's line editor at a terminal. libedit is opened with dlopen when
// the terminal shell starts, so scripts and piped shells never load it. The
// editor reads no configuration file and keeps the history of this session
// only: the interpreter carries no state from one run to the next.
#include "core/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "core/edit_library.h"
#include "core/runner.h"
#include "core/terminal_keys.h"
#include "state/interrupt.h"
#include "state/shared_library.h"
#include "values/messages.h"

namespace zarnith {

EditLibrary gEdit;

namespace {

EditLine* gEditor = nullptr;
History* gHistory = nullptr;

constexpr int kHistorySize = 1000;

// Set while a typed line runs, clear while the editor waits for keys.
volatile std::sig_atomic_t gLineRunning = 0;
struct sigaction gPreviousInterrupt {};

// The terminal's settings as the shell found them (the user's), and the same
// without echo and without discarding typed input at Ctrl-C, for while a
// statement runs: lines typed ahead then wait unseen, and the editor shows
// each once, after its prompt; Ctrl-C abandons the statement, not them. A
// readline waits with the user's settings, so its answer shows as typed.
termios gUserMode{};
termios gRunMode{};
bool gHaveModes = false;
// Set while the run settings hide the echo: Ctrl-C is then shown by the
// shell, as "^C" where the terminal would show it so.
volatile std::sig_atomic_t gEchoHidden = 0;
bool gShowsInterrupt = false;

void HideEcho() {
  if (!gHaveModes) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &gRunMode);
  gEchoHidden = 1;
}

// Also called in the SIGINT handler (tcsetattr is async-signal-safe).
void ShowEcho() {
  if (!gHaveModes) return;
  gEchoHidden = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &gUserMode);
}

// Only a read of the terminal shows what is typed: keys typed while a
// statement reads a pipe stay hidden, to be shown once after their prompt.
void AwaitInput(int fd, bool waiting) {
  if (!gLineRunning || isatty(fd) != 1) return;
  if (waiting) {
    ShowEcho();
  } else {
    HideEcho();
  }
}

void RestoreTerminal() { ShowEcho(); }

void ReadTerminalModes() {
  if (tcgetattr(STDIN_FILENO, &gUserMode) != 0) return;
  gRunMode = gUserMode;
  gRunMode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
  gRunMode.c_lflag |= NOFLSH;
  gShowsInterrupt = (gUserMode.c_lflag & ECHO) && (gUserMode.c_lflag & ECHOCTL);
  gHaveModes = true;
  std::atexit(RestoreTerminal);
}

// A second Ctrl-C sooner than this after the first belongs to the same
// request: keys pressed twice in a row, which the first is still abandoning.
constexpr std::int64_t kSecondInterruptMs = 1000;
// When the running line's first Ctrl-C came; read and written by
// OnInterrupt only (SIGINT is blocked while it runs).
std::int64_t gFirstInterruptMs = 0;

std::int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Ctrl-C abandons the typed line at the prompt and the running statement
// once it runs (state/interrupt.h). A second Ctrl-C, a moment later, while
// that statement still runs (it waits where Ctrl-C cannot reach it, as an
// fs:open of a FIFO without a writer does) ends the program as it would
// without the editor.
void OnInterrupt(int) {
  int savedErrno = errno;  // the interrupted code may be about to read it
  std::int64_t now = MonotonicMs();
  if (gLineRunning && gInterruptRequested) {
    if (now - gFirstInterruptMs >= kSecondInterruptMs) {
      ShowEcho();  // the program ends: the terminal as the user had it
      sigaction(SIGINT, &gPreviousInterrupt, nullptr);
      raise(SIGINT);  // delivered, to the previous disposition, on return
    }
  } else {
    gInterruptRequested = 1;
    gFirstInterruptMs = now;
    if (gEchoHidden && gShowsInterrupt) {
      ssize_t ignored = write(STDOUT_FILENO, "^C", 2);
      (void)ignored;
    }
  }
  errno = savedErrno;
}

// Without SA_RESTART, so that the editor's read and the waits of a running
// statement return when Ctrl-C is pressed.
void CatchInterrupt() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;
  sigaction(SIGINT, &sa, &gPreviousInterrupt);
}

// Ctrl-D: end of input on an empty line, as in other interactive shells
// (without echoing "^D"); otherwise delete the character under the cursor.
unsigned char EndOrDelete(EditLine* editor, int) {
  const LineInfo* info = gEdit.elLine(editor);
  if (info->buffer == info->lastchar) return CC_EOF;
  if (info->cursor == info->lastchar) return CC_ERROR;
  gEdit.elCursor(editor, 1);
  gEdit.elDeletestr(editor, 1);
  return CC_REFRESH;
}

// Keys of the editor's own that this shell leaves unbound: Meta-x opens the
// editor's command line (key bindings, terminal settings; its parser crashes
// on a lone quote), and Meta-digit starts a repeat count that can fill a line
// with a million copies of a key. Each comes as ESC and the key, or as one
// byte with the high bit set.
constexpr const char* kUnusedKeys[] = {
    "^[x", "^[X", "\\370", "\\330",
    "^[0", "^[1", "^[2", "^[3", "^[4", "^[5", "^[6", "^[7", "^[8", "^[9",
    "\\260", "\\261", "\\262", "\\263", "\\264", "\\265", "\\266", "\\267", "\\270", "\\271",
};

bool LoadEditLibrary() {
  void* handle = OpenSharedLibrary("libedit.so.2");
  if (!handle) return false;
  bool ok =
      BindSymbol(handle, "el_init", gEdit.elInit) && BindSymbol(handle, "el_set", gEdit.elSet) &&
      BindSymbol(handle, "el_get", gEdit.elGet) && BindSymbol(handle, "el_gets", gEdit.elGets) &&
      BindSymbol(handle, "el_wgetc", gEdit.elWgetc) && BindSymbol(handle, "el_wpush", gEdit.elWpush) &&
      BindSymbol(handle, "el_push", gEdit.elPush) &&
      BindSymbol(handle, "history_init", gEdit.historyInit) &&
      BindSymbol(handle, "history", gEdit.history) && BindSymbol(handle, "el_line", gEdit.elLine) &&
      BindSymbol(handle, "el_wline", gEdit.elWline) &&
      BindSymbol(handle, "el_cursor", gEdit.elCursor) &&
      BindSymbol(handle, "el_insertstr", gEdit.elInsertstr) &&
      BindSymbol(handle, "el_deletestr", gEdit.elDeletestr) &&
      BindSymbol(handle, "el_resize", gEdit.elResize);
  if (!ok) CloseSharedLibrary(handle);
  return ok;
}

void Remember(const std::string& line) {
  if (line.empty()) return;
  HistEvent event;
  gEdit.history(gHistory, &event, H_ENTER, line.c_str());
  RememberForSearch(line);
}

// Whole lines that a readline statement took from the terminal beyond its
// own come first, so typed-ahead input is neither lost nor reordered (they
// are in memory: nothing waits here). The editor never drew them: they are
// shown after the prompt and kept in the history as if typed there.
LineReader::Result ReadTypedAhead(Interpreter& in, std::string& line) {
  in.host.out.Write(msg::kPrompt);
  in.host.out.Flush();
  LineReader::Result r = in.host.input.ReadLine(line);
  if (r == LineReader::Result::kLine) {
    in.host.out.Write(Visible(line));
    in.host.out.Put('\n');
    Remember(line);
  }
  return r;
}

// One line from the editor; kEnd with gInterruptRequested set when Ctrl-C
// abandoned it.
LineReader::Result ReadFromEditor(std::string& line) {
  int count = 0;
  gEdit.elResize(gEditor);  // the window may have changed while a line ran
  const char* text = gEdit.elGets(gEditor, &count);
  EndSearch();
  if (gInterruptRequested || text == nullptr || count <= 0) return LineReader::Result::kEnd;
  std::string_view typed(text, static_cast<std::size_t>(count));
  if (typed.ends_with('\n')) typed.remove_suffix(1);
  if (typed.size() + 1 > LineReader::kMaxLine) return LineReader::Result::kTooLong;
  line.assign(typed);
  Remember(line);
  return LineReader::Result::kLine;
}

LineReader::Result ReadEditedLine(Interpreter& in, std::string& line) {
  gLineRunning = 0;
  gEchoHidden = 0;  // the editor shows the keys now, and Ctrl-C as it sees fit
  for (;;) {
    gInterruptRequested = 0;
    // The start of a line typed ahead goes to the editor, to be finished there.
    std::string partial;
    if (in.host.input.TakePartialLine(partial)) gEdit.elPush(gEditor, partial.c_str());
    LineReader::Result r =
        in.host.input.BufferEmpty() ? ReadFromEditor(line) : ReadTypedAhead(in, line);
    if (gInterruptRequested) {
      // Ctrl-C abandoned the line: a fresh prompt on the next line.
      in.host.out.Put('\n');
      in.host.out.Flush();
      continue;
    }
    HideEcho();
    gLineRunning = 1;
    return r;
  }
}

}  // namespace

bool UseTerminalLineEditor(Interpreter& in) {
  if (!LoadEditLibrary()) return false;
  // Let the editor measure characters the way the terminal shows them.
  std::setlocale(LC_CTYPE, "");
  // Nothing is ever written to standard error: the editor's own complaints
  // (an unknown TERM, for one) go to the null device.
  FILE* quiet = std::fopen("/dev/null", "we");
  if (quiet == nullptr) return false;
  gEditor = gEdit.elInit("zarnith", stdin, stdout, quiet);
  gHistory = gEdit.historyInit();
  if (gEditor == nullptr || gHistory == nullptr) return false;
  HistEvent event;
  gEdit.history(gHistory, &event, H_SETSIZE, kHistorySize);
  gEdit.history(gHistory, &event, H_SETUNIQUE, 1);  // a line repeated is kept once
  gEdit.elSet(gEditor, EL_EDITOR, "emacs");
  gEdit.elSet(gEditor, EL_PROMPT, ShellPrompt);
  gEdit.elSet(gEditor, EL_HIST, gEdit.history, gHistory);
  gEdit.elSet(gEditor, EL_ADDFN, "zarnith-end-or-delete", "End input or delete a character",
              EndOrDelete);
  gEdit.elSet(gEditor, EL_BIND, "^D", "zarnith-end-or-delete", nullptr);
  for (const char* key : kUnusedKeys) gEdit.elSet(gEditor, EL_BIND, key, "ed-unassigned", nullptr);
  BindShellKeys(gEditor, in);
  ReadTerminalModes();
  CatchInterrupt();
  in.host.readShellLine = ReadEditedLine;
  in.host.awaitInput = AwaitInput;
  return true;
}

}  // namespace zarnith
