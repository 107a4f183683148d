// Fuzz target: each script runs twice on fresh interpreters, once with line
// plans and once with every line on the reference path. Any difference in
// output or in how the program ended is a failure.
//
// A line is planned on its second run and its plan runs from the third on,
// while most generated scripts run each line once. So the script runs inside
// a loop of three passes: lines appended after it close any open if-chain,
// count the pass in a variable the host made and jump back to line 1.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "core/runner.h"
#include "fuzz_host.h"

namespace {

constexpr std::string_view kPassName = "fuzz_pass";
constexpr std::string_view kLoopTail =
    "\nend\n"
    "fuzz_pass = fuzz_pass+1\n"
    "if fuzz_pass < 3\n"
    "jump, 1\n"
    "end\n";
// Three passes over a script of a few hundred lines. Kept low: a script whose
// own loop runs to the limit costs the most time of all inputs.
constexpr std::int64_t kStepLimit = 1200;

struct Outcome {
  std::string out;
  bool exited = false;
  int status = 0;
};

Outcome Run(std::string_view script, bool linePlans) {
  zarnith::fuzz::FuzzInterpreter fi("first line\n42\n\"quoted\"\n");
  fi.in.host.linePlans = linePlans;
  fi.in.host.stepLimit = kStepLimit;
  fi.in.stores.Add(fi.in.stores.stringVars, "arg", "nil");
  fi.in.stores.Add(fi.in.stores.intVars, kPassName, 0);
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

// libFuzzer's own mutations, exported by its runtime.
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

// Half of the mutations are libFuzzer's own; the other half bend one word: a
// bracket, sign, operator, quote or digit put inside it. The two paths read a
// word's shape each in their own way (an index that holds a bracket, a sign
// before a name), and a byte-level mutation rarely lands inside a word.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed) {
  std::minstd_rand random(seed);
  if (size == 0 || size >= maxSize || random() % 2 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  static constexpr std::string_view kBends = "[]-+*/\"0";
  for (int tries = 0; tries < 8; ++tries) {
    std::size_t at = random() % size;
    char c = static_cast<char>(data[at]);
    if (c == ' ' || c == ',' || c == '\n') continue;
    std::memmove(data + at + 1, data + at, size - at);
    data[at] = static_cast<std::uint8_t>(kBends[random() % kBends.size()]);
    return size + 1;
  }
  return LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string script(reinterpret_cast<const char*>(data), size);
  script += kLoopTail;
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
