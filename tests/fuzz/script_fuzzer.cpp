// Fuzz target: a whole script run by Execute on a fresh interpreter.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/runner.h"
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zarnith::fuzz::FuzzInterpreter fi("first line\n42\n\"quoted\"\n");
  fi.in.stores.Add(fi.in.stores.stringVars, "arg", "nil");
  try {
    zarnith::Execute(fi.in, std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const zarnith::ProgramExit&) {
  }
  return 0;
}
