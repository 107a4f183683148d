// The session: lifecycle, dispatch and events.
#include "dap/session.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/line.h"
#include "values/text.h"

namespace zarnith::dap {

namespace {

constexpr std::int64_t kScopeReference = 1;

NameKind StoreOf(Interpreter& in, std::string_view name) {
  return LookUpName(in.stores, name).kind;
}

}  // namespace

const Session::HandlerEntry Session::kHandlers[] = {
    {"initialize", &Session::Initialize},
    {"launch", &Session::Launch},
    {"attach", &Session::Attach},
    {"configurationDone", &Session::ConfigurationDone},
    {"setBreakpoints", &Session::SetBreakpoints},
    {"setFunctionBreakpoints", &Session::SetFunctionBreakpoints},
    {"setExceptionBreakpoints", &Session::SetExceptionBreakpoints},
    {"dataBreakpointInfo", &Session::DataBreakpointInfo},
    {"setDataBreakpoints", &Session::SetDataBreakpoints},
    {"threads", &Session::Threads},
    {"stackTrace", &Session::StackTrace},
    {"scopes", &Session::Scopes},
    {"variables", &Session::Variables},
    {"setVariable", &Session::SetVariable},
    {"evaluate", &Session::Evaluate},
    {"continue", &Session::Continue},
    {"next", &Session::Next},
    {"stepIn", &Session::Next},
    {"stepOut", &Session::Next},
    {"stepBack", &Session::StepBack},
    {"reverseContinue", &Session::ReverseContinue},
    {"pause", &Session::Pause},
    {"disconnect", &Session::Disconnect},
    {"terminate", &Session::Terminate},
};

Session::Session(Send send, Inbox& inbox, std::function<void(bool end)> drainOutput)
    : send_(std::move(send)),
      inbox_(inbox),
      drainOutput_(std::move(drainOutput)),
      runtime_(*this, inbox.attention()) {}

void Session::Serve() {
  while (!ended_ && !(launched_ && configured_)) Handle(*inbox_.Take(std::nullopt));
  if (!ended_) RunScript();
  while (!ended_) Handle(*inbox_.Take(std::nullopt));
}

void Session::RunScript() {
  running_ = true;
  std::optional<int> status;
  try {
    status = runtime_.Run();
  } catch (const EndRequested&) {
    // Disconnected or terminated: the script ends where it stood.
  }
  running_ = false;
  finished_ = true;
  FlushOutput(true);
  if (status) SendEvent("exited", {{"exitCode", *status}});
  SendEvent("terminated", json::object());
}

// --- Messages -------------------------------------------------------------

void Session::Handle(const Incoming& item) {
  switch (item.kind) {
    case Incoming::Kind::kEnd:
      // The client has gone: as a disconnect.
      ended_ = true;
      if (running_) throw EndRequested{};
      return;
    case Incoming::Kind::kMalformed:
      return RespondError(0, "", "the message's header has no valid Content-Length");
    case Incoming::Kind::kMessage: break;
  }
  Request request;
  try {
    request = ReadRequest(item.body);
  } catch (const RequestError& e) {
    return RespondError(0, "", e.what());
  }
  Dispatch(request);
  if (endScript_ && running_) {
    endScript_ = false;
    throw EndRequested{};
  }
}

void Session::Dispatch(const Request& request) {
  for (const HandlerEntry& entry : kHandlers) {
    if (entry.command != request.command) continue;
    json body;
    try {
      body = (this->*entry.run)(request.arguments);
    } catch (const RequestError& e) {
      return RespondError(request.seq, request.command, e.what());
    } catch (const json::exception& e) {
      return RespondError(request.seq, request.command, "malformed arguments");
    } catch (const ProgramExit&) {
      // A line run from the debug console ended the program.
      Respond(request, json::object());
      throw;
    }
    return Respond(request, std::move(body));
  }
  RespondError(request.seq, request.command, "unknown request '" + request.command + "'");
}

void Session::Respond(const Request& request, json body) {
  json message = {{"seq", ++seq_},          {"type", "response"},         {"request_seq", request.seq},
                  {"success", true},        {"command", request.command}};
  if (!body.is_null()) message["body"] = std::move(body);
  send_(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Session::RespondError(std::int64_t seq, std::string_view command, std::string_view message) {
  json m = {{"seq", ++seq_},     {"type", "response"},          {"request_seq", seq},
            {"success", false},  {"command", std::string(command)}, {"message", std::string(message)},
            {"body", {{"error", {{"id", 1}, {"format", std::string(message)}, {"showUser", false}}}}}};
  send_(m.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Session::SendEvent(std::string_view event, json body) {
  json m = {{"seq", ++seq_}, {"type", "event"}, {"event", std::string(event)}, {"body", std::move(body)}};
  send_(m.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Session::SendOutput(std::string_view text, std::string_view category) {
  SendEvent("output", {{"category", std::string(category)}, {"output", std::string(text)}});
}

void Session::FlushOutput(bool end) {
  runtime_.interpreter().host.out.Flush();
  drainOutput_(end);
}

// --- RuntimeClient --------------------------------------------------------

void Session::Poll(Runtime&) {
  inbox_.attention().store(false, std::memory_order_relaxed);
  FlushOutput();
  while (std::optional<Incoming> item = inbox_.TryTake()) {
    Handle(*item);
    if (ended_) throw EndRequested{};
  }
}

void Session::WaitForCommand(Runtime&) {
  Handle(*inbox_.Take(std::nullopt));
  if (ended_) throw EndRequested{};
}

void Session::Sleep(Runtime&, std::int64_t ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::optional<Incoming> item = inbox_.Take(until)) {
    Handle(*item);
    if (ended_) throw EndRequested{};
  }
}

void Session::Stopped(const Stop& stop) {
  ForgetReferences();
  FlushOutput();
  SendEvent("stopped", StoppedBody(stop));
}

void Session::Console(std::string_view text) {
  FlushOutput();
  SendOutput(text, "console");
}

// --- Lifecycle ------------------------------------------------------------

json Session::Initialize(const json& args) {
  lines_.first = BoolArg(args, "linesStartAt1", true) ? 1 : 0;
  return Capabilities();
}

json Session::Launch(const json& args) {
  if (launched_) throw RequestError("the script is already launched");
  LaunchSettings settings;
  settings.program = StringArg(args, "program");
  if (settings.program.empty()) throw RequestError("the launch setting 'program' names the script to run");
  std::string cwd = StringArg(args, "cwd");
  for (const json& a : ArrayArg(args, "args")) {
    if (!a.is_string()) throw RequestError("the launch setting 'args' is a list of strings");
    settings.args.push_back(a.get<std::string>());
  }
  if (args.contains("stdin") && !args["stdin"].is_null()) settings.stdinText = StringArg(args, "stdin");
  settings.stopOnEntry = BoolArg(args, "stopOnEntry");
  std::int64_t history = IntArg(args, "history", 100000);
  if (history < 0) throw RequestError("the launch setting 'history' is a number of lines, 0 or more");
  settings.history = static_cast<std::size_t>(history);
  if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
    throw RequestError("cannot change to the folder " + cwd + ": " + std::strerror(errno));
  }
  std::error_code error;
  program_ = std::filesystem::absolute(settings.program, error).lexically_normal().string();
  if (error) program_ = settings.program;
  if (std::optional<std::string> problem = runtime_.Load(settings)) throw RequestError(*problem);
  launched_ = true;
  // The client sends its breakpoints once it is told that it may.
  SendEvent("initialized", json::object());
  return nullptr;
}

json Session::Attach(const json&) {
  throw RequestError("zarnith-dap starts the scripts it debugs: use a launch configuration");
}

json Session::ConfigurationDone(const json&) {
  configured_ = true;
  return nullptr;
}

json Session::Disconnect(const json&) {
  ended_ = true;
  endScript_ = running_;
  return nullptr;
}

json Session::Terminate(const json&) {
  endScript_ = running_;
  return nullptr;
}

// --- Breakpoints ----------------------------------------------------------

json Session::SetBreakpoints(const json& args) {
  if (!args.contains("source") || !args["source"].is_object()) {
    throw RequestError("setBreakpoints needs the source");
  }
  const json& source = args["source"];
  std::string path = StringArg(source, "path");
  std::vector<LineBreakpointRequest> requests;
  for (const json& b : ArrayArg(args, "breakpoints")) {
    if (!b.is_object()) throw RequestError("a breakpoint is an object");
    requests.push_back({lines_.FromClient(RequiredInt(b, "line")), StringArg(b, "condition"),
                        StringArg(b, "hitCondition"), StringArg(b, "logMessage")});
  }
  std::error_code error;
  std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
  std::vector<BreakpointState> states;
  if (launched_ && absolute == program_) {
    states = runtime_.SetLineBreakpoints(requests);
  } else {
    for (const LineBreakpointRequest& r : requests) {
      states.push_back({0, false, r.line,
                        launched_ ? "this file is not the script being debugged"
                                  : "breakpoints are set once the script is launched"});
    }
  }
  json out = json::array();
  for (const BreakpointState& s : states) out.push_back(BreakpointJson(s, lines_, source));
  return {{"breakpoints", out}};
}

// The `key` member of each breakpoint of the request.
static std::vector<std::string> BreakpointNames(const json& args, const char* key) {
  std::vector<std::string> names;
  for (const json& b : ArrayArg(args, "breakpoints")) {
    if (!b.is_object()) throw RequestError("a breakpoint is an object");
    names.push_back(StringArg(b, key));
  }
  return names;
}

json Session::BreakpointsBody(const std::vector<BreakpointState>& states) const {
  json out = json::array();
  for (const BreakpointState& s : states) out.push_back(BreakpointJson(s, lines_, nullptr));
  return {{"breakpoints", out}};
}

json Session::SetFunctionBreakpoints(const json& args) {
  return BreakpointsBody(runtime_.SetFunctionBreakpoints(BreakpointNames(args, "name")));
}

json Session::SetExceptionBreakpoints(const json& args) {
  bool error = false, critical = false;
  json out = json::array();
  for (const json& f : ArrayArg(args, "filters")) {
    if (!f.is_string()) throw RequestError("a filter is a string");
    if (f != "error" && f != "critical") throw RequestError("the filters are error and critical");
    error = error || f == "error";
    critical = critical || f == "critical";
    out.push_back({{"verified", true}});
  }
  runtime_.SetExceptionFilters(error, critical);
  return {{"breakpoints", out}};
}

json Session::DataBreakpointInfo(const json& args) {
  std::string name = StringArg(args, "name");
  std::int64_t reference = IntArg(args, "variablesReference", 0);
  std::string expression = name;
  if (const Reference* ref = ReferenceOf(reference); ref && ref->opens == Variable::Opens::kArray) {
    expression = ElementExpression(*ref, name);
  }
  std::optional<std::string> refusal =
      launched_ ? runtime_.CanWatch(expression) : std::optional<std::string>("the script is not launched");
  if (refusal) return {{"dataId", nullptr}, {"description", *refusal}};
  return {{"dataId", expression},
          {"description", "when a line changes " + expression},
          {"accessTypes", json::array({"write"})},
          {"canPersist", false}};
}

json Session::SetDataBreakpoints(const json& args) {
  return BreakpointsBody(runtime_.SetWatches(BreakpointNames(args, "dataId")));
}

// --- The stopped script ---------------------------------------------------

void Session::RequireStopped() const {
  if (!runtime_.IsStopped()) throw RequestError("the script is not stopped");
}

json Session::SourceJson() const {
  return {{"name", std::filesystem::path(program_).filename().string()}, {"path", program_}};
}

json Session::Threads(const json&) {
  return {{"threads", json::array({{{"id", 1}, {"name", "script"}}})}};
}

json Session::StackTrace(const json&) {
  RequireStopped();
  std::int64_t line = runtime_.ShownLine();
  // Shown at the last line when the script has run off its end.
  auto count = static_cast<std::int64_t>(runtime_.LineCount());
  if (line >= count) line = count - 1;
  if (line < 0) line = 0;
  json frame = {{"id", 1},
                {"name", std::filesystem::path(program_).filename().string()},
                {"source", SourceJson()},
                {"line", lines_.ToClient(line)},
                {"column", 1}};
  return {{"stackFrames", json::array({frame})}, {"totalFrames", 1}};
}

json Session::Scopes(const json&) {
  RequireStopped();
  return {{"scopes", json::array({{{"name", "Variables"},
                                    {"presentationHint", "locals"},
                                    {"variablesReference", kScopeReference},
                                    {"expensive", false}}})}};
}

void Session::ForgetReferences() { references_.clear(); }

const Session::Reference* Session::ReferenceOf(std::int64_t id) const {
  std::int64_t at = id - kScopeReference - 1;
  if (at < 0 || static_cast<std::size_t>(at) >= references_.size()) return nullptr;
  return &references_[static_cast<std::size_t>(at)];
}

std::int64_t Session::NewReference(const Variable& v) {
  if (v.opens == Variable::Opens::kNothing) return 0;
  references_.push_back({v.opens, v.name, v.store});
  return kScopeReference + static_cast<std::int64_t>(references_.size());
}

std::string Session::ElementExpression(const Reference& ref, std::string_view element) const {
  return ref.name + std::string(element);
}

json Session::Variables(const json& args) {
  RequireStopped();
  std::int64_t id = RequiredInt(args, "variablesReference");
  Interpreter& in = runtime_.interpreter();
  json out = json::array();
  if (id == kScopeReference) {
    for (const Variable& v : ScopeVariables(in)) {
      bool plain = !v.shadowed && v.opens != Variable::Opens::kIfChain;
      out.push_back(VariableJson(v, NewReference(v), plain ? v.name : std::string()));
    }
    return {{"variables", out}};
  }
  const Reference* ref = ReferenceOf(id);
  if (!ref) throw RequestError("no such variables (they belong to an earlier stop)");
  return VariablesOf(*ref, args);
}

json Session::VariablesOf(const Reference& ref, const json& args) {
  Interpreter& in = runtime_.interpreter();
  json out = json::array();
  if (ref.opens == Variable::Opens::kIfChain) {
    for (const Variable& v : IfChainFields(in)) out.push_back(VariableJson(v, 0, {}));
    return {{"variables", out}};
  }
  std::int64_t start = IntArg(args, "start", 0);
  std::int64_t count = IntArg(args, "count", 0);
  if (start < 0 || count < 0) throw RequestError("start and count are 0 or more");
  if (StringArg(args, "filter") == "named") return {{"variables", out}};
  std::size_t wanted = count == 0 ? SIZE_MAX : static_cast<std::size_t>(count);
  for (const Variable& v : ArrayElements(in, ref.name, ref.store, static_cast<std::size_t>(start), wanted)) {
    bool visible = StoreOf(in, ref.name) == ref.store;
    out.push_back(VariableJson(v, 0, visible ? ElementExpression(ref, v.name) : std::string()));
  }
  return {{"variables", out}};
}

json Session::SetVariable(const json& args) {
  RequireStopped();
  std::int64_t id = RequiredInt(args, "variablesReference");
  std::string name = StringArg(args, "name");
  std::string value = StringArg(args, "value");
  Interpreter& in = runtime_.interpreter();
  std::optional<std::string> refusal;
  std::string expression = name;
  if (id == kScopeReference) {
    if (name == "if chain") throw RequestError("the if-chain record is changed by if, elif, else and end lines");
    NameKind store = name == kReturnedName ? NameKind::kNone : StoreOf(in, name);
    refusal = SetScopeValue(in, name, store, value);
  } else if (const Reference* ref = ReferenceOf(id); ref && ref->opens == Variable::Opens::kArray) {
    std::optional<std::string_view> digits = Bracketed(name, '[', ']');
    std::optional<std::int64_t> index = digits ? ParseIntLiteral(*digits) : std::nullopt;
    if (!index || *index < 0) throw RequestError("an element is named by its index, such as [3]");
    refusal = SetElementValue(in, ref->name, ref->store, static_cast<std::size_t>(*index), value);
    expression = ElementExpression(*ref, name);
  } else if (ref) {
    throw RequestError("the if-chain record is changed by if, elif, else and end lines");
  } else {
    throw RequestError("no such variables (they belong to an earlier stop)");
  }
  if (refusal) throw RequestError(*refusal);
  runtime_.StateChanged();
  Reading now = ReadName(in, id == kScopeReference ? std::string_view(name) : std::string_view(expression));
  return {{"value", now.error.empty() ? ShowValue(now) : value}, {"type", std::string(now.type)}};
}

json Session::Evaluate(const json& args) {
  std::string expression = StringArg(args, "expression");
  std::string context = StringArg(args, "context", "hover");
  RequireStopped();
  if (context == "repl") {
    runtime_.RunLine(expression);
    FlushOutput();
    return {{"result", ""}, {"variablesReference", 0}};
  }
  Reading r = ReadName(runtime_.interpreter(), expression);
  if (!r.error.empty()) throw RequestError(r.error);
  Variable v;
  v.name = expression;
  v.type = r.type;
  v.value = ShowValue(r);
  if (r.intArray || r.stringArray) {
    v.opens = Variable::Opens::kArray;
    v.store = r.intArray ? NameKind::kIntArray : NameKind::kStringArray;
    v.elements = r.intArray ? r.intArray->size() : r.stringArray->size();
  }
  json out = {{"result", v.value}, {"type", std::string(v.type)}, {"variablesReference", NewReference(v)}};
  if (v.opens == Variable::Opens::kArray) out["indexedVariables"] = v.elements;
  return out;
}

// --- Control ----------------------------------------------------------------

json Session::Continue(const json&) {
  if (runtime_.IsStopped()) runtime_.Continue();
  return {{"allThreadsContinued", true}};
}

json Session::Next(const json&) {
  RequireStopped();
  runtime_.Step();
  return nullptr;
}

json Session::StepBack(const json&) {
  RequireStopped();
  if (std::optional<std::string> refusal = runtime_.StepBack()) throw RequestError(*refusal);
  return nullptr;
}

json Session::ReverseContinue(const json&) {
  RequireStopped();
  if (std::optional<std::string> refusal = runtime_.ReverseContinue()) throw RequestError(*refusal);
  return nullptr;
}

json Session::Pause(const json&) {
  if (!running_) throw RequestError("the script is not running");
  runtime_.Pause();
  return nullptr;
}

}  // namespace zarnith::dap
