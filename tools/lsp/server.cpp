#include "lsp/server.h"

#include <algorithm>
#include <utility>

#include "lsp/features.h"

namespace zarnith::lsp {

namespace {

using proto::ErrorCode;
using proto::json;

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

bool ValidId(const json& id) {
  return id.is_string() || id.is_number_integer() || id.is_number_unsigned();
}

// The engine's answers in the protocol's terms.

proto::Range RangeOf(const proto::LineTable& lines, TextSpan span) {
  return lines.RangeOf(span.begin, span.end);
}

proto::Diagnostic ToProtocol(Finding& f, const proto::LineTable& lines, const std::string& uri) {
  proto::Diagnostic d{RangeOf(lines, f.span),
                      f.severity == check::Severity::kError ? proto::DiagnosticSeverity::kError
                                                            : proto::DiagnosticSeverity::kWarning,
                      std::move(f.code), "zarnith-check", std::move(f.message), {}};
  for (Finding::Note& note : f.notes) {
    d.relatedInformation.push_back({{uri, RangeOf(lines, note.span)}, std::move(note.message)});
  }
  return d;
}

proto::CompletionItemKind KindOf(SuggestionKind kind) {
  switch (kind) {
    case SuggestionKind::kStatement: return proto::CompletionItemKind::kKeyword;
    case SuggestionKind::kClass: return proto::CompletionItemKind::kModule;
    case SuggestionKind::kCommand: return proto::CompletionItemKind::kMethod;
    case SuggestionKind::kVariable: return proto::CompletionItemKind::kVariable;
  }
  return proto::CompletionItemKind::kKeyword;
}

proto::CompletionItem ToProtocol(Suggestion& s) {
  return {std::move(s.label), KindOf(s.kind), std::move(s.detail), std::move(s.documentation)};
}

// Outlines nest no deeper than kMaxOutlineDepth, so neither does this.
proto::DocumentSymbol ToProtocol(Outline& o, const proto::LineTable& lines) {
  proto::DocumentSymbol symbol{std::move(o.name), std::move(o.detail),
                               o.kind == OutlineKind::kJumpTarget ? proto::SymbolKind::kEvent
                                                                  : proto::SymbolKind::kNamespace,
                               RangeOf(lines, o.span), RangeOf(lines, o.nameSpan), {}};
  for (Outline& child : o.children) symbol.children.push_back(ToProtocol(child, lines));
  return symbol;
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
  if (message.is_discarded()) {
    return ReplyError(nullptr, ErrorCode::kParseError, "the message is not JSON");
  }
  if (!message.is_object()) {
    return ReplyError(nullptr, ErrorCode::kInvalidRequest, "a message is a JSON object");
  }
  const json* id = Find(message, {"id"});
  const json* method = Find(message, {"method"});
  if (!method) {
    // A response to one of the server's requests (workspace/applyEdit):
    // nothing waits for it.
    if (id && (message.contains("result") || message.contains("error"))) return;
    return ReplyError(id && ValidId(*id) ? *id : json(nullptr), ErrorCode::kInvalidRequest,
                      "a message needs a method");
  }
  if (id && !ValidId(*id)) {
    return ReplyError(nullptr, ErrorCode::kInvalidRequest, "an id is a number or a string");
  }
  if (!method->is_string()) {
    if (id) ReplyError(*id, ErrorCode::kInvalidRequest, "a method is a string");
    return;
  }
  const json* params = Find(message, {"params"});
  json none = json::object();
  if (params && params->is_null()) params = nullptr;  // as if left out
  if (params && !params->is_object() && !params->is_array()) {
    if (id) ReplyError(*id, ErrorCode::kInvalidParams, "params are an object or an array");
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
  ReplyError(nullptr, ErrorCode::kParseError, "the message's header has no valid Content-Length");
}

void Server::HandleRequest(const json& id, std::string_view method, const json& params) {
  if (state_ == State::kWaiting && method != "initialize") {
    return ReplyError(id, ErrorCode::kServerNotInitialized, "the server is not initialized yet");
  }
  if (state_ == State::kShutDown) {
    return ReplyError(id, ErrorCode::kInvalidRequest, "the server is shut down");
  }
  if (state_ == State::kRunning && method == "initialize") {
    return ReplyError(id, ErrorCode::kInvalidRequest, "the server is already initialized");
  }
  auto entry = std::find_if(std::begin(kRequests), std::end(kRequests),
                            [&](const RequestEntry& e) { return e.method == method; });
  if (entry == std::end(kRequests)) {
    return ReplyError(id, ErrorCode::kMethodNotFound, "no method is named " + std::string(method));
  }
  try {
    Reply(id, (this->*entry->run)(params));
  } catch (const proto::ProtocolError& e) {
    ReplyError(id, e.code, e.what());
  } catch (const json::exception& e) {
    ReplyError(id, ErrorCode::kInvalidParams, std::string("invalid params: ") + e.what());
  } catch (const std::exception& e) {
    ReplyError(id, ErrorCode::kInternalError, e.what());
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
    LogError(std::string(method) + " was ignored: " + e.what());
  }
}

void Server::Idle() {
  try {
    while (!unpublished_.empty()) {
      std::string uri = std::move(unpublished_.extract(unpublished_.begin()).value());
      auto it = documents_.find(uri);
      if (it != documents_.end()) PublishDiagnostics(uri, it->second);
    }
  } catch (const std::exception& e) {
    LogError(std::string("diagnostics were not published: ") + e.what());
  }
}

void Server::SendJson(const json& message) {
  send_(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Server::LogError(const std::string& message) {
  Notify("window/logMessage",
         ToJson(proto::ShowMessageParams{proto::MessageType::kError, message}));
}

void Server::Reply(const json& id, json result) {
  SendJson({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::ReplyError(const json& id, ErrorCode code, std::string_view message) {
  SendJson({{"jsonrpc", "2.0"},
            {"id", id},
            {"error", {{"code", static_cast<int>(code)}, {"message", message}}}});
}

void Server::Notify(std::string_view method, json params) {
  SendJson({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

void Server::Request(std::string_view method, json params) {
  SendJson({{"jsonrpc", "2.0"},
            {"id", "zarnith-lsp-" + std::to_string(nextRequestId_++)},
            {"method", method},
            {"params", std::move(params)}});
}

json Server::Initialize(const json& params) {
  proto::InitializeParams p = proto::ReadInitializeParams(params);
  proto::ServerCapabilities capabilities{
      p.utf8Offered ? proto::PositionEncoding::kUtf8 : proto::PositionEncoding::kUtf16,
      {":", "\"", ",", " "},
      {"quickfix"},
      {kUpdateJumpsCommand}};
  json result = ToJson(capabilities, {"zarnith-lsp", kServerVersion});
  encoding_ = capabilities.positionEncoding;
  state_ = State::kRunning;
  return result;
}

json Server::Shutdown(const json&) {
  state_ = State::kShutDown;
  shutDown_ = true;
  return nullptr;
}

void Server::Exit(const json&) { finished_ = true; }

Document& Server::DocumentOf(const std::string& uri) {
  auto it = documents_.find(uri);
  if (it == documents_.end()) {
    throw proto::ProtocolError(ErrorCode::kInvalidParams, "no open document " + uri);
  }
  return it->second;
}

void Server::PublishDiagnostics(const std::string& uri, Document& doc) {
  std::vector<Finding> findings = Diagnostics(View(doc));
  proto::LineTable lines = LinesOf(doc);
  proto::PublishDiagnosticsParams params{uri, doc.version(), {}};
  params.diagnostics.reserve(findings.size());
  for (Finding& f : findings) params.diagnostics.push_back(ToProtocol(f, lines, uri));
  send_(proto::PublishDiagnosticsMessage(params));
}

void Server::DidOpen(const json& params) {
  proto::TextDocumentItem item = proto::ReadDidOpenParams(params);
  auto it = documents_.find(item.uri);
  if (it != documents_.end()) {
    it->second.Reopen(std::move(item.text), item.version);
  } else {
    it = documents_.try_emplace(item.uri, std::move(item.text), item.version).first;
  }
  unpublished_.insert(it->first);
}

void Server::DidChange(const json& params) {
  proto::DidChangeParams p = proto::ReadDidChangeParams(params);
  Document& doc = DocumentOf(p.uri);
  // Each change counts its positions in the text the one before it left.
  for (proto::ContentChange& change : p.changes) {
    if (!change.range) {
      doc.ReplaceAll(std::move(change.text));
      continue;
    }
    proto::LineTable lines = LinesOf(doc);
    doc.Replace(lines.ClampedOffset(change.range->start), lines.ClampedOffset(change.range->end),
                change.text);
  }
  if (p.version) doc.SetVersion(*p.version);
  unpublished_.insert(p.uri);
}

void Server::DidClose(const json& params) {
  std::string uri = proto::ReadDocumentUri(params);
  DocumentOf(uri);  // refuses a document that is not open
  documents_.erase(uri);
  unpublished_.erase(uri);
  send_(proto::PublishDiagnosticsMessage({uri, std::nullopt, {}}));
}

Server::Place Server::PlaceOf(const proto::TextDocumentPositionParams& p) {
  Document& doc = DocumentOf(p.uri);
  proto::LineTable lines = LinesOf(doc);
  std::optional<std::size_t> offset = lines.Offset(p.position);
  return {doc, std::move(lines), offset};
}

json Server::HoverRequest(const json& params) {
  Place at = PlaceOf(proto::ReadPositionParams(params));
  std::optional<HoverText> hover = at.offset ? Hover(View(at.doc), *at.offset) : std::nullopt;
  if (!hover) return nullptr;
  proto::Hover out{std::move(hover->markdown), std::nullopt};
  if (hover->span) out.range = RangeOf(at.lines, *hover->span);
  return ToJson(out);
}

json Server::DefinitionRequest(const json& params) {
  proto::TextDocumentPositionParams p = proto::ReadPositionParams(params);
  Place at = PlaceOf(p);
  std::optional<TextSpan> target = at.offset ? Definition(View(at.doc), *at.offset) : std::nullopt;
  if (!target) return nullptr;
  return ToJson(proto::Location{p.uri, RangeOf(at.lines, *target)});
}

json Server::ReferencesRequest(const json& params) {
  proto::ReferenceParams p = proto::ReadReferenceParams(params);
  Place at = PlaceOf(p.at);
  std::vector<proto::Location> out;
  if (at.offset) {
    for (TextSpan span : References(View(at.doc), *at.offset, p.includeDeclaration)) {
      out.push_back({p.at.uri, RangeOf(at.lines, span)});
    }
  }
  return ToJson(out);
}

json Server::CompletionRequest(const json& params) {
  Place at = PlaceOf(proto::ReadPositionParams(params));
  std::vector<proto::CompletionItem> out;
  if (at.offset) {
    for (Suggestion& s : Completion(View(at.doc), *at.offset)) out.push_back(ToProtocol(s));
  }
  return ToJson(out);
}

json Server::SymbolsRequest(const json& params) {
  Document& doc = DocumentOf(proto::ReadDocumentUri(params));
  proto::LineTable lines = LinesOf(doc);
  std::vector<proto::DocumentSymbol> out;
  for (Outline& o : DocumentSymbols(View(doc))) out.push_back(ToProtocol(o, lines));
  return ToJson(out);
}

json Server::CodeActionRequest(const json& params) {
  proto::CodeActionParams p = proto::ReadCodeActionParams(params);
  Document& doc = DocumentOf(p.uri);
  std::vector<proto::CodeAction> actions;
  // A client that asks for other kinds only (source actions on save) gets none.
  if (std::optional<std::string> title = UpdateJumpsTitle(View(doc)); title && p.quickfixWanted) {
    actions.push_back({*title, "quickfix", {*title, std::string(kUpdateJumpsCommand), {p.uri}}});
  }
  return ToJson(actions);
}

json Server::ExecuteCommand(const json& params) {
  proto::ExecuteCommandParams p = proto::ReadExecuteCommandParams(params);
  if (p.command != kUpdateJumpsCommand) {
    throw proto::ProtocolError(ErrorCode::kInvalidParams, "no command is named " + p.command);
  }
  std::string uri = proto::ReadStringArgument(p, 0);
  Document& doc = DocumentOf(uri);
  View v(doc);
  JumpShift shift = PlanJumpShift(doc.origins(), v.script);
  // The targets are right once the client has made the edit.
  std::string baseline = ApplyTargetEdits(v.script, shift.edits);
  if (!shift.edits.empty()) {
    proto::LineTable lines = LinesOf(doc);
    proto::ApplyWorkspaceEditParams edit{ShiftTitle(shift.edits.size()), {uri, {}}};
    for (TargetReplacement& r : ShiftReplacements(v, shift)) {
      edit.edit.edits.push_back({RangeOf(lines, r.span), std::move(r.text)});
    }
    Request("workspace/applyEdit", ToJson(edit));
  }
  doc.ResetOrigins(baseline);
  if (std::string message = ComputedJumpsMessage(shift); !message.empty()) {
    Notify("window/showMessage",
           ToJson(proto::ShowMessageParams{proto::MessageType::kWarning, std::move(message)}));
  }
  return nullptr;
}

}  // namespace zarnith::lsp
