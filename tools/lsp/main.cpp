// zarnith-lsp: the language server on standard input and output.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "lsp/server.h"
#include "lsp/transport.h"

namespace {

constexpr const char* kUsage =
    "Usage: zarnith-lsp [--stdio]\n"
    "A language server for Zarnith scripts: editors start it and talk to it over\n"
    "standard input and output (Language Server Protocol 3.17). It reports what\n"
    "zarnith-check reports while you type, shows where jumps land, and keeps jump\n"
    "targets right when lines are inserted or deleted.\n"
    "\n"
    "  --stdio     talk over standard input and output (the default)\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zarnith-lsp %s\n", std::string(zarnith::lsp::kServerVersion).c_str());
      return 0;
    }
    if (std::strcmp(argv[i], "--stdio") != 0) {
      std::fprintf(stderr, "zarnith-lsp: unknown option '%s'\nTry 'zarnith-lsp --help'.\n", argv[i]);
      return 2;
    }
  }
  // A client that goes away ends the server through a failed write.
  std::signal(SIGPIPE, SIG_IGN);
  bool clientGone = false;
  zarnith::lsp::Server server([&](std::string_view message) {
    clientGone = clientGone || !zarnith::lsp::WriteMessage(1, message);
  });
  // Whatever a burst of changes put off is done once the burst is read.
  zarnith::lsp::MessageReader reader(0, [&] { server.Idle(); });
  std::string body;
  while (!server.Finished() && !clientGone) {
    switch (reader.Next(body)) {
      case zarnith::lsp::MessageReader::Result::kMessage: server.Handle(body); break;
      case zarnith::lsp::MessageReader::Result::kMalformed: server.HandleMalformed(); break;
      case zarnith::lsp::MessageReader::Result::kEnd: return 1;
    }
  }
  return server.Finished() ? server.ExitStatus() : 1;
}
