// Output and input of the interpreter: a buffered writer over standard output
// (or a string, for tests) and the one line reader that the shell and the
// readline statement share.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarnith {

// Buffered output. Flushed when the buffer fills, before anything blocks, at
// exit, and at every line feed when standard output is a terminal. A write
// that would block waits until the descriptor takes more. A failed write is
// dropped (a full disk, a closed descriptor), except a broken pipe: nobody
// reads any more, so the program ends by SIGPIPE as other programs do.
class Output {
 public:
  explicit Output(int fd = 1);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  // Sends everything to a string instead of a descriptor (tests, fuzzing).
  void CaptureTo(std::string* sink) { sink_ = sink; }
  std::string* capture() const { return sink_; }

  void Write(std::string_view text);
  void Put(char c) { Write(std::string_view(&c, 1)); }
  void Flush();
  // True when `fd` may lead where standard output goes, or may block: it is
  // not a regular file, or it is the file standard output writes to. Output
  // is flushed before each use of such a descriptor, so it stays in the
  // order of the statements; plain files keep the buffer.
  bool SharesDestination(int fd) const;

 private:
  void WriteToFd(std::string_view text);

  int fd_;
  bool lineBuffered_ = false;
  std::string* sink_ = nullptr;
  std::string buffer_;
};

// Reads lines split at line feeds; a carriage return just before the line
// feed is dropped. A line is accepted when it and its line feed fit in 65,536
// bytes; a longer one is skipped whole and reported as too long.
class LineReader {
 public:
  static constexpr std::size_t kMaxLine = 65536;
  enum class Result { kLine, kEnd, kTooLong };

  explicit LineReader(int fd = 0) : fd_(fd) {}

  // Reads from a fixed text instead of a descriptor (tests, fuzzing).
  void FeedText(std::string_view text);

  // End of input is not kept: at a terminal (after Ctrl-D) or a FIFO (after
  // its last writer left) the next call reads again, as a new reader would.
  Result ReadLine(std::string& line);

  // True when no buffered input is waiting (the terminal shell may then read
  // through its line editor without losing piped bytes).
  bool BufferEmpty() const { return start_ == buffer_.size(); }

  // Hands over the unread bytes when they hold no whole line (the start of a
  // line typed ahead at a terminal, for the line editor to go on with).
  bool TakePartialLine(std::string& text);

 private:
  bool Fill();  // false at end of input; input that is not ready is waited for

  int fd_;
  bool fixed_ = false;
  std::string buffer_;
  std::size_t start_ = 0;
};

}  // namespace zarnith
