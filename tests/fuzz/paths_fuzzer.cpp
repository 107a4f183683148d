// Fuzz target: each script runs twice on fresh interpreters, once with line
// plans and once with every line on the reference path. Any difference in
// output or in how the program ended is a failure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/runner.h"
#include "fuzz_host.h"

namespace {

struct Outcome {
  std::string out;
  bool exited = false;
  int status = 0;
};

Outcome Run(std::string_view script, bool linePlans) {
  zarnith::fuzz::FuzzInterpreter fi("first line\n42\n\"quoted\"\n");
  fi.in.host.linePlans = linePlans;
  fi.in.stores.stringVars.emplace("arg", "nil");
  Outcome outcome;
  try {
    zarnith::Execute(fi.in, script);
  } catch (const zarnith::ProgramExit& e) {
    outcome.exited = true;
    outcome.status = e.status;
  }
  fi.in.host.out.Flush();
  outcome.out = fi.out;
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view script(reinterpret_cast<const char*>(data), size);
  Outcome planned = Run(script, true);
  Outcome reference = Run(script, false);
  if (planned.out != reference.out || planned.exited != reference.exited ||
      planned.status != reference.status) {
    std::fprintf(stderr, "the two paths differ\n--- plans (exit %d %d):\n%s\n--- reference (exit %d %d):\n%s\n",
                 planned.exited, planned.status, planned.out.c_str(), reference.exited,
                 reference.status, reference.out.c_str());
    std::abort();
  }
  return 0;
}
