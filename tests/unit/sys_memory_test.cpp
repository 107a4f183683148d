// The in-memory system under the real classes: it must answer as Linux does
// where scripts can tell (the browser's runs are compared with native ones),
// and its limits must hold.
#include <gtest/gtest.h>

#include <string>

#include "state/sys_memory.h"
#include "unit/test_interp.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;

struct MemoryRun {
  MemorySystem system;
  TestInterpreter t;

  explicit MemoryRun(const MemoryLimits& limits = {}, std::string noPrograms = {})
      : system(limits, std::move(noPrograms)) {
    t.in.host.sys = system.Calls();
  }
};

TEST(MemorySystem, PathsEndingInASlashNameFolders) {
  MemoryRun r;
  ASSERT_EQ(r.system.AddFile("f.txt", "one\n"), 0);
  ASSERT_EQ(r.system.AddDirectory("dir"), 0);
  r.t.Run(
      "use, \"fs\"\n"
      "fs:remove, \"f.txt/\"\n"
      "fs:open, \"f.txt/\"\n"
      "fs:open, \"new.txt/\", 1\n"
      "fs:move, \"f.txt/\", \"g.txt\"\n"
      "fs:makedir, \"dir2/\"\n"
      "fs:remove, \"dir/\"\n");
  EXPECT_EQ(r.t.out,
            "error: 2: remove f.txt/: not a directory\n"
            "error: 3: open f.txt/: not a directory\n"
            "error: 4: open new.txt/: is a directory\n"
            "error: 5: rename f.txt/ g.txt: not a directory\n");
  EXPECT_NE(r.system.FileData("f.txt"), nullptr);
  std::vector<std::string> paths;
  for (const auto& e : r.system.Entries()) paths.push_back(e.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"dir2", "f.txt"}));
}

TEST(MemorySystem, LimitsAreParameters) {
  MemoryLimits limits;
  limits.maxOpen = 2;
  limits.maxNodes = 3;
  limits.maxFileSize = 4;
  MemoryRun r(limits);
  r.t.Run(
      "use, \"fs\"\n"
      "fs:open, \"a\", 1\n"
      "fs:write, 1, \"12345\"\n"
      "fs:open, \"b\", 1\n"
      "fs:open, \"a\"\n"
      "fs:close, 1\n"
      "fs:open, \"c\", 1\n"
      "fs:makedir, \"d\"\n");
  EXPECT_EQ(r.t.out,
            "error: 3: write a: no space left on device\n"
            "error: 5: open a: too many open files\n"
            "error: 8: mkdir d: no space left on device\n");
  EXPECT_EQ(*r.system.FileData("a"), "1234");
  EXPECT_EQ(r.system.OpenDescriptors(), 2u);
}

// A folder opens but cannot be read, and an empty file reads as empty, as on Linux.
TEST(MemorySystem, FoldersCannotBeRead) {
  MemoryRun r;
  ASSERT_EQ(r.system.AddDirectory("dir"), 0);
  ASSERT_EQ(r.system.AddFile("empty.txt", ""), 0);
  r.t.Run(
      "use, \"fs\"\n"
      "use, \"strings\"\n"
      "fs:open, \"dir\"\n"
      "fs:read, 1, text\n"
      "strings:itoa, returned\n"
      "print, returned\n"
      "fs:readline, 1, 0\n"
      "print, returned\n"
      "fs:open, \"empty.txt\"\n"
      "fs:read, 2, text\n"
      "strings:itoa, returned\n"
      "print, returned\n");
  EXPECT_EQ(r.t.out,
            "error: 4: read dir: is a directory\n-1\n"
            "error: 7: read dir: is a directory\nnil\n"
            "0\n");
}

TEST(MemorySystem, ProgramsRefusedWithTheGivenReason) {
  MemoryRun r({}, "not here");
  r.t.Run("use, \"os\"\nos:execute, \"echo hi\"\nprint, returned\n");
  EXPECT_EQ(r.t.out, "error: 2: Unable to start echo: not here\nnil\n");
}

TEST(MemorySystem, AudioLibraryIsSilentAndReadsItsFiles) {
  MemoryRun r;
  ASSERT_EQ(r.system.AddFile("tone.wav", "RIFF....WAVEfmt "), 0);
  ASSERT_EQ(r.system.AddFile("text.wav", "not audio"), 0);
  r.t.Run(
      "use, \"bass\"\n"
      "bass:init, -1\n"
      "bass:file, \"tone.wav\"\n"
      "bass:play, 1, 0\n"
      "bass:file, \"text.wav\"\n"
      "bass:test, 0\n"
      "print, returned\n");
  EXPECT_EQ(r.t.out, "error: 5: BASS error: 41\nNo sound\n");
}

// What a listening host hears: the calls on streams of a device that sounds,
// in order, with the file's bytes; nothing when the script chose device 0.
std::string gHeard;

void Hear(const AudioEvent& e) {
  static const char* const kKinds[] = {"file", "play", "pause", "stop", "volume", "free"};
  gHeard.append(kKinds[static_cast<int>(e.kind)]).append(" ").append(std::to_string(e.stream));
  if (e.kind == AudioEvent::Kind::kFile) gHeard.append(" ").append(e.data);
  if (e.kind == AudioEvent::Kind::kPlay) gHeard += e.restart ? " restart" : "";
  if (e.kind == AudioEvent::Kind::kVolume) gHeard.append(" ").append(std::to_string(e.volume));
  gHeard += '\n';
}

TEST(MemorySystem, AListeningHostHearsTheStreamsOfADeviceThatSounds) {
  const char* script =
      "use, \"bass\"\n"
      "bass:init, DEVICE\n"
      "bass:file, \"tone.wav\"\n"
      "bass:play, 1, 1\n"
      "bass:setvolume, 1, 50\n"
      "bass:pause, 1\n"
      "bass:play, 1, 0\n"
      "bass:stop, 1\n"
      "bass:free, 1\n"
      "bass:play, 1, 0\n";
  for (std::string device : {"-1", "0"}) {
    MemoryRun r;
    r.system.ListenToAudio(Hear);
    ASSERT_EQ(r.system.AddFile("tone.wav", "RIFF....WAVEfmt "), 0);
    std::string text = script;
    text.replace(text.find("DEVICE"), 6, device);
    gHeard.clear();
    r.t.Run(text);
    EXPECT_EQ(r.t.out, "error: 10: BASS error: 5\n");
    EXPECT_EQ(gHeard, device == "0" ? ""
                                    : "file 1 RIFF....WAVEfmt \nplay 1 restart\n"
                                      "volume 1 0.500000\npause 1\nplay 1\nstop 1\nfree 1\n");
  }
}

}  // namespace
}  // namespace zarnith
