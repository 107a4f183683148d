// The framing of protocol messages on a byte stream: a header block
// ("Content-Length: N", other fields ignored) ended by an empty line, then N
// bytes of JSON. Knows nothing of what the messages say, so every server of
// the project frames its messages with it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zarnith::lsp {

class MessageReader {
 public:
  // A body larger than this is skipped and reported as malformed.
  static constexpr std::size_t kMaxBody = std::size_t{64} << 20;
  static constexpr std::size_t kMaxHeaders = 65536;
  enum class Result { kMessage, kMalformed, kEnd };

  // `beforeWaiting`, when given, is called each time the reader is about to
  // wait for input that has not come yet: the caller's moment to finish work
  // that a burst of messages put off.
  explicit MessageReader(int fd, std::function<void()> beforeWaiting = {})
      : fd_(fd), beforeWaiting_(std::move(beforeWaiting)) {}

  // Reads the next message's body. kMalformed: a header block without a
  // usable Content-Length, or a body too large. After a header block without
  // a usable length, where its body ends is unknown: the reader goes on at
  // the next "Content-Length:" field, so one broken message costs no other.
  Result Next(std::string& body);

  // Reads from a fixed text instead of the descriptor (tests, fuzzing).
  void FeedText(std::string_view text);

 private:
  bool Fill();  // false at the end of input
  // Reads until the header block's empty line; false at the end of input.
  // `blockStart` is where the block began in the buffer.
  bool ReadHeaderBlock(std::string& headers, std::size_t& blockStart);
  // Skips to the next "Content-Length:" field; false at the end of input.
  bool SkipToContentLength();

  int fd_;
  std::function<void()> beforeWaiting_;
  bool fixed_ = false;
  bool lost_ = false;  // the last header block had no usable length
  std::string buffer_;
  std::size_t start_ = 0;
};

// The Content-Length of a header block, or npos when it has none or a
// malformed one.
std::size_t ContentLength(std::string_view headers);

// Writes one framed message. False when the other side has gone.
bool WriteMessage(int fd, std::string_view body);

}  // namespace zarnith::lsp
