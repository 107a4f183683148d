// Buffered standard output and the shared line reader.
#include "state/io.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
void WaitUntilReady(int fd, short events) {
  pollfd p{fd, events, 0};
  while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}
}  // namespace

Output::Output(int fd) : fd_(fd), lineBuffered_(isatty(fd) == 1) { buffer_.reserve(kOutputBuffer); }

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
  if (buffer_.size() + text.size() > kOutputBuffer) {
    Flush();
    if (text.size() >= kOutputBuffer) {
      WriteToFd(text);
      return;
    }
  }
  buffer_.append(text);
  if (lineBuffered_ && text.find('\n') != std::string_view::npos) Flush();
}

void Output::Flush() {
  if (buffer_.empty()) return;
  WriteToFd(buffer_);
  buffer_.clear();
}

bool Output::SharesDestination(int fd) const {
  if (sink_) return false;
  struct stat target {};
  struct stat own {};
  return ::fstat(fd, &target) != 0 || !S_ISREG(target.st_mode) || ::fstat(fd_, &own) != 0 ||
         (own.st_dev == target.st_dev && own.st_ino == target.st_ino);
}

void Output::WriteToFd(std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      WaitUntilReady(fd_, POLLOUT);
      continue;
    }
    if (n < 0 && errno == EPIPE) EndBySignal(SIGPIPE);
    if (n <= 0) return;  // a full disk or a closed descriptor: the output is dropped
    text.remove_prefix(static_cast<std::size_t>(n));
  }
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
