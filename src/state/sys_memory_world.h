// The state behind one MemorySystem, shared by its file system
// (sys_memory.cpp) and its audio library (sys_memory_audio.cpp).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "state/sys_memory.h"

namespace zarnith {

struct MemorySystem::World {
  struct Node {
    bool directory = false;
    std::string data;
  };
  using NodePtr = std::shared_ptr<Node>;

  // An open file: it keeps its node even when the path is removed or renamed.
  struct Descriptor {
    NodePtr node;
    std::size_t position = 0;
    bool writable = false;
    bool append = false;
  };

  // What the audio library has done: the device, the error of the last
  // call and each stream it handed out.
  struct Audio {
    bool initialised = false;
    bool sounds = false;  // initialised on a device that plays aloud
    int error = 0;
    std::vector<bool> freed;  // handle h is freed[h - 1]
  };

  MemoryLimits limits;
  std::string noPrograms;
  std::map<std::string, NodePtr, std::less<>> nodes;
  std::vector<Descriptor> descriptors;  // fd 1000 + i; a null node is free
  Audio audio;
  AudioListener audioListener = nullptr;
};

// The audio library's handle for `path` when it names the audio library
// (libbass.so), or null. The library's functions then work on `world`.
void* OpenMemoryAudio(MemorySystem::World& world, const std::string& path);
void* MemoryAudioSymbol(void* handle, const char* name);
// Called when `world` goes away: the library no longer works on it.
void ForgetMemoryAudio(const MemorySystem::World& world);

}  // namespace zarnith
