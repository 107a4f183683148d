// HandleString: executes one line of source text.
#pragma once

#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

void HandleString(Interpreter& in, std::string_view line);

// Removes line feeds and tabs and turns backslash-n into a line feed.
void PrepareLine(std::string_view raw, std::string& prepared);

// Cuts a prepared and rewritten text and runs the statement of its form.
void RouteText(Interpreter& in, std::string_view text);

// While it lives, the lines of one script (which must not change meanwhile)
// are planned when they run a second time, if the Host allows plans; the
// plans go with it.
class ScriptPlans {
 public:
  ScriptPlans(Interpreter& in, std::span<const std::string_view> lines);
  ~ScriptPlans();
  ScriptPlans(const ScriptPlans&) = delete;
  ScriptPlans& operator=(const ScriptPlans&) = delete;

 private:
  Interpreter& in_;
};

}  // namespace zarnith
