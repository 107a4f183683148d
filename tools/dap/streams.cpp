// The protocol's and the script's streams.
#include "dap/streams.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "lsp/transport.h"

namespace zarnith::dap {

bool Outbox::Send(std::string_view body) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (gone_) return false;
  if (!lsp::WriteMessage(fd_, body)) gone_ = true;
  return !gone_;
}

// Hands every message of the reader to the inbox, then the end.
void Inbox::ReadAll(lsp::MessageReader& reader) {
  std::string body;
  for (;;) {
    lsp::MessageReader::Result r = reader.Next(body);
    if (r == lsp::MessageReader::Result::kEnd) break;
    bool malformed = r == lsp::MessageReader::Result::kMalformed;
    Put({malformed ? Incoming::Kind::kMalformed : Incoming::Kind::kMessage, std::move(body)});
  }
  Put({Incoming::Kind::kEnd, {}});
}

void Inbox::Start(int fd) {
  std::thread([this, fd] {
    lsp::MessageReader reader(fd);
    ReadAll(reader);
  }).detach();
}

void Inbox::Feed(std::string_view text) {
  lsp::MessageReader reader(-1);
  reader.FeedText(text);
  ReadAll(reader);
}

void Inbox::Put(Incoming item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(std::move(item));
  }
  attention_.store(true, std::memory_order_relaxed);
  arrived_.notify_one();
}

std::optional<Incoming> Inbox::Take(std::optional<std::chrono::steady_clock::time_point> until) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [this] { return !items_.empty(); };
  if (until) {
    if (!arrived_.wait_until(lock, *until, ready)) return std::nullopt;
  } else {
    arrived_.wait(lock, ready);
  }
  Incoming item = std::move(items_.front());
  // The end stays, for every later look.
  if (item.kind != Incoming::Kind::kEnd) items_.pop_front();
  return item;
}

std::optional<Incoming> Inbox::TryTake() {
  return Take(std::chrono::steady_clock::time_point{});
}

bool ScriptOutput::Start(Sink sink, std::atomic<bool>& tick) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  if (::dup2(ends[1], 1) < 0) return false;
  ::close(ends[1]);
  readFd_ = ends[0];
  sink_ = std::move(sink);
  std::thread([this, &tick] {
    pollfd p{readFd_, POLLIN, 0};
    for (;;) {
      int ready = ::poll(&p, 1, 100);
      tick.store(true, std::memory_order_relaxed);
      if (ready > 0) Drain();
    }
  }).detach();
  return true;
}

void ScriptOutput::Drain() {
  if (readFd_ < 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  char chunk[65536];
  for (;;) {
    pollfd p{readFd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) return;
    ssize_t n = ::read(readFd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    Forward(std::string_view(chunk, static_cast<std::size_t>(n)), false);
  }
}

void ScriptOutput::Finish() {
  Drain();
  std::lock_guard<std::mutex> lock(mutex_);
  Forward({}, true);
}

// Cuts after the last whole character; the bytes of one begun at the end
// wait for the rest (at most three bytes).
void ScriptOutput::Forward(std::string_view bytes, bool end) {
  pending_.append(bytes);
  std::size_t cut = pending_.size();
  if (!end) {
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
      auto c = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
      std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (length > back) cut = pending_.size() - back;
      break;
    }
  }
  if (cut == 0) return;
  sink_(std::string_view(pending_).substr(0, cut));
  pending_.erase(0, cut);
}

}  // namespace zarnith::dap
