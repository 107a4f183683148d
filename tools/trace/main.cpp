// zarnith-trace [--profile] SCRIPT [ARGS...]: runs the script as zarnith does
// (same standard input, output and exit status) and writes a trace, or with
// --profile each line's count and time, to standard error or to the file
// named by ZARNITH_TRACE_FILE.
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
  if (const char* path = std::getenv("ZARNITH_TRACE_FILE"); path && *path) {
    out = std::fopen(path, "w");
    if (!out) {
      std::fprintf(stderr, "zarnith-trace: cannot write %s\n", path);
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
  if (out != stderr) std::fclose(out);
  return status;
}
