// The table of the system calls that the classes make: files for fs, programs
// for os, the audio library for bass and the free memory that large
// allocations are weighed against. The Host holds one; the real calls fill it
// by default, and tests and fuzz targets install fakes of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarnith {

struct BassLibrary;

// What a finished program left: its wait status and its standard output.
// When waiting for it failed, waitError holds the error number and the
// status means nothing.
struct SysProgramResult {
  int waitStatus = 0;
  int waitError = 0;
  std::string output;
};

// Every call that can fail returns its error number (0 on success); the
// meaning of each is documented at the real call in classes/builtin/sys_calls.h.
struct SysCalls {
  int (*open)(const std::string& path, int flags, int& fd);
  // Whether opening the path may wait (a FIFO, a device), not whether it fails.
  bool (*openMayWait)(const std::string& path);
  int (*close)(int fd);
  int (*fileSize)(int fd, std::uint64_t& size);
  std::size_t (*readUpTo)(int fd, char* buffer, std::size_t size);
  int (*writeAll)(int fd, std::string_view text, std::size_t& written);
  int (*move)(const std::string& from, const std::string& to);
  int (*remove)(const std::string& path);
  int (*makeDir)(const std::string& path);
  std::optional<std::string> (*lookPath)(std::string_view name, std::string_view searchPath);
  int (*runProgram)(const std::string& path, const std::vector<std::string>& argv,
                    SysProgramResult& result);
  // The audio library, loaded on the bass class's first need.
  std::shared_ptr<BassLibrary> (*loadBassLibrary)();
  // Bytes the system can hand out now without swapping or killing anyone;
  // 0 when that is unknown.
  std::uint64_t (*availableMemory)();
  // Allocations above this many bytes are weighed against availableMemory;
  // smaller ones are not: asking costs more than they do.
  std::uint64_t weighAbove;
};

// The real calls, defined beside them in classes/builtin/sys_calls.cpp.
extern const SysCalls kSystemCalls;

// Throws std::bad_alloc when an allocation of `bytes` that is about to be
// filled would not fit in the memory available now. The system promises far
// more memory than it has, so such an allocation would succeed and filling it
// would get the process killed without a word; refused here, it ends the line
// with "out of memory" and the script goes on.
void EnsureAvailable(const SysCalls& sys, std::uint64_t bytes);

}  // namespace zarnith
