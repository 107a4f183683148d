#include "lsp/transport.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace zarnith::lsp {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLengthField = "content-length:";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// True when input is waiting on `fd`, or it is at its end or broken (a read
// then returns at once).
bool InputWaiting(int fd) {
  pollfd p{fd, POLLIN, 0};
  int n;
  do {
    n = poll(&p, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n != 0;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::size_t ContentLength(std::string_view headers) {
  std::size_t length = std::string_view::npos;
  while (!headers.empty()) {
    std::size_t end = headers.find("\r\n");
    std::string_view field = headers.substr(0, end);
    headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 2);
    std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    if (!EqualsIgnoringCase(Trim(field.substr(0, colon)), "content-length")) continue;
    std::string_view digits = Trim(field.substr(colon + 1));
    std::size_t value = 0;
    auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || rest != digits.data() + digits.size() || digits.empty()) {
      return std::string_view::npos;
    }
    length = value;
  }
  return length;
}

void MessageReader::FeedText(std::string_view text) {
  fixed_ = true;
  lost_ = false;
  buffer_.assign(text);
  start_ = 0;
}

bool MessageReader::Fill() {
  if (fixed_) return false;
  if (start_ > 0) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  if (beforeWaiting_ && !InputWaiting(fd_)) beforeWaiting_();
  char chunk[65536];
  while (true) {
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

bool MessageReader::ReadHeaderBlock(std::string& headers, std::size_t& blockStart) {
  std::size_t searched = start_;
  while (true) {
    std::size_t end = buffer_.find(kHeaderEnd, searched);
    if (end != std::string::npos) {
      headers.assign(buffer_, start_, end - start_);
      blockStart = start_;
      start_ = end + kHeaderEnd.size();
      return true;
    }
    std::size_t kept = buffer_.size() - start_;
    if (kept > kMaxHeaders) {
      // No header block is this long: drop it, keeping the bytes where the
      // empty line may begin, and report a block without Content-Length.
      headers.clear();
      start_ = buffer_.size() - 3;
      blockStart = start_;
      return true;
    }
    if (!Fill()) return false;
    searched = start_ + (kept >= 3 ? kept - 3 : 0);
  }
}

bool MessageReader::SkipToContentLength() {
  while (true) {
    for (std::size_t i = start_; i + kLengthField.size() <= buffer_.size(); ++i) {
      if (EqualsIgnoringCase(std::string_view(buffer_).substr(i, kLengthField.size()),
                             kLengthField)) {
        start_ = i;
        return true;
      }
    }
    // Keep the bytes where a field may begin that the next input completes.
    std::size_t kept = std::min(buffer_.size() - start_, kLengthField.size() - 1);
    start_ = buffer_.size() - kept;
    if (!Fill()) return false;
  }
}

MessageReader::Result MessageReader::Next(std::string& body) {
  if (lost_) {
    if (!SkipToContentLength()) return Result::kEnd;
    lost_ = false;
  }
  std::string headers;
  std::size_t blockStart = 0;
  if (!ReadHeaderBlock(headers, blockStart)) return Result::kEnd;
  std::size_t length = ContentLength(headers);
  if (length == std::string_view::npos) {
    // The next field may stand inside this block (its empty line was lost,
    // or the body before it was longer than its header said) or anywhere
    // after it.
    lost_ = true;
    start_ = std::min(blockStart + 1, buffer_.size());
    return Result::kMalformed;
  }
  bool tooLarge = length > kMaxBody;
  body.clear();
  // A body too large is read and dropped, so the next message is found.
  while (length > 0) {
    if (start_ == buffer_.size() && !Fill()) return Result::kEnd;
    std::size_t take = std::min(length, buffer_.size() - start_);
    if (!tooLarge) body.append(buffer_, start_, take);
    start_ += take;
    length -= take;
  }
  return tooLarge ? Result::kMalformed : Result::kMessage;
}

bool WriteMessage(int fd, std::string_view body) {
  std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  message.append(body);
  std::string_view rest = message;
  while (!rest.empty()) {
    ssize_t n = write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace zarnith::lsp
