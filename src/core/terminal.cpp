// The shell's line editor at a terminal. libedit is opened with dlopen when
// the terminal shell starts, so scripts and piped shells never load it. The
// editor reads no configuration file and keeps the history of this session
// only: the interpreter carries no state from one run to the next.
#include "core/terminal.h"

#include <dlfcn.h>
#include <histedit.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/runner.h"
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
};

EditLibrary gLib;
EditLine* gEditor = nullptr;
History* gHistory = nullptr;

constexpr int kHistorySize = 1000;
constexpr char kPromptText[] = "> ";
static_assert(std::string_view(kPromptText) == msg::kPrompt);

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

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
      Find(handle, "el_resize", gLib.elResize);
  if (!ok) dlclose(handle);
  return ok;
}

// While the editor waits for a key, Ctrl-C only abandons the typed line;
// once a line runs, Ctrl-C ends the program as it always does.
class InterruptAtPrompt {
 public:
  InterruptAtPrompt() {
    gInterrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: the editor's read must return
    sigaction(SIGINT, &sa, &previous_);
  }
  ~InterruptAtPrompt() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptAtPrompt(const InterruptAtPrompt&) = delete;
  InterruptAtPrompt& operator=(const InterruptAtPrompt&) = delete;

 private:
  struct sigaction previous_ {};
};

LineReader::Result ReadEditedLine(Interpreter& in, std::string& line) {
  // Lines that a readline statement already took from the terminal come
  // first, so typed-ahead input is neither lost nor reordered.
  if (!in.host.in.BufferEmpty()) {
    in.host.out.Write(msg::kPrompt);
    in.host.out.Flush();
    return in.host.in.ReadLine(line);
  }
  for (;;) {
    int count = 0;
    const char* text = nullptr;
    {
      InterruptAtPrompt guard;
      gLib.elResize(gEditor);  // the window may have changed while a line ran
      text = gLib.elGets(gEditor, &count);
    }
    if (gInterrupted) {
      std::fputs("\n", stdout);
      std::fflush(stdout);
      continue;
    }
    if (text == nullptr || count <= 0) return LineReader::Result::kEnd;
    std::string_view typed(text, static_cast<std::size_t>(count));
    if (typed.ends_with('\n')) typed.remove_suffix(1);
    if (typed.size() + 1 > LineReader::kMaxLine) return LineReader::Result::kTooLong;
    line.assign(typed);
    if (!line.empty()) {
      HistEvent event;
      gLib.history(gHistory, &event, H_ENTER, line.c_str());
    }
    return LineReader::Result::kLine;
  }
}

}  // namespace

bool UseTerminalLineEditor(Interpreter& in) {
  if (!LoadEditLibrary()) return false;
  // Let the editor measure characters the way the terminal shows them.
  std::setlocale(LC_CTYPE, "");
  gEditor = gLib.elInit("zarnith", stdin, stdout, stderr);
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
  in.host.readShellLine = ReadEditedLine;
  return true;
}

}  // namespace zarnith
