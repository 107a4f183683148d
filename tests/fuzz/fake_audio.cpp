// The fake audio library: the ten functions over a record of the device and
// of every stream it handed out. A stream is made from a file of the fake
// file system that starts like a WAVE file, or from an http(s) URL. Calls that
// break the library's contract (a handle it never gave out, a volume outside
// 0 to 1) abort: the class must never make them.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "classes/audio/bass_library.h"
#include "fake_system.h"

namespace zarnith::fuzz {

namespace {

using namespace bassabi;

constexpr std::size_t kMaxStreams = 256;

struct Record {
  bool initialised = false;
  int error = kErrorOk;
  std::vector<bool> freed;  // handle h is freed[h - 1]
};

Record record;

[[noreturn]] void Misuse(const char* what, DWORD handle) {
  std::fprintf(stderr, "fake audio library misused: %s (handle %u)\n", what, handle);
  std::abort();
}

BOOL Fail(int code) {
  record.error = code;
  return 0;
}

BOOL Succeed() {
  record.error = kErrorOk;
  return 1;
}

HSTREAM NewStream() {
  if (record.freed.size() >= kMaxStreams) return Fail(kErrorMem);
  record.freed.push_back(false);
  Succeed();
  return static_cast<HSTREAM>(record.freed.size());
}

// A handle the library gave out and has not freed; a released one fails.
bool Live(DWORD handle, const char* call) {
  if (handle == 0 || handle > record.freed.size()) Misuse(call, handle);
  if (record.freed[handle - 1]) return Fail(kErrorHandle);
  return true;
}

BOOL Init(int device, DWORD freq, DWORD, void* window, const void* id) {
  if (freq != 44100 || window || id) Misuse("init arguments", 0);
  if (device < -1 || device > 1) return Fail(kErrorDevice);
  if (record.initialised) return Fail(kErrorAlready);
  record.initialised = true;
  return Succeed();
}

HSTREAM CreateFile(BOOL memory, const void* file, QWORD, QWORD, DWORD) {
  if (memory || !file) Misuse("file stream arguments", 0);
  if (!record.initialised) return Fail(kErrorInit);
  const std::string* data = FakeFileData(static_cast<const char*>(file));
  if (!data) return Fail(kErrorFileOpen);
  if (std::string_view(*data).substr(0, 4) != "RIFF") return Fail(kErrorFileForm);
  return NewStream();
}

HSTREAM CreateURL(const char* url, DWORD, DWORD, DOWNLOADPROC* proc, void* user) {
  if (!url || proc || user) Misuse("url stream arguments", 0);
  if (!record.initialised) return Fail(kErrorInit);
  std::string_view text(url);
  if (text.substr(0, 7) != "http://" && text.substr(0, 8) != "https://") {
    return Fail(kErrorFileOpen);
  }
  return NewStream();
}

BOOL StreamFree(HSTREAM handle) {
  if (!Live(handle, "free")) return 0;
  record.freed[handle - 1] = true;
  return Succeed();
}

BOOL Channel(DWORD handle) { return Live(handle, "channel call") ? Succeed() : 0; }
BOOL Play(DWORD handle, BOOL) { return Channel(handle); }

BOOL SetAttribute(DWORD handle, DWORD attribute, float value) {
  if (attribute != kAttribVolume || !(value >= 0.0f && value <= 1.0f)) {
    Misuse("volume", handle);
  }
  return Channel(handle);
}

BOOL DeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  if (!info) Misuse("device info record", 0);
  static const char* const kNames[] = {"No sound", "\"Fake\" speakers", nullptr};
  if (device > 2) return Fail(kErrorDevice);
  info->name = kNames[device];
  info->driver = nullptr;
  info->flags = 0;
  return Succeed();
}

int ErrorGetCode() { return record.error; }

}  // namespace

std::shared_ptr<BassLibrary> FakeBassLibrary() {
  return std::make_shared<BassLibrary>(BassLibrary{Init, CreateFile, CreateURL, StreamFree, Play,
                                                   Channel, Channel, SetAttribute, DeviceInfo,
                                                   ErrorGetCode});
}

void ResetFakeBass() { record = Record{}; }

}  // namespace zarnith::fuzz
