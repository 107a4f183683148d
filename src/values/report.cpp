// PrintError and SetReturned: the one way problems are reported and the one
// way results are handed back.
#include "values/report.h"

#include "values/text.h"

namespace zarnith {

void PrintError(Interpreter& in, std::string_view message, std::string_view typeName) {
  std::string line = "error: ";
  // lineIndex + 1 computed without overflow for any stored value.
  AppendInt(line, static_cast<std::int64_t>(static_cast<std::uint64_t>(in.lineIndex) + 1));
  line += ": ";
  line += message;
  line += typeName;
  line += '\n';
  in.host.out.Write(line);
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
