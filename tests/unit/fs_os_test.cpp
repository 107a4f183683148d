// Failure paths of the fs and os classes that a script cannot reach: broken
// descriptors, partial writes, descriptors left by an old table, names
// holding a NUL byte, and a wait for a program that fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "state/sys_calls.h"
#include "test_interp.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;

std::string ReturnedText(const Interpreter& in) {
  const auto* text = std::get_if<Text>(&in.lastReturned.value);
  return text ? text->str() : "<int>";
}

std::int64_t ReturnedInt(const Interpreter& in) {
  const auto* number = std::get_if<std::int64_t>(&in.lastReturned.value);
  return number ? *number : -999;
}

// An interpreter with the fs class enabled and one injected table entry.
struct FsWithFile : TestInterpreter {
  FsWithFile(std::string path, int fd) {
    Line("use, \"fs\"");
    in.fsFiles.push_back(FsFile{std::move(path), fd, false});
  }
};

TEST(FsFailures, FailedCloseStillReleasesTheHandle) {
  FsWithFile t("bogus", 1 << 20);  // far beyond any open descriptor
  EXPECT_EQ(t.Line("fs:close, 1"), "error: 1: close bogus: bad file descriptor\n");
  EXPECT_EQ(ReturnedInt(t.in), 0);
  EXPECT_EQ(t.Line("fs:close, 1"), "error: 1: close bogus: file already closed\n");
}

TEST(FsFailures, FailedStatusPrintsOnlyTheReason) {
  // A path holding ": " must not bleed into the reason.
  FsWithFile t("odd: name", -1);
  EXPECT_EQ(t.Line("fs:read, 1, text"), "error: 1: bad file descriptor\n");
  EXPECT_EQ(ReturnedInt(t.in), -1);
  EXPECT_EQ(t.Line("fs:readline, 1, 0"), "error: 1: bad file descriptor\n");
  EXPECT_EQ(ReturnedText(t.in), "nil");
}

TEST(FsFailures, WriteFailingAfterPartOfTheTextIsAFailure) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  FsWithFile t("pipe", fds[1]);
  // More than a pipe holds: the first write is partial, the next would block.
  t.in.stores.Add(t.in.stores.stringVars, "big", std::string(4 << 20, 'x'));
  EXPECT_EQ(t.Line("fs:write, 1, big"), "error: 1: write pipe: resource temporarily unavailable\n");
  EXPECT_EQ(ReturnedInt(t.in), -1);
  close(fds[0]);
}

TEST(FsFailures, WriteHandsOverEveryByte) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  FsWithFile t("pipe", fds[1]);
  EXPECT_EQ(t.Line("fs:write, 1, \"a\\nb\""), "");
  EXPECT_EQ(ReturnedInt(t.in), 3);
  char buffer[8] = {};
  EXPECT_EQ(read(fds[0], buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "a\nb");
  close(fds[0]);
}

TEST(FsLoader, ClosesTheFilesOfTheOldTable) {
  TestInterpreter t;
  t.Run("use, \"fs\"\nfs:open, \"/dev/null\"\nfs:open, \"/dev/null\"\nfs:close, 2");
  ASSERT_EQ(t.in.fsFiles.size(), 2u);
  int fd = t.in.fsFiles[0].fd;
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  t.Line("use, \"fs\"");
  EXPECT_TRUE(t.in.fsFiles.empty());
  errno = 0;
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
}

TEST(FsFailures, NamesWithANulByteAreRefused) {
  char dir[] = "/tmp/zn-fs-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string prefix = std::string(dir) + "/f";
  TestInterpreter t;
  t.Line("use, \"fs\"");
  t.in.stores.Add(t.in.stores.stringVars, "p", prefix + std::string("\0x", 2));
  EXPECT_EQ(t.Line("fs:open, p, 1"),
            "error: 1: open " + prefix + std::string("\0x", 2) + ": invalid argument\n");
  EXPECT_EQ(t.Line("fs:makedir, p").find(": invalid argument\n") != std::string::npos, true);
  EXPECT_NE(access(prefix.c_str(), F_OK), 0) << "the name was cut at the NUL byte";
  rmdir(dir);
}

TEST(OsFailures, ArgumentWithANulByteIsRefused) {
  TestInterpreter t;
  t.Line("use, \"os\"");
  t.in.stores.Add(t.in.stores.stringVars, "c", std::string("/bin/echo a\0b", 13));
  EXPECT_EQ(t.Line("os:execute, c"),
            "error: 1: Unable to start /bin/echo: fork/exec /bin/echo: invalid argument\n");
  EXPECT_EQ(ReturnedText(t.in), "nil");
}

// With SIGCHLD ignored the system reaps the program itself and the wait
// fails: that is a failure of execute, never a success with empty output.
TEST(OsFailures, FailedWaitIsAFailure) {
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &previous);
  TestInterpreter t;
  t.Line("use, \"os\"");
  std::string out = t.Line("os:execute, \"/bin/echo hi\"");
  sigaction(SIGCHLD, &previous, nullptr);
  EXPECT_EQ(out, "error: 1: Unable to start /bin/echo: wait: no child processes\n");
  EXPECT_EQ(ReturnedText(t.in), "nil");
}

TEST(SysLookPath, JoinsEntriesAndSkipsWhatCannotRun) {
  EXPECT_EQ(SysLookPath("sh", ""), std::nullopt);
  EXPECT_EQ(SysLookPath("sh", "/nonexistent:/bin"), "/bin/sh");
  EXPECT_EQ(SysLookPath("sh", "/bin//"), "/bin/sh");
  EXPECT_EQ(SysLookPath("passwd", "/etc"), std::nullopt);  // no execute bit
  EXPECT_EQ(SysLookPath("bin", "/"), std::nullopt);        // a directory
  EXPECT_EQ(SysLookPath(std::string("s\0h", 3), "/bin"), std::nullopt);
}

}  // namespace
}  // namespace zarnith
