// The shell's line editor at a terminal. libedit is opened with dlopen when
// the terminal shell starts, so scripts and piped shells never load it. The
// editor reads no configuration file and keeps the history of this session
// only: the interpreter carries no state from one run to the next.
#include "core/terminal.h"

#include <dlfcn.h>
#include <histedit.h>

#include <clocale>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/runner.h"
#include "state/interrupt.h"
#include "values/messages.h"

namespace zarnith {

namespace {

// The libedit functions the shell calls, looked up by name.
struct EditLibrary {
  EditLine* (*elInit)(const char*, FILE*, FILE*, FILE*) = nullptr;
  int (*elSet)(EditLine*, int, ...) = nullptr;
  const char* (*elGets)(EditLine*, int*) = nullptr;
  History* (*historyInit)() = nullptr;
  int (*history)(History*, HistEvent*, int, ...) = nullptr;
  const LineInfo* (*elLine)(EditLine*) = nullptr;
  int (*elCursor)(EditLine*, int) = nullptr;
  void (*elDeletestr)(EditLine*, int) = nullptr;
  void (*elResize)(EditLine*) = nullptr;
  void (*elPush)(EditLine*, const char*) = nullptr;
};

EditLibrary gLib;
EditLine* gEditor = nullptr;
History* gHistory = nullptr;

constexpr int kHistorySize = 1000;
constexpr char kPromptText[] = "> ";
static_assert(std::string_view(kPromptText) == msg::kPrompt);

// Set while a typed line runs, clear while the editor waits for keys.
volatile std::sig_atomic_t gLineRunning = 0;
struct sigaction gPreviousInterrupt {};

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
  std::int64_t now = MonotonicMs();
  if (gLineRunning && gInterruptRequested) {
    if (now - gFirstInterruptMs < kSecondInterruptMs) return;
    sigaction(SIGINT, &gPreviousInterrupt, nullptr);
    raise(SIGINT);  // delivered, to the previous disposition, on return
    return;
  }
  gInterruptRequested = 1;
  gFirstInterruptMs = now;
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

const char* EditorPrompt(EditLine*) { return kPromptText; }

// Ctrl-D: end of input on an empty line, as in other interactive shells
// (without echoing "^D"); otherwise delete the character under the cursor.
unsigned char EndOrDelete(EditLine* editor, int) {
  const LineInfo* info = gLib.elLine(editor);
  if (info->buffer == info->lastchar) return CC_EOF;
  if (info->cursor == info->lastchar) return CC_ERROR;
  gLib.elCursor(editor, 1);
  gLib.elDeletestr(editor, 1);
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

template <typename Fn>
bool Find(void* handle, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(dlsym(handle, name));
  return fn != nullptr;
}

bool LoadEditLibrary() {
  void* handle = dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  bool ok =
      Find(handle, "el_init", gLib.elInit) && Find(handle, "el_set", gLib.elSet) &&
      Find(handle, "el_gets", gLib.elGets) && Find(handle, "history_init", gLib.historyInit) &&
      Find(handle, "history", gLib.history) && Find(handle, "el_line", gLib.elLine) &&
      Find(handle, "el_cursor", gLib.elCursor) && Find(handle, "el_deletestr", gLib.elDeletestr) &&
      Find(handle, "el_resize", gLib.elResize) && Find(handle, "el_push", gLib.elPush);
  if (!ok) dlclose(handle);
  return ok;
}

void Remember(const std::string& line) {
  if (line.empty()) return;
  HistEvent event;
  gLib.history(gHistory, &event, H_ENTER, line.c_str());
}

// A line as the terminal would echo it: control characters in caret form,
// so that a typed escape sequence cannot move the cursor or recolour the screen.
std::string Visible(std::string_view line) {
  std::string shown;
  shown.reserve(line.size());
  for (char c : line) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      shown += '^';
      shown += static_cast<char>(byte ^ 0x40);
    } else {
      shown += c;
    }
  }
  return shown;
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
  gLib.elResize(gEditor);  // the window may have changed while a line ran
  const char* text = gLib.elGets(gEditor, &count);
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
  for (;;) {
    gInterruptRequested = 0;
    // The start of a line typed ahead goes to the editor, to be finished there.
    std::string partial;
    if (in.host.input.TakePartialLine(partial)) gLib.elPush(gEditor, partial.c_str());
    LineReader::Result r =
        in.host.input.BufferEmpty() ? ReadFromEditor(line) : ReadTypedAhead(in, line);
    if (gInterruptRequested) {
      // Ctrl-C abandoned the line: a fresh prompt on the next line.
      in.host.out.Put('\n');
      in.host.out.Flush();
      continue;
    }
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
  gEditor = gLib.elInit("zarnith", stdin, stdout, quiet);
  gHistory = gLib.historyInit();
  if (gEditor == nullptr || gHistory == nullptr) return false;
  HistEvent event;
  gLib.history(gHistory, &event, H_SETSIZE, kHistorySize);
  gLib.history(gHistory, &event, H_SETUNIQUE, 1);  // a line repeated is kept once
  gLib.elSet(gEditor, EL_EDITOR, "emacs");
  gLib.elSet(gEditor, EL_PROMPT, EditorPrompt);
  gLib.elSet(gEditor, EL_HIST, gLib.history, gHistory);
  gLib.elSet(gEditor, EL_ADDFN, "zarnith-end-or-delete", "End input or delete a character",
             EndOrDelete);
  gLib.elSet(gEditor, EL_BIND, "^D", "zarnith-end-or-delete", nullptr);
  for (const char* key : kUnusedKeys) gLib.elSet(gEditor, EL_BIND, key, "ed-unassigned", nullptr);
  CatchInterrupt();
  in.host.readShellLine = ReadEditedLine;
  return true;
}

}  // namespace zarnith
