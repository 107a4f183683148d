// Fuzz target: the interactive shell reading arbitrary standard input.
// When the first byte has its top bit set, the first line is repeated to
// (low seven bits) KiB, so the fuzzer reaches lines past the 64 KiB limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/runner.h"
#include "fuzz_host.h"

namespace {

std::string ShellInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((data[0] & 0x80) == 0) return text;
  std::size_t lf = text.find('\n');
  std::string first = text.substr(0, lf);
  std::string rest = lf == std::string::npos ? std::string() : text.substr(lf);
  std::size_t wanted = std::size_t{data[0] & 0x7fu} * 1024;
  std::string line = first.empty() ? std::string(1, 'x') : first;
  while (line.size() < wanted) line += first.empty() ? std::string(1, 'x') : first;
  return line + rest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zarnith::fuzz::FuzzInterpreter fi(ShellInput(data, size));
  try {
    zarnith::KorvaneShell(fi.in);
  } catch (const zarnith::ProgramExit&) {
    // exit, a critical error or the end of input: every way the shell ends
  }
  return 0;
}
