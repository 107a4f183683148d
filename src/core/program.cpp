// The program: registers the classes, then runs the shell or a script.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/program.h"
#include "core/runner.h"
#include "core/terminal.h"
#include "state/signals.h"
#include "values/messages.h"

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
  ParseFile(in, argv[1]);
  return 0;
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

int zarnith::ProgramMain(int argc, char** argv, bool linePlans, LineTracer* tracer) {
  ReserveStandardDescriptors();
  SetUpSignals();
  Interpreter in;
  in.host.linePlans = linePlans;
  in.host.tracer = tracer;
  int status = 0;
  try {
    status = Run(in, argc, argv);
  } catch (const ProgramExit& e) {
    status = e.status;
  }
  in.host.out.Flush();
  return status;
}
