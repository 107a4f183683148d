// The ten exported functions of the built-in engine, with the audio library's
// names, signatures and conventions: handles are never 0, every call sets the
// thread's error code (0 on success), failures return 0.
#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "classes/audio/engine/engine.h"

namespace zarnith::audio {

namespace {

using namespace bassabi;

thread_local int lastError = kErrorOk;

// The stream of a handle, with what the bus reported folded into its state:
// a stream that ended or failed is stopped. Null after kErrorHandle.
Stream* FindStream(DWORD handle, bool* ended = nullptr) {
  Engine& engine = TheEngine();
  auto found = engine.streams.find(handle);
  if (found == engine.streams.end()) {
    Fail(kErrorHandle);
    return nullptr;
  }
  Stream& stream = *found->second;
  std::lock_guard<std::mutex> lock(stream.mutex);
  if (stream.bus.ended || stream.bus.failed) stream.state = ChannelState::kStopped;
  if (ended) *ended = stream.bus.ended;
  return &stream;
}

bool SetState(Stream& stream, GstState state) {
  return gst_element_set_state(stream.playbin, state) != GST_STATE_CHANGE_FAILURE;
}

// Only http and https are streamed, and only when GStreamer can read them.
bool IsStreamableUrl(const char* url) {
  gchar* protocol = gst_uri_get_protocol(url);
  bool http =
      protocol && (std::strcmp(protocol, "http") == 0 || std::strcmp(protocol, "https") == 0);
  bool readable = http && gst_uri_protocol_is_supported(GST_URI_SRC, protocol);
  g_free(protocol);
  return readable;
}

}  // namespace

Engine& TheEngine() {
  static Engine* engine = new Engine;  // never destroyed, see Engine
  return *engine;
}

int Fail(int code) {
  lastError = code;
  return 0;
}

int Succeed() {
  lastError = kErrorOk;
  return 1;
}

int LastError() { return lastError; }

}  // namespace zarnith::audio

using namespace zarnith::audio;
using namespace zarnith::bassabi;

#define ZARNITH_EXPORT extern "C" __attribute__((visibility("default")))

ZARNITH_EXPORT BOOL BASS_Init(int device, DWORD, DWORD, void*, const void*) {
  return InitDevice(device);
}

ZARNITH_EXPORT HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                             DWORD) {
  if (TheEngine().initialised.empty()) return Fail(kErrorInit);
  // Streams from memory and parts of files are not offered.
  if (mem || offset != 0 || length != 0) return Fail(kErrorNotAvail);
  if (!file) return Fail(kErrorFileOpen);
  const char* path = static_cast<const char*>(file);
  struct stat info;
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return Fail(kErrorFileOpen);
  gchar* uri = gst_filename_to_uri(path, nullptr);
  if (!uri) return Fail(kErrorFileOpen);
  DWORD handle = CreateStream(uri, false);
  g_free(uri);
  return handle;
}

ZARNITH_EXPORT HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD, DOWNLOADPROC*,
                                            void*) {
  if (TheEngine().initialised.empty()) return Fail(kErrorInit);
  if (offset != 0) return Fail(kErrorNotAvail);
  if (!url || !gst_uri_is_valid(url)) return Fail(kErrorIllParam);
  if (!IsStreamableUrl(url)) return Fail(kErrorProtocol);
  return CreateStream(url, true);
}

ZARNITH_EXPORT BOOL BASS_StreamFree(HSTREAM handle) {
  Stream* stream = FindStream(handle);
  if (!stream) return 0;
  DestroyStream(*stream);
  TheEngine().streams.erase(handle);
  return Succeed();
}

ZARNITH_EXPORT BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  bool ended = false;
  Stream* stream = FindStream(handle, &ended);
  if (!stream) return 0;
  if (stream->state == ChannelState::kPlaying && !restart) {
    return Succeed();
  }
  if (restart || ended) {
    // An ended stream stays in the playing state inside GStreamer; going back
    // to the start makes it playable again. The end flag is cleared only after
    // the rewind, so an end reported during it is not lost.
    RewindStream(*stream);
    std::lock_guard<std::mutex> lock(stream->mutex);
    stream->bus.ended = false;
  }
  if (!SetState(*stream, GST_STATE_PLAYING)) return Fail(kErrorStart);
  stream->state = ChannelState::kPlaying;
  return Succeed();
}

ZARNITH_EXPORT BOOL BASS_ChannelPause(DWORD handle) {
  Stream* stream = FindStream(handle);
  if (!stream) return 0;
  if (stream->state == ChannelState::kPaused) return Fail(kErrorAlready);
  if (stream->state != ChannelState::kPlaying) return Fail(kErrorNoPlay);
  if (!SetState(*stream, GST_STATE_PAUSED)) return Fail(kErrorUnknown);
  stream->state = ChannelState::kPaused;
  return Succeed();
}

ZARNITH_EXPORT BOOL BASS_ChannelStop(DWORD handle) {
  Stream* stream = FindStream(handle);
  if (!stream) return 0;
  // The position is kept: playing again without restart goes on from it.
  if (stream->state == ChannelState::kPlaying) SetState(*stream, GST_STATE_PAUSED);
  stream->state = ChannelState::kStopped;
  return Succeed();
}

ZARNITH_EXPORT BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  Stream* stream = FindStream(handle);
  if (!stream) return 0;
  if (attrib != kAttribVolume) return Fail(kErrorIllType);
  if (std::isnan(value) || value < 0) return Fail(kErrorIllParam);
  constexpr double kLoudest = 10.0;  // playbin's own upper limit
  g_object_set(stream->playbin, "volume", std::fmin(static_cast<double>(value), kLoudest), nullptr);
  return Succeed();
}

ZARNITH_EXPORT BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  return DeviceInfo(device, info) ? 1 : 0;
}

ZARNITH_EXPORT int BASS_ErrorGetCode() { return LastError(); }

// Frees every stream, the ones a second `use` put out of the script's reach
// included, and the devices. The class calls it as the program ends, so no
// stream's connection or thread outlives the interpreter.
ZARNITH_EXPORT BOOL BASS_Free() {
  Engine& engine = TheEngine();
  if (engine.initialised.empty()) return Fail(kErrorInit);
  for (auto& entry : engine.streams) DestroyStream(*entry.second);
  engine.streams.clear();
  for (auto& entry : engine.outputs) gst_object_unref(entry.second);
  engine.outputs.clear();
  engine.initialised.clear();
  engine.current = -1;
  return Succeed();
}
