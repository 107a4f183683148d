// Buffered standard output and the shared line reader.
#include "state/io.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "state/interrupt.h"
#include "state/signals.h"

namespace zarnith {

namespace {
constexpr std::size_t kOutputBuffer = 64 * 1024;
constexpr std::size_t kReadChunk = 64 * 1024;

// A descriptor that its opener left non-blocking says "not ready" instead of
// waiting; wait here, so no output is dropped and no input taken for its end.
// A signal cuts the wait short; the caller tries again.
void WaitUntilReady(int fd, short events) {
  pollfd p{fd, events, 0};
  ::poll(&p, 1, -1);
}

// Writes as much of `text` as `fd` takes now, in pieces a pipe takes whole
// once it has room; stops where it would wait. Async-signal-safe.
void WriteWithoutWaiting(int fd, const char* text, std::size_t size) {
  while (size > 0) {
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) != 1 || (p.revents & POLLOUT) == 0) return;
    ssize_t n = ::write(fd, text, size < PIPE_BUF ? size : PIPE_BUF);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    size -= static_cast<std::size_t>(n);
  }
}
}  // namespace

Output::Output(int fd)
    : fd_(fd), lineBuffered_(isatty(fd) == 1), buffer_(new char[kOutputBuffer]) {}

Output::~Output() { Flush(); }

void Output::Write(std::string_view text) {
  if (sink_) {
    // A capture that cannot grow drops the text, as a failed write would.
    try {
      sink_->append(text);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return;
  }
  if (text.empty()) return;
  std::size_t used = used_.load(std::memory_order_relaxed);
  if (used + text.size() > kOutputBuffer) {
    Flush();
    if (text.size() >= kOutputBuffer) return WriteToFd(text, false);
    used = 0;
  }
  std::memcpy(buffer_.get() + used, text.data(), text.size());
  std::atomic_signal_fence(std::memory_order_release);
  used_.store(used + text.size(), std::memory_order_relaxed);
  if (lineBuffered_ && std::memchr(text.data(), '\n', text.size()) != nullptr) Flush();
}

void Output::Flush() {
  std::size_t used = used_.load(std::memory_order_relaxed);
  if (used == 0) return;
  WriteToFd(std::string_view(buffer_.get(), used), true);
}

bool Output::SharesDestination(int fd) const {
  if (sink_) return false;
  struct stat target {};
  struct stat own {};
  return ::fstat(fd, &target) != 0 || !S_ISREG(target.st_mode) || ::fstat(fd_, &own) != 0 ||
         (own.st_dev == target.st_dev && own.st_ino == target.st_ino);
}

int Output::StandardFileAt(const std::string& path) const {
  if (sink_ || path.find('\0') != std::string::npos) return -1;
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return -1;
  for (int fd : {fd_, 2}) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_dev != target.st_dev || st.st_ino != target.st_ino) {
      continue;
    }
    // A descriptor left open for reading only writes nothing there.
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1 && (flags & O_ACCMODE) != O_RDONLY) return fd;
  }
  return -1;
}

// While this writes, a signal handler leaves the descriptor and the buffer
// alone and only notes the signal; the write then ends the program by it.
void Output::WriteToFd(std::string_view text, bool emptiesBuffer) {
  writing_ = 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  while (!text.empty()) {
    if (endingSignal_ != 0) {
      WriteWithoutWaiting(fd_, text.data(), text.size());
      EndBySignal(endingSignal_);
    }
    ssize_t n = ::write(fd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      WaitUntilReady(fd_, POLLOUT);
      continue;
    }
    if (n < 0 && errno == EPIPE) EndBySignal(SIGPIPE);
    if (n <= 0) {  // the text is lost; the end of the program tells
      if (writeError_ == 0) writeError_ = n < 0 ? errno : EIO;
      break;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  if (emptiesBuffer) used_.store(0, std::memory_order_relaxed);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  writing_ = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (endingSignal_ != 0) EndBySignal(endingSignal_);
}

bool Output::WriteOutOnSignal(int sig) {
  if (writing_ != 0) {
    endingSignal_ = sig;
    return false;
  }
  if (sink_) return true;
  std::size_t used = used_.load(std::memory_order_relaxed);
  std::atomic_signal_fence(std::memory_order_acquire);
  WriteWithoutWaiting(fd_, buffer_.get(), used);
  return true;
}

void LineReader::FeedText(std::string_view text) {
  fixed_ = true;
  buffer_.assign(text);
  start_ = 0;
}

bool LineReader::Fill() {
  if (fixed_) return false;
  if (start_ > 0) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  std::size_t old = buffer_.size();
  buffer_.resize(old + kReadChunk);
  ssize_t n;
  for (;;) {
    // Ctrl-C at the terminal shell abandons a readline waiting here.
    if (InterruptRequested()) {
      buffer_.resize(old);
      throw StatementInterrupted{};
    }
    n = ::read(fd_, buffer_.data() + old, kReadChunk);
    if (n >= 0) break;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) break;
    WaitUntilReady(fd_, POLLIN);
  }
  buffer_.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
  return n > 0;
}

bool LineReader::TakePartialLine(std::string& text) {
  if (BufferEmpty() || buffer_.find('\n', start_) != std::string::npos) return false;
  text.assign(buffer_, start_);
  start_ = buffer_.size();
  return true;
}

LineReader::Result LineReader::ReadLine(std::string& line) {
  bool tooLong = false;
  std::size_t scanned = start_;
  for (;;) {
    std::size_t lf = buffer_.find('\n', scanned);
    if (lf != std::string::npos) {
      std::size_t length = lf - start_;
      if (tooLong || length + 1 > kMaxLine) {
        start_ = lf + 1;
        return Result::kTooLong;
      }
      if (length > 0 && buffer_[lf - 1] == '\r') --length;
      line.assign(buffer_, start_, length);
      start_ = lf + 1;
      return Result::kLine;
    }
    // No line feed yet: an overlong line is dropped as it arrives, so memory
    // stays bounded however long it is.
    if (buffer_.size() - start_ > kMaxLine) {
      tooLong = true;
      start_ = buffer_.size();
    }
    std::size_t seen = buffer_.size() - start_;  // Fill() may move start_
    if (!Fill()) break;
    scanned = start_ + seen;
  }
  // End of input: a last line without a line feed still counts.
  if (start_ >= buffer_.size()) return tooLong ? Result::kTooLong : Result::kEnd;
  std::size_t length = buffer_.size() - start_;
  if (tooLong || length > kMaxLine) {
    start_ = buffer_.size();
    return Result::kTooLong;
  }
  line.assign(buffer_, start_, length);
  start_ = buffer_.size();
  return Result::kLine;
}

}  // namespace zarnith
