// The real system: thin wrappers over the system calls of the fs and os
// classes and the dynamic loader. Each returns
// the error number of a failure (0 on success), so the classes build every
// message from one place (ErrnoReason) and tests can reach each failure path.
// Paths and arguments holding a NUL byte are refused with EINVAL: the system
// would silently cut them at that byte and act on another name.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "state/sys_table.h"

namespace zarnith {

// Permission bits of every file and directory the classes create.
inline constexpr mode_t kCreateMode = 0755;

// open(2) with close-on-exec added to `flags`.
int SysOpen(const std::string& path, int flags, int& fd);
int SysClose(int fd);
// True when opening `path` may wait for another process: it names something
// that is neither a regular file nor a directory (a FIFO waits for its other end).
bool SysOpenMayWait(const std::string& path);
// The size of a regular file; 0 for anything else, whose size means nothing
// for reading (a pipe says 0, a directory its own block size).
int SysFileSize(int fd, std::uint64_t& size);

// Reads from the current position until `size` bytes are in `buffer` or the
// file ends, waiting when a descriptor left non-blocking has nothing yet.
// Ctrl-C at the terminal shell abandons it (StatementInterrupted).
int SysReadUpTo(int fd, char* buffer, std::size_t size, std::size_t& got);

// Writes all of `text`, retrying partial writes and interrupted calls. At
// least one write is made, so an empty text still reports a read-only file.
int SysWriteAll(int fd, std::string_view text, std::size_t& written);

// rename(2), except that an existing directory at `to` is never replaced:
// that fails with EEXIST, or with the error of `from` when it is missing too.
int SysMove(const std::string& from, const std::string& to);

// Removes a file, else an empty directory. When both fail, the directory's
// error counts unless it is ENOTDIR, which means the file's error is the one.
int SysRemove(const std::string& path);

int SysMakeDir(const std::string& path);

// The first entry of the search list `searchPath` (PATH's form: entries split
// at ':', an empty entry is the current directory) that holds `name` as a
// file that is no directory and has an execute bit set.
std::optional<std::string> SysLookPath(std::string_view name, std::string_view searchPath);

// Starts the program at `path` with `argv` (argv[0] first), standard input
// from the null device, standard output captured, standard error discarded,
// no descriptor of ours inherited and SIGPIPE back to its default. Reads the
// output while the program runs and waits for it; an ending signal that
// arrives meanwhile is passed on to it (RunningProgramScope). Returns the
// error number when the program could not be started.
int SysRunProgram(const std::string& path, const std::vector<std::string>& argv,
                  SysProgramResult& result);

// MemAvailable of /proc/meminfo in bytes; 0 when it cannot be read.
std::uint64_t SysAvailableMemory();

// The machine's physical memory in bytes; 0 when it is unknown.
std::uint64_t SysPhysicalMemory();

}  // namespace zarnith
