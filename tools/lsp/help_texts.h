// What the language server tells about each statement and class command:
// how it is written, what it does and what it hands back in `returned`. The
// one list that hover and completion read.
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
// The class names, from the class registry.
std::span<const std::string> ClassNames();

// The entry named exactly `name`, or null.
const HelpEntry* FindHelp(std::string_view name);

}  // namespace zarnith::lsp
