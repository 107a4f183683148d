// zarnith-dap's streams. The protocol arrives on one descriptor and leaves on
// another; the script's standard output is a pipe of its own, so nothing the
// script writes can reach the protocol. Two threads keep them moving while
// the script runs: one reads messages into the inbox, one turns the
// script's output into output events. Everything else happens on the
// script's thread, which looks at `attention` before every line.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace zarnith::lsp {
class MessageReader;
}

namespace zarnith::dap {

// Writes framed messages; shared by the threads.
class Outbox {
 public:
  explicit Outbox(int fd) : fd_(fd) {}
  // False once the client has gone.
  bool Send(std::string_view body);
  bool ClientGone() const { return gone_.load(); }

 private:
  int fd_;
  std::mutex mutex_;
  std::atomic<bool> gone_{false};
};

struct Incoming {
  enum class Kind { kMessage, kMalformed, kEnd } kind = Kind::kEnd;
  std::string body;
};

// Messages read from the client by a thread of its own.
class Inbox {
 public:
  // Starts reading `fd` (the thread outlives the inbox only at the process's end).
  void Start(int fd);
  // Feeds a fixed text instead (tests, fuzzing): its messages, then the end.
  void Feed(std::string_view text);

  // The next message; waits until `until` for one (forever without it).
  std::optional<Incoming> Take(std::optional<std::chrono::steady_clock::time_point> until);
  std::optional<Incoming> TryTake();

  // Raised when a message arrives, and by the output's clock.
  std::atomic<bool>& attention() { return attention_; }

 private:
  void ReadAll(lsp::MessageReader& reader);
  void Put(Incoming item);

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Incoming> items_;
  std::atomic<bool> attention_{false};
};

// The script's standard output: descriptor 1 becomes a pipe; its bytes are
// handed on in order, cut only between whole UTF-8 characters.
class ScriptOutput {
 public:
  using Sink = std::function<void(std::string_view text)>;
  // Redirects descriptor 1 and starts forwarding; raises `tick` ten times a
  // second, so that buffered output is written while the script runs.
  bool Start(Sink sink, std::atomic<bool>& tick);
  // Hands on what the pipe holds now (the script's buffer was flushed).
  void Drain();
  // The same at the end of the script, an incomplete character included.
  void Finish();

 private:
  void Forward(std::string_view bytes, bool end);

  int readFd_ = -1;
  Sink sink_;
  std::mutex mutex_;
  std::string pending_;  // the start of a character cut by a read
};

}  // namespace zarnith::dap
