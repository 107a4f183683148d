// The fuzzing interpreter: every class is the real one, over the fake system.
#include "fuzz_host.h"

#include "core/builtin_classes.h"
#include "fake_system.h"

namespace zarnith::fuzz {

namespace {
constexpr std::int64_t kStepLimit = 2000;
}  // namespace

FakeSystemScope::~FakeSystemScope() { CloseFakeSystem(); }

FuzzInterpreter::FuzzInterpreter(std::string_view input) {
  InstallFakeSystem(in.host);
  in.host.out.CaptureTo(&out);
  in.host.input.FeedText(input);
  in.host.sleep = [](std::int64_t) {};
  in.host.stepLimit = kStepLimit;
  LoadBuiltinClasses(in);
}

}  // namespace zarnith::fuzz
