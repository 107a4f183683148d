// System calls of the fs and os classes, each reporting its error number, and
// the table of the real calls that the Host starts with.
#include "state/sys_calls.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "state/interrupt.h"
#include "state/shared_library.h"
#include "state/signals.h"

extern char** environ;

namespace zarnith {

namespace {

bool HasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

int ErrorOf(int result) { return result == 0 ? 0 : errno; }

}  // namespace

int SysOpen(const std::string& path, int flags, int& fd) {
  if (HasNul(path)) return EINVAL;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, kCreateMode);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? errno : 0;
}

// Never retried: on Linux the descriptor is gone even when close reports EINTR.
int SysClose(int fd) { return ErrorOf(::close(fd)); }

bool SysOpenMayWait(const std::string& path) {
  struct stat st;
  return !HasNul(path) && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
         !S_ISDIR(st.st_mode);
}

int SysFileSize(int fd, std::uint64_t& size) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return errno;
  size = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  return 0;
}

int SysReadUpTo(int fd, char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) {
      AbandonIfInterrupted();
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, -1) < 0 && errno == EINTR) AbandonIfInterrupted();
      continue;
    }
    if (n < 0) return errno;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

int SysWriteAll(int fd, std::string_view text, std::size_t& written) {
  written = 0;
  do {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0 && written < text.size()) return EIO;  // no progress: give up
    written += static_cast<std::size_t>(n);
  } while (written < text.size());
  return 0;
}

int SysMove(const std::string& from, const std::string& to) {
  if (HasNul(from) || HasNul(to)) return EINVAL;
  struct stat st;
  if (::lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return ::lstat(from.c_str(), &st) != 0 ? errno : EEXIST;
  }
  int result;
  do {
    result = ::rename(from.c_str(), to.c_str());
  } while (result != 0 && errno == EINTR);
  return ErrorOf(result);
}

int SysRemove(const std::string& path) {
  if (HasNul(path)) return EINVAL;
  if (::unlink(path.c_str()) == 0) return 0;
  int fileError = errno;
  if (::rmdir(path.c_str()) == 0) return 0;
  int dirError = errno;
  return dirError == ENOTDIR ? fileError : dirError;
}

int SysMakeDir(const std::string& path) {
  if (HasNul(path)) return EINVAL;
  return ErrorOf(::mkdir(path.c_str(), kCreateMode));
}

namespace {

// dir joined with name; an empty entry and "." stand for the current
// directory, where the name alone is the path.
std::string JoinSearchEntry(std::string_view dir, std::string_view name) {
  if (dir.empty() || dir == ".") return std::string(name);
  while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
  std::string path(dir);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && (st.st_mode & 0111) != 0;
}

}  // namespace

std::optional<std::string> SysLookPath(std::string_view name, std::string_view searchPath) {
  if (HasNul(name) || searchPath.empty()) return std::nullopt;
  for (;;) {
    std::size_t colon = searchPath.find(':');
    std::string candidate = JoinSearchEntry(searchPath.substr(0, colon), name);
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string_view::npos) return std::nullopt;
    searchPath.remove_prefix(colon + 1);
  }
}

namespace {

// The descriptor plan and attributes of one program start.
class SpawnPlan {
 public:
  SpawnPlan() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attr_);
  }
  ~SpawnPlan() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  SpawnPlan(const SpawnPlan&) = delete;
  SpawnPlan& operator=(const SpawnPlan&) = delete;

  // Output to `outFd`; input and error output to the null device. The pipe
  // goes to descriptor 1 first, so it survives even when it was created on
  // 0 or 2 (possible when the interpreter was started with those closed).
  int Prepare(int outFd) {
    if (int err = posix_spawn_file_actions_adddup2(&actions_, outFd, 1)) return err;
    if (int err = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0)) {
      return err;
    }
    if (int err = posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0)) {
      return err;
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors that a library opened without close-on-exec stay ours too.
    if (int err = posix_spawn_file_actions_addclosefrom_np(&actions_, 3)) return err;
#endif
    // Only SIGPIPE is put back: the interpreter ignores it for itself.
    // Signals ignored by whoever started us (nohup) stay ignored.
    sigset_t defaults, mask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&mask);
    if (int err = posix_spawnattr_setsigdefault(&attr_, &defaults)) return err;
    if (int err = posix_spawnattr_setsigmask(&attr_, &mask)) return err;
    return posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }

  int Spawn(pid_t& pid, const std::string& path, const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);
    return posix_spawn(&pid, path.c_str(), &actions_, &attr_, pointers.data(), environ);
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
};

