// The program: registers the classes, then runs the shell or a script.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/program.h"
#include "core/runner.h"
#include "core/terminal.h"
#include "state/signals.h"
#include "values/messages.h"
#include "values/text.h"

using namespace zarnith;

static int Run(Interpreter& in, int argc, char** argv) {
  LoadBuiltinClasses(in);
  if (argc < 2) {
    in.host.out.Write(msg::kBanner);
    in.host.out.Put('\n');
    // Line editing only for a person at a terminal; pipes and files are read plainly.
    if (isatty(0) == 1 && isatty(1) == 1) UseTerminalLineEditor(in);
    KorvaneShell(in);
  }
  if (argv[1][0] == '-') return 0;
  std::string arg = "nil";
  if (argc > 2) {
    arg = argv[2];
    for (int i = 3; i < argc; ++i) (arg += ' ') += argv[i];
  }
  in.stores.Add(in.stores.stringVars, "arg", std::move(arg));
  // A script that could not be read is a failure the caller must see.
  return ParseFile(in, argv[1]) ? 0 : 1;
}

// Standard descriptors that the caller closed are reopened on the null
// device: otherwise the first file a script opens would get descriptor 1 and
// receive the script's output.
static void ReserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int null = open("/dev/null", O_RDWR);  // the lowest free descriptor: fd
    if (null > fd) close(null);
  }
}

// Output that could not be written is a failure, whatever the script's own
// status: one line on standard error says so, and the status is 1.
static int StatusAfterOutput(const Interpreter& in, const char* program, int status) {
  int err = in.host.out.writeError();
  if (err == 0) return status;
  const char* slash = std::strrchr(program, '/');
  std::string line = slash ? slash + 1 : program;
  line += ": cannot write standard output: ";
  line += ErrnoReason(err);
  line += '\n';
  if (::write(2, line.data(), line.size()) < 0) {
    // Standard error is gone as well: the status alone tells.
  }
  return 1;
}

int zarnith::ProgramMain(int argc, char** argv, bool linePlans, LineTracer* tracer) {
  ReserveStandardDescriptors();
  SetUpSignals();
  Interpreter in;
  OutputWrittenOnEndingSignals writtenOnSignals(in.host.out);
  in.host.linePlans = linePlans;
  in.host.tracer = tracer;
  int status = 0;
  try {
    status = Run(in, argc, argv);
  } catch (const ProgramExit& e) {
    status = e.status;
  }
  in.host.out.Flush();
  return StatusAfterOutput(in, argv[0], status);
}
