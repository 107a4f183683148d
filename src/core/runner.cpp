// ParseFile, Execute and KorvaneShell: the script executor and the shell.
#include "core/runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "core/line.h"
#include "core/plan_table.h"
#include "state/interrupt.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/split.h"
#include "values/text.h"

namespace zarnith {

namespace {

bool ReportFileError(Interpreter& in, std::string_view operation, const char* path, int err) {
  std::string line = "Error: ";
  line += operation;
  line += ' ';
  line += path;
  line += ": ";
  line += ErrnoReason(err);
  line += '\n';
  in.host.out.Write(line);
  return false;
}

// Reads the whole file; false with errno set when a read fails or the text
// does not fit in memory.
bool ReadAll(int fd, std::string& text) try {
  struct stat st {};
  if (fstat(fd, &st) == 0 && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[64 * 1024];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(chunk, static_cast<std::size_t>(n));
  }
} catch (const std::bad_alloc&) {
  errno = ENOMEM;
  return false;
}

// Splits a script at its line feeds; false when the list does not fit in
// memory (a script of millions of empty lines needs 16 bytes a line).
bool SplitLines(std::string_view text, std::vector<std::string_view>& lines) try {
  lines = SplitScriptLines(text);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

}  // namespace


bool ParseFile(Interpreter& in, const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ReportFileError(in, "open", path, errno);
  std::string text;
  bool ok = ReadAll(fd, text);
  int err = errno;
  ::close(fd);
  if (!ok) return ReportFileError(in, "read", path, err);
  Execute(in, text);
  return true;
}

// One line with the tracer told before and after it.
[[gnu::noinline]] static void TraceLine(Interpreter& in, std::string_view line) {
  in.host.tracer->BeforeLine(in, in.lineIndex, line);
  HandleScriptLine(in, line);
  in.host.tracer->AfterLine(in);
}

// The executor's loop with the tracer told about every line; a copy of the
// loop below, so that a run without a tracer pays nothing for it.
[[gnu::noinline]] static void RunTraced(Interpreter& in, std::span<const std::string_view> lines) {
  const auto count = static_cast<std::int64_t>(lines.size());
  std::int64_t steps = 0;
  for (in.lineIndex = 0; in.lineIndex >= 0 && in.lineIndex < count; ++in.lineIndex) {
    if (in.host.stepLimit > 0 && ++steps > in.host.stepLimit) return;
    TraceLine(in, lines[static_cast<std::size_t>(in.lineIndex)]);
  }
}

// One line under the debugger. False when the line was ending the program
// and the debugger took the script back to an earlier line instead.
[[gnu::noinline]] static bool DebugLine(Interpreter& in, std::string_view line) {
  try {
    HandleScriptLine(in, line);
  } catch (const ProgramExit& e) {
    if (!in.host.debugger->Ending(in, e.status)) throw;
    return false;
  }
  return true;
}

// The executor's loop under a debugger, which may move lineIndex before each
// line (a step back); a copy of the loop below, like the traced one.
[[gnu::noinline]] static void RunDebugged(Interpreter& in, std::span<const std::string_view> lines) {
  const auto count = static_cast<std::int64_t>(lines.size());
  std::int64_t steps = 0;
  in.lineIndex = 0;
  while (in.lineIndex >= 0 && in.lineIndex < count) {
    if (in.host.stepLimit > 0 && ++steps > in.host.stepLimit) return;
    in.host.debugger->BeforeLine(in);
    // A line run while the script was stopped may have jumped past the end.
    if (in.lineIndex < 0 || in.lineIndex >= count) return;
    if (DebugLine(in, lines[static_cast<std::size_t>(in.lineIndex)])) ++in.lineIndex;
  }
}

void Execute(Interpreter& in, std::string_view text) {
  std::vector<std::string_view> lines;
  in.lineIndex = 0;
  if (!SplitLines(text, lines)) return PrintError(in, msg::kOutOfMemory);
  const auto count = static_cast<std::int64_t>(lines.size());
  ScriptPlans plans(in, lines);
  if (in.host.debugger) return RunDebugged(in, lines);
  if (in.host.tracer) return RunTraced(in, lines);
  std::int64_t steps = 0;
  // jump may leave lineIndex at -1 (line 1 runs next); nothing lower is stored.
  for (in.lineIndex = 0; in.lineIndex >= 0 && in.lineIndex < count; ++in.lineIndex) {
    if (in.host.stepLimit > 0 && ++steps > in.host.stepLimit) return;
    HandleScriptLine(in, lines[static_cast<std::size_t>(in.lineIndex)]);
  }
}

void KorvaneShell(Interpreter& in) {
  in.shellMode = true;
  std::string line;
  for (;;) {
    // A line editor draws the prompt itself.
    auto readEdited = in.host.readShellLine;
    if (!readEdited) in.host.out.Write(msg::kPrompt);
    in.host.out.Flush();
    LineReader::Result r = readEdited ? readEdited(in, line) : in.host.input.ReadLine(line);
    if (r == LineReader::Result::kEnd) {
      // End of input ends the shell the way exit does, on a fresh line.
      in.host.out.Put('\n');
      EndProgram(in, 0);
    }
    if (r == LineReader::Result::kTooLong) {
      PrintError(in, msg::kLineTooLong);
      continue;
    }
    try {
      HandleString(in, line);
    } catch (const StatementInterrupted&) {
      // Ctrl-C at the terminal: the statement is abandoned, the state kept;
      // the next prompt starts below the terminal's "^C".
      in.host.out.Put('\n');
    }
  }
}

}  // namespace zarnith
