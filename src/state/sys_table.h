// The table of the system calls that the classes make: files for fs, programs
// for os, shared libraries for bass, and the memory that large allocations are
// weighed against. The Host holds one. It has two implementations: the real
// system (state/sys_calls.h), which the Host starts with, and an in-memory one
// (state/sys_memory.h) that the fuzz targets and the browser build install.
// The entries are callables, so an implementation can carry its own state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarnith {

// What a finished program left: its wait status and its standard output.
// When waiting for it failed, waitError holds the error number and the
// status means nothing.
struct SysProgramResult {
  int waitStatus = 0;
  int waitError = 0;
  std::string output;
};

// Every call that can fail returns its error number (0 on success); the
// meaning of each is documented at the real call in state/sys_calls.h.
struct SysCalls {
  std::function<int(const std::string& path, int flags, int& fd)> open;
  // Whether opening the path may wait (a FIFO, a device), not whether it fails.
  std::function<bool(const std::string& path)> openMayWait;
  std::function<int(int fd)> close;
  // What a read can expect: a regular file's size; 0 for anything whose size
  // says nothing of it (a pipe, a device, a directory), read to its end.
  std::function<int(int fd, std::uint64_t& size)> fileSize;
  // Reads until `size` bytes are in `buffer` or the file ends; `got` counts
  // the bytes read, also when a read fails.
  std::function<int(int fd, char* buffer, std::size_t size, std::size_t& got)> readUpTo;
  std::function<int(int fd, std::string_view text, std::size_t& written)> writeAll;
  std::function<int(const std::string& from, const std::string& to)> move;
  std::function<int(const std::string& path)> remove;
  std::function<int(const std::string& path)> makeDir;
  std::function<std::optional<std::string>(std::string_view name, std::string_view searchPath)>
      lookPath;
  std::function<int(const std::string& path, const std::vector<std::string>& argv,
                    SysProgramResult& result)>
      runProgram;
  // When not empty, no program can be started here and os:execute gives this
  // as its reason instead of looking the program up.
  std::string noPrograms;
  // Shared libraries by path: a handle or null, a symbol's address or null.
  std::function<void*(const std::string& path)> openLibrary;
  std::function<void*(void* handle, const char* name)> librarySymbol;
  std::function<void(void* handle)> closeLibrary;
  // Bytes the system can hand out now without swapping or killing anyone,
  // and the size of its memory; 0 when that is unknown.
  std::function<std::uint64_t()> availableMemory;
  std::function<std::uint64_t()> physicalMemory;
  // Allocations above this many bytes are weighed against availableMemory;
  // smaller ones are not: asking costs more than they do.
  std::uint64_t weighAbove = 0;
};

// The real calls (state/sys_calls.cpp).
const SysCalls& RealSystemCalls();

// Throws std::bad_alloc when an allocation of `bytes` that is about to be
// filled would not fit in the memory available now. The system promises far
// more memory than it has, so such an allocation would succeed and filling it
// would get the process killed without a word; refused here, it ends the line
// with "out of memory" and the script goes on. The test of the size is inline:
// an append loop passes here once a line.
void WeighAgainstAvailable(const SysCalls& sys, std::uint64_t bytes);
inline void EnsureAvailable(const SysCalls& sys, std::uint64_t bytes) {
  if (bytes > sys.weighAbove) WeighAgainstAvailable(sys, bytes);
}

}  // namespace zarnith
