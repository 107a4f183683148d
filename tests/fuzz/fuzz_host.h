// The interpreter a fuzz target runs: output captured in memory, fixed
// standard input, no real sleeping, a step limit, and fs, os and bass
// replaced by stand-ins that check their arguments but never touch a file,
// start a program or open an audio device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith::fuzz {

struct FuzzInterpreter {
  Interpreter in;
  std::string out;

  explicit FuzzInterpreter(std::string_view input);
};

// Installs the stand-ins for fs, os and bass in a registry that
// LoadBuiltinClasses has filled.
void InstallFakeClasses(Interpreter& in);

}  // namespace zarnith::fuzz
