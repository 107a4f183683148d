#include "lsp/server.h"

#include <algorithm>
#include <stdexcept>

namespace zarnith::lsp {

namespace {

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;

// Stops a request with an error response.
struct RequestError : std::runtime_error {
  RequestError(int c, const std::string& message) : std::runtime_error(message), code(c) {}
  int code;
};

// The member at `path` when every step is there.
const json* Find(const json& j, std::initializer_list<std::string_view> path) {
  const json* at = &j;
  for (std::string_view key : path) {
    if (!at->is_object()) return nullptr;
    auto it = at->find(key);
    if (it == at->end()) return nullptr;
    at = &*it;
  }
  return at;
}

bool ValidId(const json& id) { return id.is_string() || id.is_number_integer() || id.is_number_unsigned(); }

// Where a byte offset stands: its line and the byte column in that line.
struct LineColumn {
  std::size_t line = 0, column = 0;
};
LineColumn LineColumnOf(std::string_view text, std::size_t offset) {
  std::string_view head = text.substr(0, offset);
  std::size_t lineStart = head.rfind('\n');
  lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  return {static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n')), offset - lineStart};
}

Position ReadPosition(const json& p) {
  return {p.at("line").get<std::size_t>(), p.at("character").get<std::size_t>()};
}

}  // namespace

const Server::RequestEntry Server::kRequests[] = {
    {"initialize", &Server::Initialize},
    {"shutdown", &Server::Shutdown},
    {"textDocument/hover", &Server::HoverRequest},
    {"textDocument/definition", &Server::DefinitionRequest},
    {"textDocument/references", &Server::ReferencesRequest},
    {"textDocument/completion", &Server::CompletionRequest},
    {"textDocument/documentSymbol", &Server::SymbolsRequest},
    {"textDocument/codeAction", &Server::CodeActionRequest},
    {"workspace/executeCommand", &Server::ExecuteCommand},
};

const Server::NotificationEntry Server::kNotifications[] = {
    {"initialized", &Server::Initialized},
    {"exit", &Server::Exit},
    {"textDocument/didOpen", &Server::DidOpen},
    {"textDocument/didChange", &Server::DidChange},
    {"textDocument/didClose", &Server::DidClose},
};

void Server::Handle(std::string_view body) {
  json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) return ReplyError(nullptr, kParseError, "the message is not JSON");
  if (!message.is_object()) {
    return ReplyError(nullptr, kInvalidRequest, "a message is a JSON object");
  }
  const json* id = Find(message, {"id"});
  const json* method = Find(message, {"method"});
  if (!method) {
    // A response to one of the server's requests (workspace/applyEdit):
    // nothing waits for it.
    if (id && (message.contains("result") || message.contains("error"))) return;
    return ReplyError(id && ValidId(*id) ? *id : json(nullptr), kInvalidRequest,
                      "a message needs a method");
  }
  if (id && !ValidId(*id)) return ReplyError(nullptr, kInvalidRequest, "an id is a number or a string");
  if (!method->is_string()) {
    if (id) ReplyError(*id, kInvalidRequest, "a method is a string");
    return;
  }
  const json* params = Find(message, {"params"});
  json none = json::object();
  if (params && params->is_null()) params = nullptr;  // as if left out
  if (params && !params->is_object() && !params->is_array()) {
    if (id) ReplyError(*id, kInvalidParams, "params are an object or an array");
    return;
  }
  const std::string& name = method->get_ref<const std::string&>();
  if (id) {
    HandleRequest(*id, name, params ? *params : none);
  } else {
    HandleNotification(name, params ? *params : none);
  }
}

void Server::HandleMalformed() {
  ReplyError(nullptr, kParseError, "the message's header has no valid Content-Length");
}

void Server::HandleRequest(const json& id, std::string_view method, const json& params) {
  if (state_ == State::kWaiting && method != "initialize") {
    return ReplyError(id, kServerNotInitialized, "the server is not initialized yet");
  }
  if (state_ == State::kShutDown) return ReplyError(id, kInvalidRequest, "the server is shut down");
  if (state_ == State::kRunning && method == "initialize") {
    return ReplyError(id, kInvalidRequest, "the server is already initialized");
  }
  auto entry = std::find_if(std::begin(kRequests), std::end(kRequests),
                            [&](const RequestEntry& e) { return e.method == method; });
  if (entry == std::end(kRequests)) {
    return ReplyError(id, kMethodNotFound, "no method is named " + std::string(method));
  }
  try {
    Reply(id, (this->*entry->run)(params));
  } catch (const RequestError& e) {
    ReplyError(id, e.code, e.what());
  } catch (const json::exception& e) {
    ReplyError(id, kInvalidParams, std::string("invalid params: ") + e.what());
  } catch (const std::exception& e) {
    ReplyError(id, kInternalError, e.what());
  }
}

void Server::HandleNotification(std::string_view method, const json& params) {
  if (method != "exit" && state_ != State::kRunning) return;
  auto entry = std::find_if(std::begin(kNotifications), std::end(kNotifications),
                            [&](const NotificationEntry& e) { return e.method == method; });
  if (entry == std::end(kNotifications)) return;  // $/cancelRequest, didSave and the like
  try {
    (this->*entry->run)(params);
  } catch (const std::exception& e) {
    // A notification has no answer; the client's log gets the reason.
    Notify("window/logMessage",
           {{"type", 1}, {"message", std::string(method) + " was ignored: " + e.what()}});
  }
}

void Server::Reply(const json& id, json result) {
  send_({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::ReplyError(const json& id, int code, std::string_view message) {
  send_({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::Notify(std::string_view method, json params) {
  send_({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

void Server::Request(std::string_view method, json params) {
  send_({{"jsonrpc", "2.0"},
         {"id", "zarnith-lsp-" + std::to_string(nextRequestId_++)},
         {"method", method},
         {"params", std::move(params)}});
}

json Server::Initialize(const json& params) {
  if (const json* offered = Find(params, {"capabilities", "general", "positionEncodings"});
      offered && offered->is_array() &&
      std::find(offered->begin(), offered->end(), "utf-8") != offered->end()) {
    encoding_ = Encoding::kUtf8;
  }
  state_ = State::kRunning;
  json capabilities = {
      {"positionEncoding", encoding_ == Encoding::kUtf8 ? "utf-8" : "utf-16"},
      {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
      {"hoverProvider", true},
      {"definitionProvider", true},
      {"referencesProvider", true},
      {"completionProvider", {{"triggerCharacters", {":", "\"", ",", " "}}}},
      {"documentSymbolProvider", true},
      {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
      {"executeCommandProvider", {{"commands", {kUpdateJumpsCommand}}}},
  };
  return {{"capabilities", std::move(capabilities)},
          {"serverInfo", {{"name", "zarnith-lsp"}, {"version", kServerVersion}}}};
}

json Server::Shutdown(const json&) {
  state_ = State::kShutDown;
  shutDown_ = true;
  return nullptr;
}

void Server::Exit(const json&) { finished_ = true; }

Document& Server::DocumentOf(const json& params) {
  const std::string& uri = params.at("textDocument").at("uri").get_ref<const std::string&>();
  auto it = documents_.find(uri);
  if (it == documents_.end()) throw RequestError(kInvalidParams, "no open document " + uri);
  return it->second;
}

Position Server::PositionOf(const json& params) const { return ReadPosition(params.at("position")); }

void Server::PublishDiagnostics(const Document& doc) {
  View v(doc, encoding_);
  Notify("textDocument/publishDiagnostics",
         {{"uri", doc.uri}, {"version", doc.version}, {"diagnostics", Diagnostics(v)}});
}

void Server::DidOpen(const json& params) {
  const json& item = params.at("textDocument");
  std::string uri = item.at("uri").get<std::string>();
  Document& doc = documents_[uri];
  doc.uri = uri;
  doc.text = item.at("text").get<std::string>();
  doc.version = item.value("version", std::int64_t{0});
  doc.map = MapScript(doc.text);
  doc.origins.Reset(doc.text);
  PublishDiagnostics(doc);
}

void Server::ApplyChange(Document& doc, const json& change) {
  const std::string& text = change.at("text").get_ref<const std::string&>();
  const json* range = Find(change, {"range"});
  if (!range || range->is_null()) {
    doc.origins.FollowWhole(doc.text, text);
    doc.text = text;
    return;
  }
  std::size_t from = OffsetAt(doc.text, ReadPosition(range->at("start")), encoding_);
  std::size_t to = OffsetAt(doc.text, ReadPosition(range->at("end")), encoding_);
  to = std::max(from, to);
  LineColumn start = LineColumnOf(doc.text, from);
  LineEdit edit{start.line, start.column, LineColumnOf(doc.text, to).line, text};
  std::string before = doc.text;
  doc.text.replace(from, to - from, text);
  doc.origins.Follow(before, edit, doc.text);
}

void Server::DidChange(const json& params) {
  Document& doc = DocumentOf(params);
  {
    // A change that cannot be made leaves the ones before it made, and
    // the map follows the text in either case.
    struct Remap {
      Document& doc;
      ~Remap() { doc.map = MapScript(doc.text); }
    } remap{doc};
    for (const json& change : params.at("contentChanges")) ApplyChange(doc, change);
  }
  if (const json* version = Find(params, {"textDocument", "version"}); version && version->is_number()) {
    doc.version = version->get<std::int64_t>();
  }
  PublishDiagnostics(doc);
}

void Server::DidClose(const json& params) {
  std::string uri = DocumentOf(params).uri;
  documents_.erase(uri);
  Notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
}

json Server::HoverRequest(const json& params) {
  return Hover(View(DocumentOf(params), encoding_), PositionOf(params));
}

json Server::DefinitionRequest(const json& params) {
  return Definition(View(DocumentOf(params), encoding_), PositionOf(params));
}

json Server::ReferencesRequest(const json& params) {
  const json* include = Find(params, {"context", "includeDeclaration"});
  return References(View(DocumentOf(params), encoding_), PositionOf(params),
                    include && include->is_boolean() && include->get<bool>());
}

json Server::CompletionRequest(const json& params) {
  return Completion(View(DocumentOf(params), encoding_), PositionOf(params));
}

json Server::SymbolsRequest(const json& params) {
  return DocumentSymbols(View(DocumentOf(params), encoding_));
}

json Server::CodeActionRequest(const json& params) {
  Document& doc = DocumentOf(params);
  // A client that asks for other kinds only (source actions on save) gets none.
  if (const json* only = Find(params, {"context", "only"}); only && only->is_array()) {
    bool quickfix = std::any_of(only->begin(), only->end(), [](const json& kind) {
      return kind == "quickfix" || kind == "";
    });
    if (!quickfix) return json::array();
  }
  return CodeActions(View(doc, encoding_));
}

json Server::ExecuteCommand(const json& params) {
  const std::string& command = params.at("command").get_ref<const std::string&>();
  if (command != kUpdateJumpsCommand) {
    throw RequestError(kInvalidParams, "no command is named " + command);
  }
  const std::string& uri = params.at("arguments").at(0).get_ref<const std::string&>();
  Document& doc = DocumentOf(json{{"textDocument", {{"uri", uri}}}});
  View v(doc, encoding_);
  JumpShift shift = PlanJumpShift(doc.origins, v.map);
  if (!shift.edits.empty()) {
    Request("workspace/applyEdit",
            {{"label", ShiftTitle(shift.edits.size())}, {"edit", ShiftEdit(v, shift)}});
  }
  // The targets are right once the client has made the edit.
  doc.origins.Reset(ApplyTargetEdits(v.map, shift.edits));
  if (std::string message = ComputedJumpsMessage(shift); !message.empty()) {
    Notify("window/showMessage", {{"type", 2}, {"message", message}});
  }
  return nullptr;
}

}  // namespace zarnith::lsp
