// Fuzz target: zarnith-lsp through its JSON layer. The first byte picks what
// the rest is:
//   even: a byte stream of framed messages, cut by the reader and handed to
//         the server as a client would send them;
//   odd:  a document text, opened, opened again with a version that is
//         refused, asked every question at a few places, then edited: a
//         line inserted and the jump targets updated with the server's own
//         edit, after which nothing is left to update.
// Every input must end without a crash, and a well-formed request about an
// open document must never be answered with an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/server.h"
#include "lsp/transport.h"

namespace {

using nlohmann::json;
using zarnith::lsp::Server;

constexpr std::string_view kUri = "file:///fuzz.zn";

struct Session {
  std::vector<json> sent;
  Server server{[this](std::string_view m) { sent.push_back(json::parse(m)); }};
  int nextId = 1;

  void Handle(const json& message) {
    server.Handle(message.dump(-1, ' ', false, json::error_handler_t::replace));
    server.Idle();
  }
  void Notify(std::string_view method, json params) {
    Handle({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  // The result of a request; an error answer is a fault.
  json Request(std::string_view method, json params) {
    int id = nextId++;
    sent.clear();
    Handle({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
    for (const json& m : sent) {
      if (m.contains("id") && m["id"] == id) {
        if (m.contains("error")) std::abort();
        return m["result"];
      }
    }
    std::abort();  // unanswered
  }
};

json At(std::size_t line, std::size_t character) {
  return {{"textDocument", {{"uri", kUri}}},
          {"position", {{"line", line}, {"character", character}}},
          {"context", {{"includeDeclaration", true}}}};
}

void Stream(std::string_view bytes) {
  Session s;
  zarnith::lsp::MessageReader reader(-1);
  reader.FeedText(bytes);
  std::string body;
  while (!s.server.Finished()) {
    auto result = reader.Next(body);
    if (result == zarnith::lsp::MessageReader::Result::kEnd) break;
    if (result == zarnith::lsp::MessageReader::Result::kMalformed) {
      s.server.HandleMalformed();
    } else {
      s.server.Handle(body);
    }
    s.server.Idle();
  }
}

void Document(std::string_view text) {
  Session s;
  s.Request("initialize", {{"capabilities", json::object()}});
  s.Notify("textDocument/didOpen",
           {{"textDocument", {{"uri", kUri}, {"languageId", "zarnith"}, {"version", 1},
                              {"text", std::string(text)}}}});
  // Refused: the first text stays, and so must everything known about it.
  s.Notify("textDocument/didOpen",
           {{"textDocument", {{"uri", kUri}, {"languageId", "zarnith"}, {"version", "2"},
                              {"text", "x = 1\n" + std::string(text.substr(text.size() / 2))}}}});
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n' || c == '\r';
  std::size_t stride = lines / 6 + 1;
  for (std::size_t line = 0; line <= lines; line += stride) {
    for (std::size_t character : {1, 7}) {
      for (std::string_view method : {"textDocument/hover", "textDocument/definition",
                                      "textDocument/references", "textDocument/completion"}) {
        s.Request(method, At(line, character));
      }
    }
  }
  s.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}});
  // Insert a line in the middle, then let the server mend the targets.
  json range = {{"start", {{"line", lines / 2}, {"character", 0}}},
                {"end", {{"line", lines / 2}, {"character", 0}}}};
  s.Notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                                      {"contentChanges", {{{"range", range}, {"text", "x\n"}}}}});
  json actions = s.Request("textDocument/codeAction",
                           {{"textDocument", {{"uri", kUri}}}, {"range", range},
                            {"context", {{"diagnostics", json::array()}}}});
  if (actions.empty()) return;
  s.sent.clear();
  s.Request("workspace/executeCommand", actions[0]["command"]);
  json changes = json::array();
  for (const json& m : s.sent) {
    if (m.value("method", "") != "workspace/applyEdit") continue;
    for (const json& e : m["params"]["edit"]["changes"][kUri]) {
      changes.insert(changes.begin(), {{"range", e["range"]}, {"text", e["newText"]}});
    }
  }
  s.Notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 3}}},
                                      {"contentChanges", changes}});
  if (!s.Request("textDocument/codeAction", {{"textDocument", {{"uri", kUri}}}, {"range", range},
                                             {"context", {{"diagnostics", json::array()}}}})
           .empty()) {
    std::abort();  // the server's own edit left targets to update
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    Stream(rest);
  } else {
    Document(rest);
  }
  return 0;
}
