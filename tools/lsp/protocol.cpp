#include "lsp/protocol.h"

#include <algorithm>
#include <limits>

namespace zarnith::lsp::proto {

namespace {

// Reading what the client sent. `path` names the member in the message that
// refuses it ("position.line").

[[noreturn]] void Refuse(std::string_view path, std::string_view problem) {
  throw ProtocolError(ErrorCode::kInvalidParams,
                      "invalid params: " + std::string(path) + " " + std::string(problem));
}

// The member `key` of `object`, or null when it is left out.
const json* Find(const json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// As Find, with null standing for a member left out.
const json* FindSet(const json& object, std::string_view key) {
  const json* found = Find(object, key);
  return found && !found->is_null() ? found : nullptr;
}

const json& Need(const json& object, std::string_view key, std::string_view path) {
  const json* found = Find(object, key);
  if (!found) Refuse(path, "is missing");
  return *found;
}

std::string ReadString(const json& j, std::string_view path) {
  if (!j.is_string()) Refuse(path, "is not a string");
  return j.get<std::string>();
}

// The protocol's uinteger: a whole number from 0 to 2^31 - 1. Fractions,
// negative numbers and larger ones are refused, never rounded or wrapped.
std::uint32_t ReadUInteger(const json& j, std::string_view path) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (!j.is_number_unsigned() || j.get<std::uint64_t>() > kMax) {
    Refuse(path, "is not a whole number from 0 to 2147483647");
  }
  return static_cast<std::uint32_t>(j.get<std::uint64_t>());
}

// The protocol's integer: a whole number from -2^31 to 2^31 - 1.
std::int64_t ReadInteger(const json& j, std::string_view path) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  bool fits = j.is_number_unsigned() ? j.get<std::uint64_t>() <= static_cast<std::uint64_t>(kMax)
              : j.is_number_integer() ? j.get<std::int64_t>() >= kMin
                                      : false;
  if (!fits) Refuse(path, "is not a whole number from -2147483648 to 2147483647");
  return j.get<std::int64_t>();
}

Position ReadPosition(const json& j, const std::string& path) {
  return {ReadUInteger(Need(j, "line", path + ".line"), path + ".line"),
          ReadUInteger(Need(j, "character", path + ".character"), path + ".character")};
}

Range ReadRange(const json& j, const std::string& path) {
  return {ReadPosition(Need(j, "start", path + ".start"), path + ".start"),
          ReadPosition(Need(j, "end", path + ".end"), path + ".end")};
}

// Writing JSON text directly.

// Appends `s` as a JSON string. Plain ASCII is copied as it is; anything
// else goes through the JSON library, which escapes it and replaces bytes
// that are not UTF-8.
void AppendString(std::string& out, std::string_view s) {
  bool plain = std::all_of(s.begin(), s.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x80 && c != '"' && c != '\\';
  });
  if (plain) {
    out += '"';
    out += s;
    out += '"';
    return;
  }
  out += json(std::string(s)).dump(-1, ' ', false, json::error_handler_t::replace);
}

void AppendPosition(std::string& out, Position p) {
  out += "{\"line\":";
  out += std::to_string(p.line);
  out += ",\"character\":";
  out += std::to_string(p.character);
  out += '}';
}

void AppendRange(std::string& out, const Range& r) {
  out += "{\"start\":";
  AppendPosition(out, r.start);
  out += ",\"end\":";
  AppendPosition(out, r.end);
  out += '}';
}

void AppendDiagnostic(std::string& out, const Diagnostic& d) {
  out += "{\"range\":";
  AppendRange(out, d.range);
  out += ",\"severity\":";
  out += std::to_string(static_cast<int>(d.severity));
  out += ",\"code\":";
  AppendString(out, d.code);
  out += ",\"source\":";
  AppendString(out, d.source);
  out += ",\"message\":";
  AppendString(out, d.message);
  if (!d.relatedInformation.empty()) {
    out += ",\"relatedInformation\":[";
    for (std::size_t i = 0; i < d.relatedInformation.size(); ++i) {
      const DiagnosticRelatedInformation& r = d.relatedInformation[i];
      out += i > 0 ? ",{\"location\":{\"uri\":" : "{\"location\":{\"uri\":";
      AppendString(out, r.location.uri);
      out += ",\"range\":";
      AppendRange(out, r.location.range);
      out += "},\"message\":";
      AppendString(out, r.message);
      out += '}';
    }
    out += ']';
  }
  out += '}';
}

// Columns: bytes of the UTF-8 sequence starting at `line[i]` and its UTF-16
// code units. A byte that starts no valid sequence counts as one unit of its
// own.
struct Sequence {
  std::size_t bytes = 1;
  std::size_t units = 1;
};

Sequence SequenceAt(std::string_view line, std::size_t i) {
  auto lead = static_cast<unsigned char>(line[i]);
  std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 0x6 ? 2 : lead >> 4 == 0xE ? 3
                       : lead >> 3 == 0x1E ? 4 : 1;
  if (i + length > line.size()) return {};
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) return {};
  }
  return {length, length == 4 ? std::size_t{2} : std::size_t{1}};
}

