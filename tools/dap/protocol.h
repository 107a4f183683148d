// The Debug Adapter Protocol's side of zarnith-dap: reading requests and
// their arguments, and the one place where the engine's types become
// protocol messages (breakpoints, stops, variables) and lines are counted
// as the client counts them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "dap/breakpoints.h"
#include "dap/state_view.h"
#include "dap/runtime.h"

namespace zarnith::dap {

using json = nlohmann::json;

// A request that cannot be carried out: answered with this message.
struct RequestError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Request {
  std::int64_t seq = 0;
  std::string command;
  json arguments = json::object();
};

// A message's request, or a RequestError saying what is wrong with it.
Request ReadRequest(std::string_view body);

// The arguments' members, checked: a missing member gives `fallback`, one
// of another type is a RequestError naming it.
std::string StringArg(const json& args, const char* key, std::string fallback = {});
bool BoolArg(const json& args, const char* key, bool fallback = false);
std::int64_t IntArg(const json& args, const char* key, std::int64_t fallback);
std::int64_t RequiredInt(const json& args, const char* key);
const json& ArrayArg(const json& args, const char* key);  // an empty array when missing

// Lines as the client counts them: from 1 unless it said otherwise.
struct LineBase {
  std::int64_t first = 1;
  std::int64_t ToClient(std::int64_t index) const { return index + first; }
  std::int64_t FromClient(std::int64_t line) const { return line - first; }
};

json Capabilities();
json BreakpointJson(const BreakpointState& state, const LineBase& lines, const json& source);
json StoppedBody(const Stop& stop);
json VariableJson(const Variable& v, std::int64_t reference, std::string evaluateName);

}  // namespace zarnith::dap
