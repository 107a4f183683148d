// Fuzz target: zarnith-dap's session running a small script (a loop over a
// variable, an array, a text, an if chain, a class call and a critical error
// at the end) over the in-memory system. The first byte picks what the rest is:
//   even: a byte stream of framed messages, after the adapter was launched;
//   odd:  a sequence of requests, each byte choosing one and the next bytes
//         its arguments (lines, names, values, console lines).
// Every input must end without a crash; every request is answered once.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dap/session.h"
#include "fuzz_host.h"

namespace {

using nlohmann::json;

constexpr std::string_view kScript =
    "use, \"strings\"\n"
    "use, \"fs\"\n"
    "array int a[3]\n"
    "s = \"t\"\n"
    "i = 0\n"
    "end\n"
    "i = i+1\n"
    "a[1] = i\n"
    "append, s, \"x\"\n"
    "s = returned\n"
    "if i < 5\n"
    "jump, 6\n"
    "end\n"
    "print, s\n"
    "fs:open, \"f\", 1\n"
    "x = a[7]\n";

// The script, written once to a real file: the adapter reads its program.
const std::string& ScriptPath() {
  static const std::string path = [] {
    char name[] = "/tmp/zn-dap-fuzz-XXXXXX";
    int fd = ::mkstemp(name);
    if (fd < 0 || ::write(fd, kScript.data(), kScript.size()) != static_cast<ssize_t>(kScript.size())) {
      std::abort();
    }
    ::close(fd);
    return std::string(name);
  }();
  return path;
}

std::string Frame(const json& message) {
  std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Requests {
  std::string stream;
  int seq = 0;
  void Add(std::string_view command, json arguments) {
    stream += Frame({{"seq", ++seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}});
  }
};

// The beginning every input shares: the script launched with the exception
// filters on, ready to run.
Requests Launched() {
  Requests r;
  r.Add("initialize", {{"adapterID", "zarnith"}});
  r.Add("launch", {{"program", ScriptPath()}, {"stdin", "typed\n"}, {"history", 50}});
  r.Add("setExceptionBreakpoints", {{"filters", {"error", "critical"}}});
  r.Add("setBreakpoints", {{"source", {{"path", ScriptPath()}}}, {"breakpoints", {{{"line", 8}}}}});
  r.Add("configurationDone", json::object());
  return r;
}

// One request made of the bytes at `at`, which it moves past.
void AddRequest(Requests& r, std::string_view bytes, std::size_t& at) {
  auto next = [&]() -> unsigned char { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : 0; };
  auto text = [&]() {
    std::size_t length = next() % 12;
    std::string_view piece = bytes.substr(std::min(at, bytes.size()), length);
    at += piece.size();
    return std::string(piece);
  };
  static constexpr std::string_view kNames[] = {"i", "s", "a", "a[1]", "a[9]", "returned", "x", "if chain", "[1]"};
  const json thread = {{"threadId", 1}};
  switch (next() % 16) {
    case 0: r.Add("continue", thread); break;
    case 1: r.Add("next", thread); break;
    case 2: r.Add("stepBack", thread); break;
    case 3: r.Add("reverseContinue", thread); break;
    case 4: r.Add("pause", thread); break;
    case 5: r.Add("stackTrace", thread); break;
    case 6: r.Add("variables", {{"variablesReference", next() % 5}, {"start", next() % 4}, {"count", next() % 3}}); break;
    case 7:
      r.Add("setVariable", {{"variablesReference", next() % 4}, {"name", kNames[next() % 9]}, {"value", text()}});
      break;
    case 8: r.Add("evaluate", {{"expression", kNames[next() % 9]}, {"context", "watch"}}); break;
    case 9: r.Add("evaluate", {{"expression", text()}, {"context", "repl"}}); break;
    case 10: {
      json b = {{"line", next() % 20}};
      if (next() % 2) b["condition"] = text();
      if (next() % 2) b["hitCondition"] = text();
      if (next() % 2) b["logMessage"] = text();
      r.Add("setBreakpoints", {{"source", {{"path", ScriptPath()}}}, {"breakpoints", {b}}});
      break;
    }
    case 11: r.Add("setFunctionBreakpoints", {{"breakpoints", {{{"name", text()}}}}}); break;
    case 12: r.Add("dataBreakpointInfo", {{"variablesReference", next() % 4}, {"name", kNames[next() % 9]}}); break;
    case 13: r.Add("setDataBreakpoints", {{"breakpoints", {{{"dataId", kNames[next() % 9]}}}}}); break;
    case 14: r.Add("scopes", {{"frameId", 1}}); break;
    default: r.Add("terminate", json::object()); break;
  }
}

void Run(const std::string& stream, int requests) {
  zarnith::fuzz::FuzzSystem system;  // outlives the session
  zarnith::dap::Inbox inbox;
  inbox.Feed(stream);
  std::map<std::int64_t, int> answers;
  std::string output;
  {
    zarnith::dap::Session session(
        [&](std::string_view body) {
          json m = json::parse(body);
          if (m["type"] == "response") ++answers[m["request_seq"].get<std::int64_t>()];
        },
        inbox, [](bool) {});
    zarnith::Host& host = session.runtime().interpreter().host;
    host.sys = system.memory.Calls();
    host.out.CaptureTo(&output);
    host.stepLimit = 2000;
    session.Serve();
  }
  for (const auto& [seq, count] : answers) {
    if (count > 1 && seq != 0) std::abort();
  }
  // Requests built here are well formed: each has its answer.
  for (int seq = 1; seq <= requests; ++seq) {
    if (answers[seq] != 1) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  Requests r = Launched();
  if (data[0] % 2 == 0) {
    Run(r.stream + std::string(rest), 0);
    return 0;
  }
  for (std::size_t at = 0; at < rest.size();) AddRequest(r, rest, at);
  Run(r.stream, r.seq);
  return 0;
}