// The byte column of `units` code units into `line`, clamped to its end.
std::size_t ByteColumn(std::string_view line, std::size_t units, PositionEncoding e) {
  if (e == PositionEncoding::kUtf8) return std::min(units, line.size());
  std::size_t i = 0;
  while (i < line.size() && units > 0) {
    Sequence s = SequenceAt(line, i);
    if (s.units > units) break;
    units -= s.units;
    i += s.bytes;
  }
  return i;
}

// The code units of the first `bytes` bytes of `line`.
std::size_t UnitColumn(std::string_view line, std::size_t bytes, PositionEncoding e) {
  bytes = std::min(bytes, line.size());
  if (e == PositionEncoding::kUtf8) return bytes;
  std::size_t units = 0;
  for (std::size_t i = 0; i < bytes;) {
    Sequence s = SequenceAt(line, i);
    units += s.units;
    i += s.bytes;
  }
  return units;
}

}  // namespace

InitializeParams ReadInitializeParams(const json& params) {
  InitializeParams out;
  const json* capabilities = Find(params, "capabilities");
  const json* general = capabilities ? Find(*capabilities, "general") : nullptr;
  const json* offered = general ? Find(*general, "positionEncodings") : nullptr;
  out.utf8Offered = offered && offered->is_array() &&
                    std::find(offered->begin(), offered->end(), "utf-8") != offered->end();
  return out;
}

TextDocumentItem ReadDidOpenParams(const json& params) {
  const json& item = Need(params, "textDocument", "textDocument");
  TextDocumentItem out;
  out.uri = ReadString(Need(item, "uri", "textDocument.uri"), "textDocument.uri");
  if (const json* version = Find(item, "version")) {
    out.version = ReadInteger(*version, "textDocument.version");
  }
  out.text = ReadString(Need(item, "text", "textDocument.text"), "textDocument.text");
  return out;
}

DidChangeParams ReadDidChangeParams(const json& params) {
  DidChangeParams out;
  out.uri = ReadDocumentUri(params);
  if (const json* version = FindSet(Need(params, "textDocument", "textDocument"), "version")) {
    out.version = ReadInteger(*version, "textDocument.version");
  }
  const json& changes = Need(params, "contentChanges", "contentChanges");
  if (!changes.is_array()) Refuse("contentChanges", "is not an array");
  out.changes.reserve(changes.size());
  for (std::size_t i = 0; i < changes.size(); ++i) {
    std::string path = "contentChanges[" + std::to_string(i) + "]";
    ContentChange change;
    if (const json* range = FindSet(changes[i], "range")) {
      change.range = ReadRange(*range, path + ".range");
    }
    change.text = ReadString(Need(changes[i], "text", path + ".text"), path + ".text");
    out.changes.push_back(std::move(change));
  }
  return out;
}

std::string ReadDocumentUri(const json& params) {
  const json& document = Need(params, "textDocument", "textDocument");
  return ReadString(Need(document, "uri", "textDocument.uri"), "textDocument.uri");
}

TextDocumentPositionParams ReadPositionParams(const json& params) {
  return {ReadDocumentUri(params), ReadPosition(Need(params, "position", "position"), "position")};
}

ReferenceParams ReadReferenceParams(const json& params) {
  ReferenceParams out{ReadPositionParams(params)};
  const json* context = Find(params, "context");
  const json* include = context ? Find(*context, "includeDeclaration") : nullptr;
  out.includeDeclaration = include && include->is_boolean() && include->get<bool>();
  return out;
}

CodeActionParams ReadCodeActionParams(const json& params) {
  CodeActionParams out{ReadDocumentUri(params)};
  const json* context = Find(params, "context");
  if (const json* only = context ? Find(*context, "only") : nullptr; only && only->is_array()) {
    out.quickfixWanted = std::any_of(only->begin(), only->end(), [](const json& kind) {
      return kind == "quickfix" || kind == "";
    });
  }
  return out;
}

ExecuteCommandParams ReadExecuteCommandParams(const json& params) {
  ExecuteCommandParams out;
  out.command = ReadString(Need(params, "command", "command"), "command");
  if (const json* arguments = FindSet(params, "arguments")) {
    if (!arguments->is_array()) Refuse("arguments", "is not an array");
    out.arguments.assign(arguments->begin(), arguments->end());
  }
  return out;
}

std::string ReadStringArgument(const ExecuteCommandParams& params, std::size_t index) {
  std::string path = "arguments[" + std::to_string(index) + "]";
  if (index >= params.arguments.size()) Refuse(path, "is missing");
  return ReadString(params.arguments[index], path);
}

json ToJson(const Position& p) { return {{"line", p.line}, {"character", p.character}}; }

