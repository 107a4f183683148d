// The interpreter a fuzz target runs: output captured in memory, fixed
// standard input, no real sleeping, a step limit, and the system calls of fs,
// os and bass answered by the in-memory system (state/sys_memory.h), so the
// classes' real code runs without touching a file, starting a program or
// opening an audio device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/interpreter.h"
#include "state/sys_memory.h"

namespace zarnith::fuzz {

// The in-memory system with the same few files for every input. Once the
// interpreter is gone it checks that every descriptor was closed (abort
// otherwise: libFuzzer reports it as a crash).
struct FuzzSystem {
  FuzzSystem();
  FuzzSystem(const FuzzSystem&) = delete;
  FuzzSystem& operator=(const FuzzSystem&) = delete;
  ~FuzzSystem();

  MemorySystem memory;
};

struct FuzzInterpreter {
  FuzzSystem system;  // declared first: destroyed after the interpreter
  Interpreter in;
  std::string out;

  explicit FuzzInterpreter(std::string_view input);
};

}  // namespace zarnith::fuzz
