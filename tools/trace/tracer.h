// zarnith-trace's two tracers: the line-by-line trace and the profile. Both
// write to a FILE that the caller opened (standard error by default).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "state/interpreter.h"

namespace zarnith::trace {

// Text as one line of a trace: control characters written as escapes.
std::string Printable(std::string_view text);

// What has run: each line's count, for the report of lines never run. A
// visit that the line gate skipped (in a branch that does not run) is none.
class Coverage {
 public:
  void Count(std::int64_t index);
  // The lines that hold code (neither empty nor a comment) and never ran,
  // among the first `count` lines seen; one "never run: N: text" line each.
  void ReportNeverRun(std::FILE* out, std::string_view script) const;

 protected:
  std::vector<std::int64_t> runs_;
};

// For each executed line: its number, text, what it became, the form that ran
// it or why it was ignored, a changed returned value and a jump.
class LineTrace : public LineTracer, public Coverage {
 public:
  explicit LineTrace(std::FILE* out) : out_(out) {}
  void BeforeLine(const Interpreter& in, std::int64_t index, std::string_view raw) override;
  void AfterLine(const Interpreter& in) override;
  void Routed(std::string_view text, std::string_view form, std::string_view head) override;
  void Condition(bool value) override;
  // Writes the line that was running when the program ended.
  void Finish();

 private:
  struct Returned {
    std::string_view type;
    std::int64_t number = 0;
    const char* data = nullptr;
    std::size_t size = 0;
    std::string prefix;
  };
  static Returned Fingerprint(const Interpreter& in);
  void Open(const Interpreter& in, std::int64_t index, std::string_view raw, bool skipped);
  void Close(const Interpreter& in);
  std::FILE* out_;
  bool open_ = false;
  std::int64_t index_ = 0;
  std::string prepared_;
  std::string record_;
  Returned returned_;
};

// Each line's count and total time; hottest first at the end.
class Profile : public LineTracer, public Coverage {
 public:
  void BeforeLine(const Interpreter& in, std::int64_t index, std::string_view raw) override;
  void AfterLine(const Interpreter& in) override;
  void Routed(std::string_view, std::string_view, std::string_view) override {}
  void Report(std::FILE* out, std::string_view script);

 private:
  void Stop();
  std::vector<std::chrono::nanoseconds> time_;
  std::optional<std::int64_t> running_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace zarnith::trace
