// The Language Server Protocol as zarnith-lsp speaks it: the messages' types,
// their JSON form, the protocol's numbers by name, and positions (a line and
// a column as the client counts them) turned into byte offsets of a
// document's text and back. Nothing outside this file reads or writes the
// protocol's JSON by hand, and nothing inside it knows what a script means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>
#include <nlohmann/json.hpp>

namespace zarnith::lsp::proto {

using nlohmann::json;

// JSON-RPC's error codes and the protocol's own.
enum class ErrorCode {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
};

enum class DiagnosticSeverity { kError = 1, kWarning = 2, kInformation = 3, kHint = 4 };
enum class CompletionItemKind { kMethod = 2, kVariable = 6, kModule = 9, kKeyword = 14 };
enum class SymbolKind { kNamespace = 3, kEvent = 24 };
enum class MessageType { kError = 1, kWarning = 2, kInfo = 3, kLog = 4 };
enum class TextDocumentSyncKind { kNone = 0, kFull = 1, kIncremental = 2 };
// How columns count: UTF-16 code units unless both sides agreed on bytes.
enum class PositionEncoding { kUtf16, kUtf8 };

// A message the server refuses, answered with `code`.
struct ProtocolError : std::runtime_error {
  ProtocolError(ErrorCode c, const std::string& message) : std::runtime_error(message), code(c) {}
  ErrorCode code;
};

struct Position {
  std::uint32_t line = 0;
  std::uint32_t character = 0;
  bool operator==(const Position&) const = default;
};

struct Range {
  Position start, end;
  bool operator==(const Range&) const = default;
};

struct Location {
  std::string uri;
  Range range;
};

// What the client sends. Each Read function checks the whole of its params
// and throws ProtocolError (kInvalidParams) before anything is acted on.

struct InitializeParams {
  bool utf8Offered = false;  // "utf-8" among the client's position encodings
};

struct TextDocumentItem {
  std::string uri;
  std::int64_t version = 0;
  std::string text;
};

struct ContentChange {
  std::optional<Range> range;  // none: the whole text is replaced
  std::string text;
};

struct DidChangeParams {
  std::string uri;
  std::optional<std::int64_t> version;
  std::vector<ContentChange> changes;
};

struct TextDocumentPositionParams {
  std::string uri;
  Position position;
};

struct ReferenceParams {
  TextDocumentPositionParams at;
  bool includeDeclaration = false;
};

struct CodeActionParams {
  std::string uri;
  bool quickfixWanted = true;  // false when the client asks for other kinds only
};

struct ExecuteCommandParams {
  std::string command;
  std::vector<json> arguments;
};

InitializeParams ReadInitializeParams(const json& params);
TextDocumentItem ReadDidOpenParams(const json& params);
DidChangeParams ReadDidChangeParams(const json& params);
std::string ReadDocumentUri(const json& params);  // textDocument.uri
TextDocumentPositionParams ReadPositionParams(const json& params);
ReferenceParams ReadReferenceParams(const json& params);
CodeActionParams ReadCodeActionParams(const json& params);
ExecuteCommandParams ReadExecuteCommandParams(const json& params);
// An argument of a command that must be a text.
std::string ReadStringArgument(const ExecuteCommandParams& params, std::size_t index);

// What the server sends.

struct DiagnosticRelatedInformation {
  Location location;
  std::string message;
};

struct Diagnostic {
  Range range;
  DiagnosticSeverity severity = DiagnosticSeverity::kWarning;
  std::string code;
  std::string source;
  std::string message;
  std::vector<DiagnosticRelatedInformation> relatedInformation;
};

struct PublishDiagnosticsParams {
  std::string uri;
  std::optional<std::int64_t> version;
  std::vector<Diagnostic> diagnostics;
};

struct Hover {
  std::string markdown;
  std::optional<Range> range;
};

struct CompletionItem {
  std::string label;
  CompletionItemKind kind = CompletionItemKind::kKeyword;
  std::string detail;         // left out when empty
  std::string documentation;  // markdown; left out when empty
};

struct DocumentSymbol {
  std::string name;
  std::string detail;
  SymbolKind kind = SymbolKind::kNamespace;
  Range range;
  Range selectionRange;
  std::vector<DocumentSymbol> children;
};

struct Command {
  std::string title;
  std::string command;
  std::vector<std::string> arguments;
};

struct CodeAction {
  std::string title;
  std::string kind;
  Command command;
};

struct TextEdit {
  Range range;
  std::string newText;
};

// Edits of one document.
struct WorkspaceEdit {
  std::string uri;
  std::vector<TextEdit> edits;
};

struct ApplyWorkspaceEditParams {
  std::string label;
  WorkspaceEdit edit;
};

struct ShowMessageParams {  // also the params of window/logMessage
  MessageType type = MessageType::kInfo;
  std::string message;
};

struct ServerInfo {
  std::string_view name;
  std::string_view version;
};

// What the server offers, as its answer to initialize says.
struct ServerCapabilities {
  PositionEncoding positionEncoding = PositionEncoding::kUtf16;
  std::vector<std::string_view> completionTriggers;
  std::vector<std::string_view> codeActionKinds;
  std::vector<std::string_view> commands;
};

json ToJson(const Position& p);
json ToJson(const Range& r);
json ToJson(const Location& l);
json ToJson(const Hover& h);
json ToJson(const CompletionItem& item);
json ToJson(const DocumentSymbol& symbol);
json ToJson(const CodeAction& action);
json ToJson(const WorkspaceEdit& edit);
json ToJson(const ApplyWorkspaceEditParams& params);
json ToJson(const ShowMessageParams& params);
json ToJson(const ServerCapabilities& capabilities, const ServerInfo& info);
template <typename T>
json ToJson(const std::vector<T>& items) {
  json out = json::array();
  for (const T& item : items) out.push_back(ToJson(item));
  return out;
}

// A whole textDocument/publishDiagnostics notification as JSON text. It is
// written directly, not through a JSON tree: a large script's diagnostics
// are sent after every change, and building the tree cost more than
// checking the script.
std::string PublishDiagnosticsMessage(const PublishDiagnosticsParams& params);

// A text's lines as the protocol counts them: each ends at "\r\n", "\n" or a
// lone "\r". Holds a view of the text, which must not change while it is used.
class LineTable {
 public:
  LineTable(std::string_view text, PositionEncoding encoding);

  // The byte offset of a position; none past the last line. A column past
  // the end of its line is the line's end; one inside a character is the
  // character's start.
  std::optional<std::size_t> Offset(Position p) const;
  // As Offset, but a line past the last one stands for the end of the text.
  std::size_t ClampedOffset(Position p) const;
  // The position of a byte offset; an offset inside a line end is the end of
  // its line.
  Position PositionAt(std::size_t offset) const;
  Range RangeOf(std::size_t begin, std::size_t end) const {
    return {PositionAt(begin), PositionAt(end)};
  }

 private:
  std::string_view LineText(std::size_t line) const;  // without its line end

  std::string_view text_;
  std::vector<std::size_t> starts_;  // the offset where each line starts
  PositionEncoding encoding_;
};

}  // namespace zarnith::lsp::proto
