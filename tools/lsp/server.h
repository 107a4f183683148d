// zarnith-lsp's server: the protocol's lifecycle, the open documents and the
// dispatch of each message to its handler. Messages come in as JSON texts
// and go out through a function, so tests and the fuzzer drive it directly.
// Each handler reads its whole message into the protocol's types before it
// changes anything, so a refused message leaves the server as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "lsp/document.h"
#include "lsp/protocol.h"
#include "version.h"

namespace zarnith::lsp {

inline constexpr std::string_view kServerVersion = ZARNITH_VERSION;

class Server {
 public:
  // Takes the JSON text of one outgoing message.
  using Send = std::function<void(std::string_view message)>;
  explicit Server(Send send) : send_(std::move(send)) {}

  // Handles one message's JSON text; a text that is not JSON is answered
  // with a parse error.
  void Handle(std::string_view body);
  // A message whose framing was broken.
  void HandleMalformed();
  // Publishes the diagnostics of the documents opened or changed since the
  // last call. The caller calls it when no message is waiting, so a burst
  // of changes is checked and published once, for its last text.
  void Idle();

  // True once the client sent exit; the process then ends with ExitStatus.
  bool Finished() const { return finished_; }
  int ExitStatus() const { return shutDown_ ? 0 : 1; }

 private:
  enum class State { kWaiting, kRunning, kShutDown };
  using json = proto::json;
  using RequestFn = json (Server::*)(const json& params);
  using NotificationFn = void (Server::*)(const json& params);
  struct RequestEntry {
    std::string_view method;
    RequestFn run;
  };
  struct NotificationEntry {
    std::string_view method;
    NotificationFn run;
  };
  static const RequestEntry kRequests[];
  static const NotificationEntry kNotifications[];

  void HandleRequest(const json& id, std::string_view method, const json& params);
  void HandleNotification(std::string_view method, const json& params);
  void Reply(const json& id, json result);
  void ReplyError(const json& id, proto::ErrorCode code, std::string_view message);
  void Notify(std::string_view method, json params);
  void Request(std::string_view method, json params);
  void SendJson(const json& message);
  void LogError(const std::string& message);

  // Requests.
  json Initialize(const json& params);
  json Shutdown(const json& params);
  json HoverRequest(const json& params);
  json DefinitionRequest(const json& params);
  json ReferencesRequest(const json& params);
  json CompletionRequest(const json& params);
  json SymbolsRequest(const json& params);
  json CodeActionRequest(const json& params);
  json ExecuteCommand(const json& params);
  // Notifications.
  void Initialized(const json&) {}
  void Exit(const json& params);
  void DidOpen(const json& params);
  void DidChange(const json& params);
  void DidClose(const json& params);

  Document& DocumentOf(const std::string& uri);
  // An open document, its lines as the client counts them, and the offset of
  // a position in it (none past its last line).
  struct Place {
    Document& doc;
    proto::LineTable lines;
    std::optional<std::size_t> offset;
  };
  Place PlaceOf(const proto::TextDocumentPositionParams& p);
  proto::LineTable LinesOf(const Document& doc) const { return {doc.text(), encoding_}; }
  void PublishDiagnostics(const std::string& uri, Document& doc);

  Send send_;
  State state_ = State::kWaiting;
  bool shutDown_ = false;
  bool finished_ = false;
  proto::PositionEncoding encoding_ = proto::PositionEncoding::kUtf16;
  std::int64_t nextRequestId_ = 1;
  // A document never moves: its facts point into its text.
  std::map<std::string, Document, std::less<>> documents_;
  std::set<std::string, std::less<>> unpublished_;  // opened or changed since Idle
};

}  // namespace zarnith::lsp
