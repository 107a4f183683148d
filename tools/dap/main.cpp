// zarnith-dap: a Debug Adapter Protocol server on standard input and output.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "dap/session.h"
#include "dap/streams.h"
#include "state/signals.h"

namespace {

constexpr const char* kUsage =
    "Usage: zarnith-dap [--stdio]\n"
    "A debugger for Zarnith scripts: editors start it and talk to it over\n"
    "standard input and output (Debug Adapter Protocol). It runs the script\n"
    "given by the launch configuration, stops it at breakpoints, steps it\n"
    "forwards and backwards, and shows and changes its variables.\n"
    "\n"
    "  --stdio     talk over standard input and output (the default)\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

// The protocol keeps descriptors of its own; the script's standard input is
// the null device (its input comes from the launch setting stdin), and its
// standard output a pipe (ScriptOutput).
bool TakeProtocolDescriptors(int& in, int& out) {
  in = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
  out = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
  int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (in < 0 || out < 0 || null < 0 || ::dup2(null, 0) < 0) return false;
  ::close(null);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "--stdio") continue;
    if (option == "--help") return std::fputs(kUsage, stdout) < 0 ? 1 : 0;
    if (option == "--version") return std::puts("zarnith-dap 0.1.2.5") < 0 ? 1 : 0;
    std::fprintf(stderr, "zarnith-dap: unknown option '%s'\nTry 'zarnith-dap --help'.\n", argv[i]);
    return 2;
  }
  // SIGPIPE ignored: a client that goes away makes a write fail instead.
  zarnith::SetUpSignals();
  int protocolIn = -1, protocolOut = -1;
  if (!TakeProtocolDescriptors(protocolIn, protocolOut)) {
    std::perror("zarnith-dap");
    return 1;
  }
  static zarnith::dap::Outbox outbox(protocolOut);
  static zarnith::dap::Inbox inbox;
  static zarnith::dap::ScriptOutput output;
  auto send = [](std::string_view body) { outbox.Send(body); };
  static zarnith::dap::Session session(send, inbox, [](bool end) { end ? output.Finish() : output.Drain(); });
  if (!output.Start([](std::string_view text) { session.SendOutput(text, "stdout"); }, inbox.attention())) {
    std::perror("zarnith-dap");
    return 1;
  }
  inbox.Start(protocolIn);
  session.Serve();
  // The threads are left blocked in their reads; the process ends them.
  std::fflush(nullptr);
  ::_exit(0);
}
