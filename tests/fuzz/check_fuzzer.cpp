// Fuzz target: zarnith-check's checks on any script text. Every input must end
// in a list of diagnostics, each on a line of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "check/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  for (const zarnith::check::Diagnostic& d : zarnith::check::CheckScript(text)) {
    if (d.line < 1 || d.line > lines || d.column < 1) std::abort();
  }
  return 0;
}
