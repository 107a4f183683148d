// Fuzz target: Math at an arbitrary position of an arbitrary line, and the
// rewriting of a whole line, with a few variables and arrays in the stores.
// The first two bytes give the position (signed), the rest is the line.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_host.h"
#include "values/math.h"

namespace {

void FillStores(zarnith::Stores& s) {
  s.intVars.emplace("a", 7);
  s.intVars.emplace("n", -3);
  s.intVars.emplace("max", std::numeric_limits<std::int64_t>::max());
  s.intVars.emplace("min", std::numeric_limits<std::int64_t>::min());
  s.stringVars.emplace("s", "12");
  s.stringVars.emplace("t", "text");
  s.intArrays.emplace(
      "arr", std::make_shared<std::vector<std::int64_t>>(std::vector<std::int64_t>{1, -2, 3}));
  s.stringArrays.emplace(
      "sarr", std::make_shared<std::vector<std::string>>(std::vector<std::string>{"x", "7", ""}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  auto position = static_cast<std::int16_t>(data[0] | (data[1] << 8));
  std::string line(reinterpret_cast<const char*>(data + 2), size - 2);
  zarnith::fuzz::FuzzInterpreter fi("");
  FillStores(fi.in.stores);
  try {
    std::string copy = line;
    zarnith::Math(fi.in, position, copy);
    zarnith::RewriteArithmetic(fi.in, line);
  } catch (const zarnith::ProgramExit&) {
    // A bad array read ends the program: a normal outcome.
  }
  return 0;
}
