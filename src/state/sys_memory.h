// The in-memory system: a small file system, a few programs that print their
// arguments, and a silent audio library, behind the same table of calls as the
// real system. The fuzz targets run every class over it, and so does the
// browser build, where there is no other. Its limits are parameters; past
// them a call fails as a full disk or an exhausted table would.
//
// It also checks how it is used and aborts on misuse that the real system
// would let pass silently (closing a descriptor twice, a handle the audio
// library never gave out): such a call is a fault of the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "state/sys_table.h"

namespace zarnith {

struct MemoryLimits {
  std::size_t maxOpen = 32;                // descriptors open at once
  std::size_t maxNodes = 64;               // files and folders
  std::size_t maxFileSize = 256 * 1024;    // bytes in one file
  std::size_t maxAudioStreams = 256;       // streams the audio library hands out
  // What the interpreter's allocations are weighed against: a small figure
  // keeps every text and array small (the fuzz targets' default).
  std::uint64_t availableMemory = 4 * 1024;
  std::uint64_t physicalMemory = std::uint64_t{1} << 30;
  std::uint64_t weighAbove = 1024;
};

// What a script asked the audio library to do with a stream, for a host
// that plays the sound for real (the browser page). Only for a device that
// sounds: bass:init with device 0 plays silently.
struct AudioEvent {
  enum class Kind { kFile, kPlay, kPause, kStop, kVolume, kFree };
  Kind kind = Kind::kFile;
  unsigned stream = 0;
  bool restart = false;   // kPlay: from the beginning
  float volume = 1.0f;    // kVolume: 0 to 1
  std::string_view data = {};  // kFile: the bytes of the file the stream plays
};
using AudioListener = void (*)(const AudioEvent& event);

class MemorySystem {
 public:
  // With `noPrograms` empty, the programs echo, true, false, cat, yes and
  // crash can be run from /bin; otherwise no program can, and that text is
  // the reason os:execute gives.
  explicit MemorySystem(const MemoryLimits& limits = {}, std::string noPrograms = {});
  ~MemorySystem();
  MemorySystem(const MemorySystem&) = delete;
  MemorySystem& operator=(const MemorySystem&) = delete;

  // The table of calls over this system; it must not outlive the system.
  SysCalls Calls();

  // Adds a file (replacing one at the same path) or a folder, as a script's
  // fs:open and fs:makedir would, so limits and missing parents apply.
  // Returns the error number, 0 on success.
  int AddFile(std::string_view path, std::string_view data);
  int AddDirectory(std::string_view path);

  struct Entry {
    std::string path;
    bool directory = false;
    std::string_view data;  // valid until the system changes
  };
  // Every file and folder, in the order of their paths.
  std::vector<Entry> Entries() const;

  // The text of the file at `path`, or null when no file is there.
  const std::string* FileData(std::string_view path) const;

  // Descriptors opened and not yet closed.
  std::size_t OpenDescriptors() const;

  // Tells `listener` of each stream made from a file and each call on it.
  void ListenToAudio(AudioListener listener);

  struct World;

 private:
  std::unique_ptr<World> world_;
};

}  // namespace zarnith
