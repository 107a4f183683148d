// PrintError and SetReturned: the one way problems are reported and the one
// way results are handed back.
#include "values/report.h"

#include <charconv>

#include "values/text.h"

namespace zarnith {

void PrintError(Interpreter& in, std::string_view message, std::string_view typeName) {
  // Written in parts, without building a string: this also reports that
  // memory has run out, so it must not need any.
  char number[24];
  // lineIndex + 1 computed without overflow for any stored value.
  auto lineNumber = static_cast<std::int64_t>(static_cast<std::uint64_t>(in.lineIndex) + 1);
  auto end = std::to_chars(number, number + sizeof number, lineNumber).ptr;
  Output& out = in.host.out;
  out.Write("error: ");
  out.Write(std::string_view(number, static_cast<std::size_t>(end - number)));
  out.Write(": ");
  out.Write(message);
  out.Write(typeName);
  out.Put('\n');
  if (in.host.debugger) in.host.debugger->ErrorPrinted(in, message, typeName);
}

void PrintError(Interpreter& in, std::string_view message) { PrintError(in, message, {}); }

static void EchoReturned(Interpreter& in) {
  Output& out = in.host.out;
  if (const auto* number = std::get_if<std::int64_t>(&in.lastReturned.value)) {
    std::string line = "=> ";
    AppendInt(line, *number);
    line += '\n';
    out.Write(line);
    return;
  }
  std::string_view text = std::get<Text>(in.lastReturned.value).view();
  bool quote = !text.empty() && text.front() != '"' && text.back() != '"';
  out.Write("=> ");
  if (quote) out.Put('"');
  out.Write(text);
  if (quote) out.Put('"');
  out.Put('\n');
}

void SetReturned(Interpreter& in, std::string_view varType, Value value) {
  in.lastReturned.varType = varType == type::kInt ? type::kInt : type::kString;
  in.lastReturned.value = std::move(value);
  if (in.shellMode) EchoReturned(in);
}

void SetReturned(Interpreter& in, std::int64_t value) { SetReturned(in, type::kInt, value); }

void SetReturned(Interpreter& in, std::string value) {
  SetReturned(in, type::kString, std::move(value));
}

void EndProgram(Interpreter& in, int status) {
  in.host.out.Flush();
  throw ProgramExit{status};
}

}  // namespace zarnith
