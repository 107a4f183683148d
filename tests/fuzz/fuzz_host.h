// The interpreter a fuzz target runs: output captured in memory, fixed
// standard input, no real sleeping, a step limit, and the system calls of fs,
// os and bass answered by an in-memory fake (fake_system.h), so the classes'
// real code runs without touching a file, starting a program or opening an
// audio device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith::fuzz {

// Once the interpreter is gone: checks that it closed every fake descriptor
// and releases the fake world.
struct FakeSystemScope {
  FakeSystemScope() = default;
  FakeSystemScope(const FakeSystemScope&) = delete;
  FakeSystemScope& operator=(const FakeSystemScope&) = delete;
  ~FakeSystemScope();
};

struct FuzzInterpreter {
  FakeSystemScope fakeSystem;  // declared first: destroyed after the interpreter
  Interpreter in;
  std::string out;

  explicit FuzzInterpreter(std::string_view input);
};

}  // namespace zarnith::fuzz
