// zarnith-trace [--profile] SCRIPT [ARGS...]: runs the script as zarnith does
// (same standard input, output and exit status) and writes a trace, or with
// --profile each line's count and time, to standard error or to the file
// named by ZARNITH_TRACE_FILE.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "core/program.h"
#include "trace/tracer.h"
#include "values/text.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    "Usage: zarnith-trace [--profile] SCRIPT [ARGS...]\n"
    "Runs a Zarnith script exactly as zarnith does and writes what each line\n"
    "did to standard error, or to the file named by ZARNITH_TRACE_FILE:\n"
    "the line, its rewritten text, the statement form that ran or why it was\n"
    "ignored, a changed returned value and jumps; at the end, the lines that\n"
    "never ran.\n"
    "\n"
    "  --profile   each line's execution count and total time instead,\n"
    "              hottest first\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

std::string ReadAll(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The trace file, or null with errno set. A FIFO that nobody reads yet would
// hold the open, and the script, without a word: first try without waiting,
// and say so before waiting for a reader. Each line goes out as it is
// written, so a script that hangs and is ended keeps its trace to the end.
std::FILE* OpenTraceFile(const char* path) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  int fd = ::open(path, kFlags | O_NONBLOCK, 0666);
  if (fd < 0 && errno == ENXIO) {
    std::fprintf(stderr, "zarnith-trace: waiting for a reader of %s\n", path);
    fd = ::open(path, kFlags, 0666);
  }
  if (fd < 0) return nullptr;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "w");
  if (!file) {
    int err = errno;
    ::close(fd);
    errno = err;
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IOLBF, BUFSIZ);
  return file;
}

// Ends writing the trace; false (after saying why, where it still can) when
// any of it was lost: a full disk, a FIFO whose reader has gone.
bool CloseTrace(std::FILE* out, const char* path) {
  errno = 0;
  bool ok = std::fflush(out) == 0 && !std::ferror(out);
  int err = errno;
  if (out != stderr && std::fclose(out) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok) return true;
  std::string line = "zarnith-trace: cannot write the trace to ";
  line += path ? path : "standard error";
  if (err != 0) line += ": " + zarnith::ErrnoReason(err);
  std::fprintf(stderr, "%s\n", line.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  bool profile = false;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("zarnith-trace " ZARNITH_VERSION);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--profile") == 0) {
    profile = true;
    first = 2;
  }
  if (argc <= first) {
    std::fputs("zarnith-trace: no script given\nTry 'zarnith-trace --help'.\n", stderr);
    return 2;
  }
  std::FILE* out = stderr;
  const char* path = std::getenv("ZARNITH_TRACE_FILE");
  if (path && !*path) path = nullptr;
  if (path) {
    out = OpenTraceFile(path);
    if (!out) {
      std::fprintf(stderr, "zarnith-trace: cannot write %s: %s\n", path,
                   zarnith::ErrnoReason(errno).c_str());
      return 2;
    }
  }
  // The program sees the script path as its first argument, as zarnith does.
  std::vector<char*> args{argv[0]};
  args.insert(args.end(), argv + first, argv + argc);
  args.push_back(nullptr);
  const int count = static_cast<int>(args.size()) - 1;
  // For the lines never run; a script too large to read twice goes without.
  std::string script;
  try {
    script = ReadAll(args[1]);
  } catch (const std::bad_alloc&) {
    script.clear();
  }

  int status = 0;
  if (profile) {
    zarnith::trace::Profile tracer;
    status = zarnith::ProgramMain(count, args.data(), true, &tracer);
    try {
      tracer.Report(out, script);
    } catch (const std::bad_alloc&) {
      std::fputs("zarnith-trace: out of memory for the profile\n", stderr);
    }
  } else {
    // Every line on the reference path, where the statement form is decided.
    zarnith::trace::LineTrace tracer(out);
    status = zarnith::ProgramMain(count, args.data(), false, &tracer);
    try {
      tracer.Finish();
      tracer.ReportNeverRun(out, script);
    } catch (const std::bad_alloc&) {
      std::fputs("zarnith-trace: out of memory for the lines never run\n", stderr);
    }
  }
  return CloseTrace(out, path) ? status : 2;
}
