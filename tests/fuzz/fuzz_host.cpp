// The fuzzing interpreter: every class is the real one, over the in-memory
// system.
#include "fuzz_host.h"

#include <cstdio>
#include <cstdlib>

#include "core/builtin_classes.h"

namespace zarnith::fuzz {

namespace {
constexpr std::int64_t kStepLimit = 2000;
}  // namespace

FuzzSystem::FuzzSystem() {
  memory.AddFile("notes.txt", "first\nsecond\n");
  memory.AddFile("empty.txt", "");
  memory.AddDirectory("music");
  memory.AddFile("music/tone.wav", "RIFF....WAVEfmt ");
  memory.AddDirectory("/tmp");
}

FuzzSystem::~FuzzSystem() {
  if (std::size_t open = memory.OpenDescriptors()) {
    std::fprintf(stderr, "%zu descriptors left open by the interpreter\n", open);
    std::abort();
  }
}

FuzzInterpreter::FuzzInterpreter(std::string_view input) {
  in.host.sys = system.memory.Calls();
  in.host.out.CaptureTo(&out);
  in.host.input.FeedText(input);
  in.host.sleep = [](std::int64_t) {};
  in.host.stepLimit = kStepLimit;
  LoadBuiltinClasses(in);
}

}  // namespace zarnith::fuzz