json ToJson(const Range& r) { return {{"start", ToJson(r.start)}, {"end", ToJson(r.end)}}; }

json ToJson(const Location& l) { return {{"uri", l.uri}, {"range", ToJson(l.range)}}; }

json ToJson(const Hover& h) {
  json out = {{"contents", {{"kind", "markdown"}, {"value", h.markdown}}}};
  if (h.range) out["range"] = ToJson(*h.range);
  return out;
}

json ToJson(const CompletionItem& item) {
  json out = {{"label", item.label}, {"kind", static_cast<int>(item.kind)}};
  if (!item.detail.empty()) out["detail"] = item.detail;
  if (!item.documentation.empty()) {
    out["documentation"] = {{"kind", "markdown"}, {"value", item.documentation}};
  }
  return out;
}

json ToJson(const DocumentSymbol& symbol) {
  return {{"name", symbol.name},
          {"detail", symbol.detail},
          {"kind", static_cast<int>(symbol.kind)},
          {"range", ToJson(symbol.range)},
          {"selectionRange", ToJson(symbol.selectionRange)},
          {"children", ToJson(symbol.children)}};
}

json ToJson(const CodeAction& action) {
  return {{"title", action.title},
          {"kind", action.kind},
          {"command", {{"title", action.command.title},
                       {"command", action.command.command},
                       {"arguments", action.command.arguments}}}};
}

json ToJson(const TextEdit& edit) {
  return {{"range", ToJson(edit.range)}, {"newText", edit.newText}};
}

json ToJson(const WorkspaceEdit& edit) { return {{"changes", {{edit.uri, ToJson(edit.edits)}}}}; }

json ToJson(const ApplyWorkspaceEditParams& params) {
  return {{"label", params.label}, {"edit", ToJson(params.edit)}};
}

json ToJson(const ShowMessageParams& params) {
  return {{"type", static_cast<int>(params.type)}, {"message", params.message}};
}

json ToJson(const ServerCapabilities& c, const ServerInfo& info) {
  json capabilities = {
      {"positionEncoding", c.positionEncoding == PositionEncoding::kUtf8 ? "utf-8" : "utf-16"},
      {"textDocumentSync",
       {{"openClose", true}, {"change", static_cast<int>(TextDocumentSyncKind::kIncremental)}}},
      {"hoverProvider", true},
      {"definitionProvider", true},
      {"referencesProvider", true},
      {"completionProvider", {{"triggerCharacters", c.completionTriggers}}},
      {"documentSymbolProvider", true},
      {"codeActionProvider", {{"codeActionKinds", c.codeActionKinds}}},
      {"executeCommandProvider", {{"commands", c.commands}}},
  };
  return {{"capabilities", std::move(capabilities)},
          {"serverInfo", {{"name", info.name}, {"version", info.version}}}};
}

std::string PublishDiagnosticsMessage(const PublishDiagnosticsParams& params) {
  std::string out =
      "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/publishDiagnostics\",\"params\":{\"uri\":";
  AppendString(out, params.uri);
  if (params.version) {
    out += ",\"version\":";
    out += std::to_string(*params.version);
  }
  out += ",\"diagnostics\":[";
  for (std::size_t i = 0; i < params.diagnostics.size(); ++i) {
    if (i > 0) out += ',';
    AppendDiagnostic(out, params.diagnostics[i]);
  }
  out += "]}}";
  return out;
}

LineTable::LineTable(std::string_view text, PositionEncoding encoding)
    : text_(text), encoding_(encoding) {
  starts_.push_back(0);
  if (text.find('\r') == std::string_view::npos) {
    // The common case, searched for line feeds alone, which is much faster.
    for (std::size_t at = text.find('\n'); at != std::string_view::npos;
         at = text.find('\n', at + 1)) {
      starts_.push_back(at + 1);
    }
    return;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      starts_.push_back(i + 1);
    }
  }
}

std::string_view LineTable::LineText(std::size_t line) const {
  std::size_t begin = starts_[line];
  if (line + 1 == starts_.size()) return text_.substr(begin);
  std::size_t end = starts_[line + 1] - 1;  // at the '\n' or lone '\r'
  if (text_[end] == '\n' && end > begin && text_[end - 1] == '\r') --end;
  return text_.substr(begin, end - begin);
}

std::optional<std::size_t> LineTable::Offset(Position p) const {
  if (p.line >= starts_.size()) return std::nullopt;
  return starts_[p.line] + ByteColumn(LineText(p.line), p.character, encoding_);
}

std::size_t LineTable::ClampedOffset(Position p) const {
  return Offset(p).value_or(text_.size());
}

Position LineTable::PositionAt(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  auto line = static_cast<std::size_t>(after - starts_.begin()) - 1;
  std::size_t column = UnitColumn(LineText(line), offset - starts_[line], encoding_);
  return {static_cast<std::uint32_t>(line), static_cast<std::uint32_t>(column)};
}

}  // namespace zarnith::lsp::proto
