// zarnith-lsp's server: the protocol's lifecycle, the open documents and the
// dispatch of each message to its handler. Messages come in as JSON texts
// and go out through a function, so tests and the fuzzer drive it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "lsp/features.h"
#include "version.h"

namespace zarnith::lsp {

inline constexpr std::string_view kServerVersion = ZARNITH_VERSION;

class Server {
 public:
  using Send = std::function<void(const json& message)>;
  explicit Server(Send send) : send_(std::move(send)) {}

  // Handles one message's JSON text; a text that is not JSON is answered
  // with a parse error.
  void Handle(std::string_view body);
  // A message whose framing was broken.
  void HandleMalformed();

  // True once the client sent exit; the process then ends with ExitStatus.
  bool Finished() const { return finished_; }
  int ExitStatus() const { return shutDown_ ? 0 : 1; }

 private:
  enum class State { kWaiting, kRunning, kShutDown };
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
  void ReplyError(const json& id, int code, std::string_view message);
  void Notify(std::string_view method, json params);
  void Request(std::string_view method, json params);

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

  Document& DocumentOf(const json& params);
  Position PositionOf(const json& params) const;
  void PublishDiagnostics(const Document& doc);
  void ApplyChange(Document& doc, const json& change);

  Send send_;
  State state_ = State::kWaiting;
  bool shutDown_ = false;
  bool finished_ = false;
  Encoding encoding_ = Encoding::kUtf16;
  std::int64_t nextRequestId_ = 1;
  std::map<std::string, Document, std::less<>> documents_;
};

}  // namespace zarnith::lsp
