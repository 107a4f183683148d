// Inputs far from everyday scripts: megabyte lines, millions of lines, and
// the inputs the fuzz targets found troublesome.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "unit/test_interp.h"

namespace zarnith::testing {
namespace {

TEST(Robust, MegabyteLines) {
  TestInterpreter t;
  const std::string text(4 << 20, 'a');
  std::string script = "use, \"strings\"\n";
  script += "x = \"" + text + "\"\n";
  script += "append, x, \"b\"\n";
  script += "strings:index, \"b\", returned\n";
  script += "y = returned\n";
  // Operators, commas and colons by the hundred thousand on one line.
  script += std::string(1 << 20, '+') + "\n";
  for (int i = 0; i < 200000; ++i) script += "1+";
  script += "\n";
  for (int i = 0; i < 200000; ++i) script += "print, a:b";
  script += "\n";
  EXPECT_EQ(t.Run(script), 0);
  ASSERT_NE(t.in.stores.intVars.find("y"), t.in.stores.intVars.end());
  EXPECT_EQ(t.in.stores.intVars.find("y")->second, 4 << 20);
}

TEST(Robust, MillionsOfLinesAndNoFinalLineFeed) {
  TestInterpreter t;
  std::string script = "i = 0\n";
  for (int i = 0; i < 200000; ++i) script += "i = i+1\n#\n\n\tprintc, \"\"\n\r\n";
  script += "use, \"strings\"\nstrings:itoa, i\nprint, returned";
  EXPECT_EQ(t.Run(script), 0);
  EXPECT_EQ(t.out, "200000\n");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// The process's address space now, in bytes.
std::size_t AddressSpaceInUse() {
  std::size_t pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm && std::fscanf(statm, "%zu", &pages) != 1) pages = 0;
  if (statm) std::fclose(statm);
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// A captured output that is full and cannot grow (the fuzz targets capture
// under a small allocation cap, where a fuzz input found this): the "out of
// memory" line is reported without needing memory, text that does not fit is
// dropped as a failed write would be, and the next line runs as usual.
TEST(Robust, CaptureThatCannotGrow) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer needs more address space than the limit";
  EXPECT_EXIT(
      {
        constexpr std::string_view kReport = "error: 1: out of memory\n";
        TestInterpreter t;
        t.in.stores.Add(t.in.stores.stringVars, "x", std::string(std::size_t{40} << 20, 'x'));
        t.out.reserve(std::size_t{32} << 20);
        t.out.assign(t.out.capacity() - kReport.size(), '.');
        // From here on no allocation of 16 MiB or more succeeds.
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + (std::size_t{16} << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
        HandleString(t.in, "append, x, x");  // reported in the last bytes that fit
        HandleString(t.in, "print, x");      // the capture cannot take it
        bool reported = t.out.ends_with(kReport) && t.out.size() == t.out.capacity();
        t.out.clear();
        HandleString(t.in, "print, \"after\"");
        std::_Exit(reported && t.out == "after\n" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// The system promises more memory than it has, so a large allocation succeeds
// and filling it gets the process killed without a word. Large texts and
// arrays are weighed against the free memory the host reports first.
TEST(Robust, LargeAllocationsAreWeighedAgainstFreeMemory) {
  TestInterpreter t;
  t.in.host.sys.availableMemory = [] { return std::uint64_t{96} << 20; };
  char dir[] = "/tmp/zn-robust-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/large.bin";
  int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 128 << 20), 0);  // sparse: takes no room on disk
  close(fd);
  // A 1 MiB text doubled eight times: the step to 128 MiB no longer fits, the
  // later ones neither, and x keeps its 64 MiB.
  std::string script = "x = \"" + std::string(1 << 20, 'a') + "\"\n";
  script +=
      "i = 0\n"
      "append, x, x\n"
      "x = returned\n"
      "i = i+1\n"
      "if i == 8\n"
      "array int big[20000000]\n"
      "else\n"
      "jump, 3\n"
      "end\n"
      "use, \"fs\"\n";
  script += "fs:open, \"" + path + "\"\n";
  script +=
      "fs:read, returned, data\n"
      "print, \"still running\"\n";
  EXPECT_EQ(t.Run(script), 0);
  unlink(path.c_str());
  rmdir(dir);
  EXPECT_EQ(t.out,
            "error: 3: out of memory\n"
            "error: 3: out of memory\n"
            "error: 7: out of memory\n"
            "error: 13: out of memory\n"
            "still running\n");
  EXPECT_EQ(t.in.stores.stringVars.find("x")->second.size(), std::size_t{64} << 20);
  EXPECT_EQ(t.in.stores.intArrays.count("big"), 0u);
  EXPECT_EQ(t.in.stores.stringVars.count("data"), 0u);
}

}  // namespace
}  // namespace zarnith::testing
