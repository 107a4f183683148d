// The interpreter as a WebAssembly module: the functions the page's worker
// (and the Node test) call. Each run gets a fresh interpreter over a fresh
// in-memory system, which holds the files added before the run and, after
// it, the files the script left. Output reaches JavaScript through standard
// output (module.js), so it streams as the script prints.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "check/check.h"
#include "core/builtin_classes.h"
#include "core/runner.h"
#include "state/interpreter.h"
#include "state/sys_memory.h"
#include "values/messages.h"

extern "C" {
// Waits `ms` milliseconds (module.js: the worker blocks, the page does not).
void zn_js_sleep(double ms);
// A call on an audio stream, for the page to play (module.js).
void zn_js_audio(int kind, unsigned stream, int restart, double volume, const char* data,
                 std::size_t size);
}

namespace {

using zarnith::Interpreter;
using zarnith::MemoryLimits;
using zarnith::MemorySystem;

// The browser's memory: WebAssembly grows to 2 GiB at the most.
MemoryLimits PageLimits() {
  MemoryLimits limits;
  limits.maxOpen = 1024;
  limits.maxNodes = 10000;
  limits.maxFileSize = std::size_t{64} << 20;
  limits.maxAudioStreams = 4096;
  limits.availableMemory = std::uint64_t{1} << 30;
  limits.physicalMemory = std::uint64_t{2} << 30;
  limits.weighAbove = std::uint64_t{64} << 20;
  return limits;
}

constexpr const char* kNoPrograms = "running programs is not available in the browser";

// The system of the next run, and after a run the one it left.
std::unique_ptr<MemorySystem> gSystem;
// What the last call that hands back bytes handed back.
std::string gResult;

void TellPage(const zarnith::AudioEvent& e) {
  zn_js_audio(static_cast<int>(e.kind), e.stream, e.restart ? 1 : 0, e.volume, e.data.data(),
              e.data.size());
}

MemorySystem& System() {
  if (!gSystem) {
    gSystem = std::make_unique<MemorySystem>(PageLimits(), kNoPrograms);
    gSystem->ListenToAudio(TellPage);
  }
  return *gSystem;
}

std::string_view View(const char* data, std::size_t size) {
  return size ? std::string_view(data, size) : std::string_view();
}

void PutNumber(std::string& out, std::uint32_t n) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(n >> (8 * i));
}

// Runs `script` (or, in shell mode, `input` typed at the shell) as the
// command line would, `args` being the script's arguments, each ended by NUL.
int Run(Interpreter& in, std::string_view script, std::string_view args, bool shell) {
  zarnith::LoadBuiltinClasses(in);
  if (shell) {
    in.host.out.Write(zarnith::msg::kBanner);
    in.host.out.Put('\n');
    zarnith::KorvaneShell(in);
  }
  std::string arg = "nil";
  if (!args.empty()) {
    arg.assign(args.substr(0, args.size() - 1));
    std::replace(arg.begin(), arg.end(), '\0', ' ');
  }
  in.stores.Add(in.stores.stringVars, "arg", std::move(arg));
  zarnith::Execute(in, script);
  return 0;
}

}  // namespace

// The browser has no system of its own: every run installs its in-memory
// system before the interpreter makes a call, so an interpreter starts with
// an empty table.
const zarnith::SysCalls& zarnith::RealSystemCalls() {
  static const SysCalls none;
  return none;
}

extern "C" {

// Forgets every file: the next run starts with an empty system.
void zn_reset() { gSystem.reset(); }

// Adds a file or a folder for the next run; the error number, 0 on success.
int zn_add_file(const char* path, std::size_t pathSize, const char* data, std::size_t dataSize) {
  return System().AddFile(View(path, pathSize), View(data, dataSize));
}

int zn_add_dir(const char* path, std::size_t pathSize) {
  return System().AddDirectory(View(path, pathSize));
}

// Runs one script; returns its exit status. Flags: 1 shell mode (the input
// is typed at the shell), 2 every line on the reference path.
int zn_run(const char* script, std::size_t scriptSize, const char* input, std::size_t inputSize,
           const char* args, std::size_t argsSize, int flags) {
  int status = 0;
  {
    Interpreter in;
    in.host.sys = System().Calls();
    in.host.input.FeedText(View(input, inputSize));
    in.host.sleep = [](std::int64_t ms) { zn_js_sleep(static_cast<double>(ms)); };
    in.host.linePlans = (flags & 2) == 0;
    try {
      status = Run(in, View(script, scriptSize), View(args, argsSize), (flags & 1) != 0);
    } catch (const zarnith::ProgramExit& e) {
      status = e.status;
    }
    in.host.out.Flush();
  }
  return status;
}

// The files and folders after a run, for zn_result_data: per entry one byte
// ('d' or 'f'), the path's size (4 bytes, little-endian), the path, the
// data's size and the data.
std::size_t zn_list_files() {
  gResult.clear();
  for (const MemorySystem::Entry& e : System().Entries()) {
    gResult += e.directory ? 'd' : 'f';
    PutNumber(gResult, static_cast<std::uint32_t>(e.path.size()));
    gResult += e.path;
    PutNumber(gResult, static_cast<std::uint32_t>(e.data.size()));
    gResult += e.data;
  }
  return gResult.size();
}

// The checker's findings for a text, one a line: line, column, severity,
// code and message, separated by tabs.
std::size_t zn_check(const char* text, std::size_t size) {
  gResult.clear();
  for (const zarnith::check::Diagnostic& d : zarnith::check::CheckScript(View(text, size))) {
    std::string message = d.message;
    std::replace(message.begin(), message.end(), '\t', ' ');
    std::replace(message.begin(), message.end(), '\n', ' ');
    gResult += std::to_string(d.line) + '\t' + std::to_string(d.column) + '\t' +
               std::string(zarnith::check::SeverityName(d.severity)) + '\t' + d.code + '\t' +
               message + '\n';
  }
  return gResult.size();
}

const char* zn_result_data() { return gResult.data(); }

}  // extern "C"
