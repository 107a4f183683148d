// The in-memory system's audio library: the ten functions, silent, over a
// record of the device and of every stream handed out. A host that can make
// sound (the browser page) listens to the calls on streams and plays them. A stream is made from
// a file of the in-memory file system that starts like a WAVE file, or from
// an http(s) URL. Calls that break the library's contract (a handle it never
// gave out, a volume outside 0 to 1) abort: the class must never make them.
//
// The functions are plain C functions, as the real library's are, so they
// find the system that opened them through one pointer: like the real
// library, there is one audio library per thread.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "state/bass_abi.h"
#include "state/sys_memory_world.h"

namespace zarnith {

namespace {

using namespace bassabi;

thread_local MemorySystem::World* tAudioWorld = nullptr;

MemorySystem::World::Audio& Record() {
  if (!tAudioWorld) {
    std::fprintf(stderr, "in-memory audio library used after its system went away\n");
    std::abort();
  }
  return tAudioWorld->audio;
}

[[noreturn]] void Misuse(const char* what, DWORD handle) {
  std::fprintf(stderr, "in-memory audio library misused: %s (handle %u)\n", what, handle);
  std::abort();
}

BOOL Fail(int code) {
  Record().error = code;
  return 0;
}

BOOL Succeed() {
  Record().error = kErrorOk;
  return 1;
}

// Passes a call on a stream to the host that plays the sound, if any.
void Tell(AudioEvent event) {
  if (tAudioWorld->audioListener && Record().sounds) tAudioWorld->audioListener(event);
}

HSTREAM NewStream() {
  auto& freed = Record().freed;
  if (freed.size() >= tAudioWorld->limits.maxAudioStreams) return Fail(kErrorMem);
  freed.push_back(false);
  Succeed();
  return static_cast<HSTREAM>(freed.size());
}

// A handle the library gave out and has not freed; a released one fails.
bool Live(DWORD handle, const char* call) {
  auto& freed = Record().freed;
  if (handle == 0 || handle > freed.size()) Misuse(call, handle);
  if (freed[handle - 1]) return Fail(kErrorHandle);
  return true;
}

BOOL Init(int device, DWORD freq, DWORD, void* window, const void* id) {
  if (freq != 44100 || window || id) Misuse("init arguments", 0);
  if (device < -1 || device > 1) return Fail(kErrorDevice);
  if (Record().initialised) return Fail(kErrorAlready);
  Record().initialised = true;
  Record().sounds = device != 0;  // device 0 is "No sound"
  return Succeed();
}

HSTREAM CreateFile(BOOL memory, const void* file, QWORD, QWORD, DWORD) {
  if (memory || !file) Misuse("file stream arguments", 0);
  if (!Record().initialised) return Fail(kErrorInit);
  std::string_view path = static_cast<const char*>(file);
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  auto it = tAudioWorld->nodes.find(path);
  if (it == tAudioWorld->nodes.end() || it->second->directory) return Fail(kErrorFileOpen);
  if (std::string_view(it->second->data).substr(0, 4) != "RIFF") return Fail(kErrorFileForm);
  HSTREAM stream = NewStream();
  if (stream) Tell({.kind = AudioEvent::Kind::kFile, .stream = stream, .data = it->second->data});
  return stream;
}

HSTREAM CreateURL(const char* url, DWORD, DWORD, DOWNLOADPROC* proc, void* user) {
  if (!url || proc || user) Misuse("url stream arguments", 0);
  if (!Record().initialised) return Fail(kErrorInit);
  std::string_view text(url);
  if (text.substr(0, 7) != "http://" && text.substr(0, 8) != "https://") {
    return Fail(kErrorFileOpen);
  }
  return NewStream();
}

BOOL StreamFree(HSTREAM handle) {
  if (!Live(handle, "free")) return 0;
  Record().freed[handle - 1] = true;
  Tell({.kind = AudioEvent::Kind::kFree, .stream = handle});
  return Succeed();
}

BOOL Channel(DWORD handle) { return Live(handle, "channel call") ? Succeed() : 0; }

BOOL Play(DWORD handle, BOOL restart) {
  if (!Channel(handle)) return 0;
  Tell({.kind = AudioEvent::Kind::kPlay, .stream = handle, .restart = restart != 0});
  return 1;
}

BOOL Pause(DWORD handle) {
  if (!Channel(handle)) return 0;
  Tell({.kind = AudioEvent::Kind::kPause, .stream = handle});
  return 1;
}

BOOL Stop(DWORD handle) {
  if (!Channel(handle)) return 0;
  Tell({.kind = AudioEvent::Kind::kStop, .stream = handle});
  return 1;
}

BOOL SetAttribute(DWORD handle, DWORD attribute, float value) {
  if (attribute != kAttribVolume || !(value >= 0.0f && value <= 1.0f)) {
    Misuse("volume", handle);
  }
  if (!Channel(handle)) return 0;
  Tell({.kind = AudioEvent::Kind::kVolume, .stream = handle, .volume = value});
  return 1;
}

BOOL DeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  if (!info) Misuse("device info record", 0);
  static const char* const kNames[] = {"No sound", "\"Silent\" speakers", nullptr};
  if (device > 2) return Fail(kErrorDevice);
  info->name = kNames[device];
  info->driver = nullptr;
  info->flags = 0;
  return Succeed();
}

int ErrorGetCode() { return Record().error; }

struct Symbol {
  const char* name;
  void* address;
};

// The library's names; a function's address travels as the loader's does.
const Symbol kSymbols[] = {
    {"BASS_Init", reinterpret_cast<void*>(Init)},
    {"BASS_StreamCreateFile", reinterpret_cast<void*>(CreateFile)},
    {"BASS_StreamCreateURL", reinterpret_cast<void*>(CreateURL)},
    {"BASS_StreamFree", reinterpret_cast<void*>(StreamFree)},
    {"BASS_ChannelPlay", reinterpret_cast<void*>(Play)},
    {"BASS_ChannelPause", reinterpret_cast<void*>(Pause)},
    {"BASS_ChannelStop", reinterpret_cast<void*>(Stop)},
    {"BASS_ChannelSetAttribute", reinterpret_cast<void*>(SetAttribute)},
    {"BASS_GetDeviceInfo", reinterpret_cast<void*>(DeviceInfo)},
    {"BASS_ErrorGetCode", reinterpret_cast<void*>(ErrorGetCode)},
};

}  // namespace

void* OpenMemoryAudio(MemorySystem::World& world, const std::string& path) {
  if (path != "libbass.so") return nullptr;
  tAudioWorld = &world;
  world.audio = {};
  return const_cast<Symbol*>(kSymbols);
}

void* MemoryAudioSymbol(void* handle, const char* name) {
  if (handle != kSymbols) return nullptr;
  for (const Symbol& symbol : kSymbols) {
    if (std::strcmp(symbol.name, name) == 0) return symbol.address;
  }
  return nullptr;
}

void ForgetMemoryAudio(const MemorySystem::World& world) {
  if (tAudioWorld == &world) tAudioWorld = nullptr;
}

}  // namespace zarnith