// Owns the read end of the output pipe and the running program: however the
// reading ends (even by running out of memory), the pipe is closed and the
// program waited for, so no descriptor and no zombie is left behind.
class RunningProgram {
 public:
  RunningProgram(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
  ~RunningProgram() {
    int status;
    Wait(status);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  void ReadOutput(std::string& out) {
    char buffer[64 * 1024];
    for (;;) {
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) {
        if (InterruptRequested()) return EndAfterInterrupt();
        continue;
      }
      if (n <= 0) return;
      // A program that writes without end must not outgrow free memory.
      if (out.capacity() - out.size() < static_cast<std::size_t>(n)) {
        EnsureAvailable(RealSystemCalls(), std::max(out.size() + n, 2 * out.capacity()));
      }
      out.append(buffer, static_cast<std::size_t>(n));
    }
  }

  // Closes the pipe and waits for the program: its wait status, or the error
  // number of a failed wait, which never counts as a status.
  int Wait(int& status) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    int err = 0;
    while (pid_ > 0) {
      if (::waitpid(pid_, &status_, 0) >= 0) break;
      if (errno != EINTR) {
        err = errno;
        break;
      }
      if (InterruptRequested()) EndAfterInterrupt();
    }
    pid_ = -1;
    status = status_;
    return err;
  }

 private:
  // Ctrl-C at the terminal shell: the program had the terminal's SIGINT as
  // well and gets a moment to finish on it; one still running then is killed,
  // so the statement can be abandoned without waiting for it.
  void EndAfterInterrupt() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (interrupted_) return;
    interrupted_ = true;
    for (int tick = 0; tick < 50; ++tick) {
      pid_t done = ::waitpid(pid_, &status_, WNOHANG);
      if (done == pid_ || (done < 0 && errno != EINTR)) {
        pid_ = -1;
        return;
      }
      timespec pause{0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
    ::kill(pid_, SIGKILL);
  }

  pid_t pid_;
  int fd_;
  int status_ = 0;
  bool interrupted_ = false;
};

}  // namespace

int SysRunProgram(const std::string& path, const std::vector<std::string>& argv,
                  SysProgramResult& result) {
  if (HasNul(path)) return EINVAL;
  for (const std::string& arg : argv) {
    if (HasNul(arg)) return EINVAL;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
  SpawnPlan plan;
  pid_t pid = -1;
  RunningProgramScope scope;  // an ending signal reaches the program too
  int err = plan.Prepare(fds[1]);
  if (err == 0) err = plan.Spawn(pid, path, argv);
  ::close(fds[1]);
  if (err != 0) {
    ::close(fds[0]);
    return err;
  }
  scope.Started(pid);
  RunningProgram program(pid, fds[0]);
  program.ReadOutput(result.output);
  result.waitError = program.Wait(result.waitStatus);
  return 0;
}

std::uint64_t SysAvailableMemory() {
  FILE* meminfo = std::fopen("/proc/meminfo", "re");
  if (!meminfo) return 0;
  unsigned long long kib = 0;
  char line[256];
  while (std::fgets(line, sizeof line, meminfo)) {
    if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) break;
  }
  std::fclose(meminfo);
  return static_cast<std::uint64_t>(kib) * 1024;
}

std::uint64_t SysPhysicalMemory() {
  long pages = ::sysconf(_SC_PHYS_PAGES);
  long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

namespace {

SysCalls MakeRealSystemCalls() {
  SysCalls sys;
  sys.open = SysOpen;
  sys.openMayWait = SysOpenMayWait;
  sys.close = SysClose;
  sys.fileSize = SysFileSize;
  sys.readUpTo = SysReadUpTo;
  sys.writeAll = SysWriteAll;
  sys.move = SysMove;
  sys.remove = SysRemove;
  sys.makeDir = SysMakeDir;
  sys.lookPath = SysLookPath;
  sys.runProgram = SysRunProgram;
  sys.openLibrary = [](const std::string& path) {
    return HasNul(path) ? nullptr : OpenSharedLibrary(path.c_str());
  };
  sys.librarySymbol = SharedSymbol;
  sys.closeLibrary = CloseSharedLibrary;
  sys.availableMemory = SysAvailableMemory;
  sys.physicalMemory = SysPhysicalMemory;
  sys.weighAbove = std::uint64_t{64} << 20;
  return sys;
}

}  // namespace

const SysCalls& RealSystemCalls() {
  static const SysCalls sys = MakeRealSystemCalls();
  return sys;
}

}  // namespace zarnith
