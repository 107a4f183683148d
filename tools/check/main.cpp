// zarnith-check FILE...: the command line around CheckScript.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "values/text.h"
#include "version.h"

namespace {

using zarnith::check::Diagnostic;
using zarnith::check::Severity;

constexpr const char* kUsage =
    "Usage: zarnith-check [OPTION]... FILE...\n"
    "Reads Zarnith scripts without running them and reports the lines that\n"
    "would do nothing, stop the program or do something else than they seem to.\n"
    "A FILE of - is read from standard input.\n"
    "\n"
    "  --werror        report warnings as errors\n"
    "  --format=text   FILE:LINE:COLUMN: error|warning|note: message [code] (default)\n"
    "  --format=json   the same diagnostics as one JSON array\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Exit status: 0 when no error was reported, 1 when one was, 2 for a usage\n"
    "error, a file that cannot be read, too little memory or output that cannot\n"
    "be written.\n";

struct Options {
  bool werror = false;
  bool json = false;
  std::vector<std::string> files;
};

// Standard output through write(2), so that a failed write is seen with its
// reason: a full disk must not pass for a clean script. A reader that has
// gone ends the program by SIGPIPE, as it ends other programs.
class StandardOutput {
 public:
  void Write(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kFlushAt) Flush();
  }

  // False once a write has failed; error() then tells why.
  bool Flush() {
    std::string_view rest = buffer_;
    while (!rest.empty() && error_ == 0) {
      ssize_t n = ::write(1, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error_ = errno;
      if (n > 0) rest.remove_prefix(static_cast<std::size_t>(n));
    }
    buffer_.clear();
    return error_ == 0;
  }

  int error() const { return error_; }

 private:
  static constexpr std::size_t kFlushAt = 64 * 1024;
  std::string buffer_;
  int error_ = 0;
};

// Reads a whole script; the error number when it cannot (ENOMEM when the text
// does not fit in memory, EISDIR for a directory, which opens but does not
// read), 0 when it could.
int ReadAll(int fd, std::string& text) try {
  char chunk[64 * 1024];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    text.append(chunk, static_cast<std::size_t>(n));
  }
} catch (const std::bad_alloc&) {
  text = std::string();
  return ENOMEM;
}

int ReadScript(const std::string& path, std::string& text) {
  if (path == "-") return ReadAll(0, text);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = ReadAll(fd, text);
  ::close(fd);
  return err;
}

std::string Name(const std::string& path) { return path == "-" ? "<stdin>" : path; }

std::string TextLine(const std::string& file, const Diagnostic& d) {
  std::string line = Name(file) + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
                     ": " + std::string(SeverityName(d.severity)) + ": " + d.message;
  if (!d.code.empty()) line += " [" + d.code + "]";
  line += '\n';
  return line;
}

nlohmann::json ToJson(const std::string& file, const Diagnostic& d) {
  // Script texts need not be UTF-8; invalid bytes are replaced, never refused.
  return {{"file", Name(file)},
          {"line", d.line},
          {"column", d.column},
          {"severity", SeverityName(d.severity)},
          {"message", d.message},
          {"code", d.code.empty() ? nlohmann::json(nullptr) : nlohmann::json(d.code)}};
}

// One line on standard error, after the program's name.
void Complain(const std::string& problem) {
  std::string line = "zarnith-check: " + problem + "\n";
  std::fputs(line.c_str(), stderr);
}

int Usage(const std::string& problem) {
  Complain(problem + "\nTry 'zarnith-check --help'.");
  return 2;
}

// What standard output got written decides the status too: a failed write
// is reported, with status 2.
int Finish(StandardOutput& out, int status) {
  if (out.Flush()) return status;
  Complain("cannot write standard output: " + zarnith::ErrnoReason(out.error()));
  return 2;
}

// Checks the files; the exit status.
int CheckFiles(const Options& options, StandardOutput& out) {
  bool errors = false;
  bool failed = false;
  nlohmann::json all = nlohmann::json::array();
  for (const std::string& file : options.files) {
    std::string text;
    if (int err = ReadScript(file, text)) {
      Complain("cannot read " + Name(file) + ": " + zarnith::ErrnoReason(err));
      failed = true;
      continue;
    }
    std::vector<Diagnostic> diagnostics;
    try {
      diagnostics = zarnith::check::CheckScript(text);
    } catch (const std::bad_alloc&) {
      Complain("cannot check " + Name(file) + ": out of memory");
      failed = true;
      continue;
    }
    for (Diagnostic& d : diagnostics) {
      if (options.werror && d.severity == Severity::kWarning) d.severity = Severity::kError;
      errors = errors || d.severity == Severity::kError;
      if (options.json) {
        all.push_back(ToJson(file, d));
      } else {
        out.Write(TextLine(file, d));
      }
    }
  }
  if (options.json) {
    out.Write(all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
    out.Write("\n");
  }
  if (failed) return 2;
  return errors ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  StandardOutput out;
  Options options;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyFiles || arg == "-" || arg.empty() || arg[0] != '-') {
      options.files.push_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "--help") {
      out.Write(kUsage);
      return Finish(out, 0);
    } else if (arg == "--version") {
      out.Write("zarnith-check " ZARNITH_VERSION "\n");
      return Finish(out, 0);
    } else if (arg == "--werror") {
      options.werror = true;
    } else if (arg == "--format=json") {
      options.json = true;
    } else if (arg == "--format=text") {
      options.json = false;
    } else {
      return Usage("unknown option '" + arg + "'");
    }
  }
  if (options.files.empty()) return Usage("no file given");
  try {
    return Finish(out, CheckFiles(options, out));
  } catch (const std::bad_alloc&) {
    // What was printed stays; the rest did not fit.
    out.Flush();
    Complain("out of memory");
    return 2;
  }
}
