// The trace and the profile of zarnith-trace.
#include "trace/tracer.h"

#include <algorithm>
#include <cinttypes>
#include <new>

#include "core/line.h"
#include "values/conditions.h"
#include "values/split.h"

namespace zarnith::trace {

namespace {

bool IsCommentOrEmpty(std::string_view raw) {
  return raw.empty() || raw[0] == '#' || raw == "\n";
}

// Long texts are cut in the trace: a script may hand back a whole file.
constexpr std::size_t kShownBytes = 60;

std::string ValueText(std::string_view type, const Value& v) {
  if (const auto* n = std::get_if<std::int64_t>(&v)) return std::string(type) + " " + std::to_string(*n);
  std::string_view text = std::get<Text>(v).view();
  std::string shown = std::string(type) + " \"" + Printable(text.substr(0, kShownBytes)) + "\"";
  if (text.size() > kShownBytes) shown += "... (" + std::to_string(text.size()) + " bytes)";
  return shown;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 && c != '\t') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void Coverage::Count(std::int64_t index) {
  auto i = static_cast<std::size_t>(index);
  // Counting must never stop the script: without memory, the line goes uncounted.
  try {
    if (runs_.size() <= i) runs_.resize(i + 1, 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  ++runs_[i];
}

void Coverage::ReportNeverRun(std::FILE* out, std::string_view script) const {
  std::vector<std::string_view> lines = SplitScriptLines(script);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsCommentOrEmpty(lines[i]) || (i < runs_.size() && runs_[i] > 0)) continue;
    std::fprintf(out, "never run: %zu: %s\n", i + 1, Printable(lines[i]).c_str());
  }
}

void LineTrace::BeforeLine(const Interpreter& in, std::int64_t index, std::string_view raw) {
  open_ = false;
  bool skipped = SkippedByGate(in, raw);
  if (!skipped) Count(index);
  if (IsCommentOrEmpty(raw)) return;
  try {
    Open(in, index, raw, skipped);
  } catch (const std::bad_alloc&) {
    open_ = false;  // the line runs untraced
  }
}

void LineTrace::Open(const Interpreter& in, std::int64_t index, std::string_view raw,
                     bool skipped) {
  open_ = true;
  index_ = index;
  returned_ = Fingerprint(in);
  record_ = std::to_string(index + 1) + ": " + Printable(raw);
  if (skipped) {
    record_ += "  [skipped: in a branch that does not run]";
    return;
  }
  PrepareLine(raw, prepared_);
  // Without a Routed call the line matched no form before routing.
}

void LineTrace::Routed(std::string_view text, std::string_view form, std::string_view head) {
  if (!open_) return;
  if (text != prepared_) {
    record_ += "  => ";
    record_ += Printable(text);
  }
  record_ += "  [";
  record_ += form;
  if (form == "statement" || form == "class call") {
    record_ += ' ';
    record_ += Printable(head);
  }
  record_ += ']';
}

void LineTrace::Condition(bool value) {
  if (open_) record_ += value ? "  condition true" : "  condition false";
}

// What tells a returned value from the one before without holding on to it
// (a copy would keep a text's buffer alive and make appends copy it).
LineTrace::Returned LineTrace::Fingerprint(const Interpreter& in) {
  Returned r;
  r.type = in.lastReturned.varType;
  if (const auto* n = std::get_if<std::int64_t>(&in.lastReturned.value)) {
    r.number = *n;
  } else {
    std::string_view text = std::get<Text>(in.lastReturned.value).view();
    r.data = text.data();
    r.size = text.size();
    r.prefix = std::string(text.substr(0, kShownBytes));
  }
  return r;
}

void LineTrace::AfterLine(const Interpreter& in) {
  if (!open_) return;
  try {
    Close(in);
  } catch (const std::bad_alloc&) {
    open_ = false;
  }
}

void LineTrace::Close(const Interpreter& in) {
  Returned now = Fingerprint(in);
  if (now.type != returned_.type || now.number != returned_.number || now.data != returned_.data ||
      now.size != returned_.size || now.prefix != returned_.prefix) {
    record_ += "  returned " + ValueText(in.lastReturned.varType, in.lastReturned.value);
  }
  if (in.lineIndex != index_) {
    record_ += "  jump " + std::to_string(index_ + 1) + " -> " + std::to_string(in.lineIndex + 2);
  }
  Finish();
}

void LineTrace::Finish() {
  if (!open_) return;
  record_ += '\n';
  std::fputs(record_.c_str(), out_);
  open_ = false;
}

// A skipped visit costs next to nothing and is no run: the last visit of a
// loop's body, when its condition has turned false, must not count.
void Profile::BeforeLine(const Interpreter& in, std::int64_t index, std::string_view raw) {
  if (SkippedByGate(in, raw)) return;
  Count(index);
  running_ = index;
  start_ = std::chrono::steady_clock::now();
}

void Profile::AfterLine(const Interpreter&) { Stop(); }

void Profile::Stop() {
  if (!running_) return;
  auto i = static_cast<std::size_t>(*running_);
  running_.reset();
  try {
    if (time_.size() <= i) time_.resize(i + 1, std::chrono::nanoseconds{0});
  } catch (const std::bad_alloc&) {
    return;
  }
  time_[i] += std::chrono::steady_clock::now() - start_;
}

void Profile::Report(std::FILE* out, std::string_view script) {
  Stop();  // the line that ended the program
  std::vector<std::string_view> lines = SplitScriptLines(script);
  time_.resize(runs_.size(), std::chrono::nanoseconds{0});
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < runs_.size() && i < lines.size(); ++i) {
    if (runs_[i] > 0 && !IsCommentOrEmpty(lines[i])) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return time_[a] > time_[b]; });
  std::fprintf(out, "%6s %12s %12s  %s\n", "line", "count", "total ms", "text");
  for (std::size_t i : order) {
    double ms = std::chrono::duration<double, std::milli>(time_[i]).count();
    std::fprintf(out, "%6zu %12" PRId64 " %12.3f  %s\n", i + 1, runs_[i], ms,
                 Printable(lines[i]).c_str());
  }
}

}  // namespace zarnith::trace
