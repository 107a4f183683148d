// What the language server tells about each statement and class command:
// how it is written, what it does and what it hands back in `returned`. Hover
// and completion read it; the names themselves come from the interpreter's
// tables (core/completion.h).
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zarnith::lsp {

struct HelpEntry {
  std::string_view name;       // "print", "if", "fs:open"
  std::string_view usage;      // how a line writes it
  std::string_view does;
  std::string_view returned;   // empty when `returned` is left as it was
};

// Statements, block keywords and `array`.
std::span<const HelpEntry> StatementHelp();
// Every class's commands, named "class:command", in class order.
std::span<const HelpEntry> CommandHelp();

// The entry named exactly `name`, or null.
const HelpEntry* FindHelp(std::string_view name);

}  // namespace zarnith::lsp
