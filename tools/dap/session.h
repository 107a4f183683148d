// zarnith-dap's session: the protocol's lifecycle (initialize, launch,
// configuration, the run, disconnect), the dispatch of each request to its
// handler, and the engine's stops and output turned into events. Requests
// that arrive while the script runs are handled between its lines.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dap/protocol.h"
#include "dap/runtime.h"
#include "dap/streams.h"

namespace zarnith::dap {

class Session final : public RuntimeClient {
 public:
  using Send = std::function<void(std::string_view body)>;
  // `drainOutput` hands on what the script has written so far (at its end,
  // a character cut short too).
  Session(Send send, Inbox& inbox, std::function<void(bool end)> drainOutput);

  // The whole conversation: waits for the launch, runs the script, and
  // answers until the client disconnects.
  void Serve();
  Runtime& runtime() { return runtime_; }
  // Sends an output event (the script's output, category stdout).
  void SendOutput(std::string_view text, std::string_view category);

  // RuntimeClient
  void Poll(Runtime& runtime) override;
  void WaitForCommand(Runtime& runtime) override;
  void Sleep(Runtime& runtime, std::int64_t ms) override;
  void Stopped(const Stop& stop) override;
  void Console(std::string_view text) override;

 private:
  using Handler = json (Session::*)(const json& args);
  struct HandlerEntry {
    std::string_view command;
    Handler run;
  };
  static const HandlerEntry kHandlers[];

  void Handle(const Incoming& item);
  void Dispatch(const Request& request);
  void Respond(const Request& request, json body);
  void RespondError(std::int64_t seq, std::string_view command, std::string_view message);
  void SendEvent(std::string_view event, json body);
  void FlushOutput(bool end = false);
  void RunScript();
  void RequireStopped() const;
  void ForgetReferences();

  // Requests.
  json Initialize(const json& args);
  json Launch(const json& args);
  json Attach(const json& args);
  json ConfigurationDone(const json& args);
  json SetBreakpoints(const json& args);
  json SetFunctionBreakpoints(const json& args);
  json SetExceptionBreakpoints(const json& args);
  json DataBreakpointInfo(const json& args);
  json SetDataBreakpoints(const json& args);
  json Threads(const json& args);
  json StackTrace(const json& args);
  json Scopes(const json& args);
  json Variables(const json& args);
  json SetVariable(const json& args);
  json Evaluate(const json& args);
  json Continue(const json& args);
  json Next(const json& args);
  json StepBack(const json& args);
  json ReverseContinue(const json& args);
  json Pause(const json& args);
  json Disconnect(const json& args);
  json Terminate(const json& args);

  // What a variablesReference stands for during one stop: 1 is the scope.
  struct Reference {
    Variable::Opens opens;
    std::string name;
    NameKind store;
  };
  const Reference* ReferenceOf(std::int64_t id) const;
  std::int64_t NewReference(const Variable& v);
  json VariablesOf(const Reference& ref, const json& args);
  std::string ElementExpression(const Reference& ref, std::string_view element) const;
  json SourceJson() const;
  json BreakpointsBody(const std::vector<BreakpointState>& states) const;

  Send send_;
  Inbox& inbox_;
  std::function<void(bool end)> drainOutput_;
  Runtime runtime_;
  LineBase lines_;
  std::atomic<std::int64_t> seq_{0};  // the output thread sends events too
  bool launched_ = false;
  bool configured_ = false;
  bool running_ = false;   // inside Runtime::Run
  bool finished_ = false;  // the script has ended
  bool ended_ = false;     // the conversation is over
  bool endScript_ = false; // a disconnect or terminate while the script runs
  std::string program_;    // the absolute path
  std::vector<Reference> references_;
};

}  // namespace zarnith::dap
