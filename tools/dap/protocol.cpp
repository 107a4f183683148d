// Requests in, engine types out.
#include "dap/protocol.h"

namespace zarnith::dap {

namespace {

const json* Member(const json& args, const char* key) {
  if (!args.is_object()) return nullptr;
  auto it = args.find(key);
  return it == args.end() || it->is_null() ? nullptr : &*it;
}

[[noreturn]] void WrongType(const char* key, const char* wanted) {
  throw RequestError(std::string("the argument '") + key + "' must be " + wanted);
}

}  // namespace

Request ReadRequest(std::string_view body) {
  json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) throw RequestError("the message is not JSON");
  if (!message.is_object()) throw RequestError("a message is a JSON object");
  Request r;
  const json* seq = Member(message, "seq");
  if (seq && seq->is_number_integer()) r.seq = seq->get<std::int64_t>();
  const json* type = Member(message, "type");
  const json* command = Member(message, "command");
  if (!type || *type != "request") throw RequestError("only requests are handled");
  if (!command || !command->is_string()) throw RequestError("a request needs a command");
  r.command = command->get<std::string>();
  if (const json* args = Member(message, "arguments")) {
    if (!args->is_object()) throw RequestError("a request's arguments are an object");
    r.arguments = *args;
  }
  return r;
}

std::string StringArg(const json& args, const char* key, std::string fallback) {
  const json* m = Member(args, key);
  if (!m) return fallback;
  if (!m->is_string()) WrongType(key, "a string");
  return m->get<std::string>();
}

bool BoolArg(const json& args, const char* key, bool fallback) {
  const json* m = Member(args, key);
  if (!m) return fallback;
  if (!m->is_boolean()) WrongType(key, "true or false");
  return m->get<bool>();
}

std::int64_t IntArg(const json& args, const char* key, std::int64_t fallback) {
  const json* m = Member(args, key);
  if (!m) return fallback;
  if (m->is_number_unsigned() && m->get<std::uint64_t>() > INT64_MAX) WrongType(key, "an integer");
  if (!m->is_number_integer()) WrongType(key, "an integer");
  return m->get<std::int64_t>();
}

std::int64_t RequiredInt(const json& args, const char* key) {
  if (!Member(args, key)) throw RequestError(std::string("the argument '") + key + "' is missing");
  return IntArg(args, key, 0);
}

const json& ArrayArg(const json& args, const char* key) {
  static const json kEmpty = json::array();
  const json* m = Member(args, key);
  if (!m) return kEmpty;
  if (!m->is_array()) WrongType(key, "an array");
  return *m;
}

json Capabilities() {
  return {
      {"supportsConfigurationDoneRequest", true},
      {"supportsConditionalBreakpoints", true},
      {"supportsHitConditionalBreakpoints", true},
      {"supportsLogPoints", true},
      {"supportsFunctionBreakpoints", true},
      {"supportsStepBack", true},
      {"supportsSetVariable", true},
      {"supportsEvaluateForHovers", true},
      {"supportsDataBreakpoints", true},
      {"supportsTerminateRequest", true},
      {"exceptionBreakpointFilters",
       json::array({{{"filter", "error"},
                     {"label", "Error lines"},
                     {"description", "Stop on the line that printed an \"error: N: ...\" line"},
                     {"default", false}},
                    {{"filter", "critical"},
                     {"label", "Critical errors"},
                     {"description", "Stop before a critical error ends the script with status 127"},
                     {"default", true}}})},
  };
}

json BreakpointJson(const BreakpointState& state, const LineBase& lines, const json& source) {
  json b = {{"id", state.id}, {"verified", state.verified}};
  if (state.line >= 0) {
    b["line"] = lines.ToClient(state.line);
    b["source"] = source;
  }
  if (!state.message.empty()) b["message"] = state.message;
  return b;
}

json StoppedBody(const Stop& stop) {
  static constexpr const char* kReasons[] = {"entry", "step",      "breakpoint", "function breakpoint",
                                             "data breakpoint", "exception", "pause", "goto"};
  json body = {{"reason", kReasons[static_cast<int>(stop.reason)]},
               {"threadId", 1},
               {"allThreadsStopped", true}};
  if (stop.reason == StopReason::kException) {
    body["description"] = stop.text;
    body["text"] = stop.text;
  }
  if (stop.breakpointId) body["hitBreakpointIds"] = json::array({stop.breakpointId});
  return body;
}

json VariableJson(const Variable& v, std::int64_t reference, std::string evaluateName) {
  json j = {{"name", v.name}, {"value", v.value}, {"type", std::string(v.type)},
            {"variablesReference", reference}};
  if (v.opens == Variable::Opens::kArray) {
    j["indexedVariables"] = v.elements;
    j["namedVariables"] = 0;
  }
  if (!evaluateName.empty()) j["evaluateName"] = std::move(evaluateName);
  if (v.shadowed || v.opens == Variable::Opens::kIfChain) {
    j["presentationHint"] = {{"attributes", json::array({"readOnly"})}};
  }
  return j;
}

}  // namespace zarnith::dap
