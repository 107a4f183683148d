// Output and input of the interpreter: a buffered writer over standard output
// (or a string, for tests) and the one line reader that the shell and the
// readline statement share.
#pragma once

#include <atomic>
#include <csignal>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace zarnith {

// Buffered output. Flushed when the buffer fills, before anything blocks, at
// exit, and at every line feed when standard output is a terminal. A write
// that would block waits until the descriptor takes more. A broken pipe ends
// the program by SIGPIPE, as other programs end: nobody reads any more. Any
// other failed write (a full disk, an I/O error) loses that text and is
// remembered, so the program can end by saying so rather than with success.
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

  // The standard descriptor that writes to the regular file `path` names:
  // this output's own, else standard error (2); -1 when neither does, and
  // always while output is captured.
  int StandardFileAt(const std::string& path) const;

  // The error number of the first write that failed; 0 while all went out.
  int writeError() const { return writeError_; }

  // For the handler of a signal that ends the program; async-signal-safe.
  // Writes out what is buffered, as far as the descriptor takes it without
  // waiting, and returns true. When the signal cut into a write of the
  // program's own, it returns false instead: that write then ends the
  // program by `sig` as soon as it returns, after writing what it can.
  bool WriteOutOnSignal(int sig);

 private:
  void WriteToFd(std::string_view text, bool emptiesBuffer);

  int fd_;
  bool lineBuffered_ = false;
  std::string* sink_ = nullptr;
  int writeError_ = 0;
  // A signal handler reads the buffer: its bytes are in place before the
  // count that covers them, and the descriptor is written by one side only.
  std::unique_ptr<char[]> buffer_;
  std::atomic<std::size_t> used_{0};
  volatile std::sig_atomic_t writing_ = 0;
  volatile std::sig_atomic_t endingSignal_ = 0;
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
