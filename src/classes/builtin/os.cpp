// The os class: runs a program, never through a shell, and hands back what it
// wrote to its standard output.
#include "classes/builtin/os.h"

#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "classes/args.h"
#include "state/interrupt.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

// Prints "Unable to start PROGRAM: reason" and hands back "nil".
bool osFail(Interpreter& in, std::string_view program, std::string_view reason) {
  std::string message(msg::kUnableToStart);
  message += program;
  message += ": ";
  message += reason;
  PrintError(in, message);
  SetReturned(in, std::string(msg::kNil));
  return false;
}

// exec: "NAME": executable file not found in $PATH
std::string osNotFoundReason(std::string_view program) {
  std::string reason(msg::kExecPrefix);
  reason += '"';
  reason += program;
  reason += "\": ";
  reason += msg::kNotFoundInPath;
  return reason;
}

// Why a finished program counts as failed, or nothing when it exited with 0.
std::optional<std::string> osExitProblem(int waitStatus) {
  if (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0) {
    return std::string(msg::kExitStatus) + IntToText(WEXITSTATUS(waitStatus));
  }
  if (WIFSIGNALED(waitStatus)) {
    return std::string(msg::kSignal) + SignalReason(WTERMSIG(waitStatus));
  }
  return std::nullopt;
}

// The command line is cut at its first space only: the program, then
// everything after that space as one argument, further spaces included.
// Scripts rely on this to pass text with spaces without any quoting.
bool osExecute(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kString, msg::kOsFirstNotString)) return false;
  std::string line = ArgText(in, args[1]);
  std::size_t space = line.find(' ');
  std::vector<std::string> argv{line.substr(0, space)};
  if (space != std::string::npos) argv.push_back(line.substr(space + 1));
  const std::string& program = argv[0];
  if (!in.host.sys.noPrograms.empty()) return osFail(in, program, in.host.sys.noPrograms);

  // A name with a slash is a path; an empty name is started as it is and fails.
  std::string path = program;
  if (!program.empty() && program.find('/') == std::string::npos) {
    const char* searchPath = std::getenv("PATH");
    std::optional<std::string> found = in.host.sys.lookPath(program, searchPath ? searchPath : "");
    if (!found) return osFail(in, program, osNotFoundReason(program));
    path = std::move(*found);
  }

  // What the script printed so far appears before the program starts.
  in.host.out.Flush();
  AbandonIfInterrupted();
  SysProgramResult result;
  int err = in.host.sys.runProgram(path, argv, result);
  // Ctrl-C at the terminal shell ended the program: nothing is reported.
  AbandonIfInterrupted();
  if (err != 0) {
    return osFail(in, program, std::string(msg::kForkExec) + path + ": " + ErrnoReason(err));
  }
  if (result.waitError) {
    return osFail(in, program, std::string(msg::kWaitPrefix) + ErrnoReason(result.waitError));
  }
  if (std::optional<std::string> problem = osExitProblem(result.waitStatus)) {
    return osFail(in, program, *problem);
  }
  SetReturned(in, std::move(result.output));
  return false;
}

constexpr std::array<ClassCommand, 1> kCommands{{
    {"execute", osExecute, 2, msg::kMissedStringArgument},
}};

}  // namespace

std::span<const ClassCommand> OsCommands() { return kCommands; }

bool OsClassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kCommands, true);
}

}  // namespace zarnith
