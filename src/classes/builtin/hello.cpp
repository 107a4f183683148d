// The hello class: one command that prints a greeting.
#include "classes/builtin/hello.h"

#include <array>

#include "classes/args.h"

namespace zarnith {

namespace {

bool helloHello(Interpreter& in, ArgList) {
  in.host.out.Write("Hello, World!\n");
  return true;
}

constexpr std::array<ClassCommand, 1> kCommands{{{"hello", helloHello}}};

}  // namespace

std::span<const ClassCommand> HelloCommands() { return kCommands; }

bool HelloClassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kCommands, true);
}

}  // namespace zarnith
