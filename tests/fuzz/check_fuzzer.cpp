// Fuzz target: zarnith-check's checks on any script text. Every input must end
// in a list of diagnostics, each on a line of the text and at a column of
// that line as written (or just past its end).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "check/check.h"
#include "facts/script_facts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  zarnith::facts::ScriptFacts script(text);
  for (const zarnith::check::Diagnostic& d : zarnith::check::CheckScript(script)) {
    if (d.line < 1 || d.line > script.size() || d.column < 1 ||
        d.column > script[d.line - 1].raw.size() + 1) {
      std::abort();
    }
  }
  return 0;
}
