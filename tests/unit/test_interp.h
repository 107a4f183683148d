// A fresh interpreter per test, with output captured in memory, fixed input
// and no real sleeping.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "classes/registry.h"
#include "core/builtin_classes.h"
#include "core/line.h"
#include "core/runner.h"
#include "state/interpreter.h"

namespace zarnith::testing {

// Puts an array into the stores under a name.
inline void AddIntArray(Interpreter& in, std::string_view name,
                        std::vector<std::int64_t> elements) {
  in.stores.Add(in.stores.intArrays, name,
                std::make_shared<std::vector<std::int64_t>>(std::move(elements)));
}
inline void AddStringArray(Interpreter& in, std::string_view name,
                           std::vector<std::string> elements) {
  in.stores.Add(in.stores.stringArrays, name,
                std::make_shared<std::vector<std::string>>(std::move(elements)));
}

struct TestInterpreter {
  Interpreter in;
  std::string out;
  std::int64_t slept = 0;

  explicit TestInterpreter(std::string_view input = {}) {
    in.host.out.CaptureTo(&out);
    in.host.input.FeedText(input);
    in.host.sleep = [this](std::int64_t ms) { slept += ms; };
    LoadBuiltinClasses(in);
  }

  // Runs a script text; returns the exit status (0 when the script ends).
  int Run(std::string_view script) {
    try {
      Execute(in, script);
    } catch (const ProgramExit& e) {
      return e.status;
    }
    return 0;
  }

  // Runs one line and returns what it printed.
  std::string Line(std::string_view line) {
    out.clear();
    HandleString(in, line);
    return out;
  }
};

}  // namespace zarnith::testing
