// The built-in audio engine: the audio library's ten functions with the
// library's conventions, on GStreamer's playbin, one pipeline per stream.
// Shared state and the helpers that the engine's files call each other by.
#pragma once

#include <gst/gst.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "state/bass_abi.h"

namespace zarnith::audio {

using bassabi::BOOL;
using bassabi::DWORD;

// What the script sees of a stream's state. An ended or failed stream counts
// as stopped.
enum class ChannelState { kStopped, kPlaying, kPaused };

// Filled by the bus handler on GStreamer's threads, read under `mutex`.
struct BusReport {
  bool asyncDone = false;
  bool ended = false;
  bool failed = false;
  GQuark errorDomain = 0;
  int errorCode = 0;
  std::string errorText;
  std::string missingCaps;  // caps of a missing-plugin message
};

struct Stream {
  GstElement* playbin = nullptr;
  bool isUrl = false;
  ChannelState state = ChannelState::kStopped;
  std::mutex mutex;
  std::condition_variable changed;
  BusReport bus;
};

// The engine's state. Made once and never destroyed: streaming threads may
// still run while the process exits.
struct Engine {
  bool started = false;
  std::set<int> initialised;
  int current = -1;  // the device new streams play on
  std::map<DWORD, std::unique_ptr<Stream>> streams;
  DWORD nextHandle = 0x10001;
  std::set<std::string> texts;        // device names live here for good
  std::map<int, GstDevice*> outputs;  // initialised system outputs (2 and up)
};

Engine& TheEngine();

// Sets the calling thread's error code: Fail returns 0 (the failure
// value of every function), Succeed sets 0 and returns 1.
int Fail(int code);
int Succeed();
int LastError();

// Starts GStreamer once; false when it cannot start or lacks playbin.
bool StartGStreamer();

// Devices (devices.cpp).
int InitDevice(int device);
bool DeviceInfo(DWORD device, bassabi::BASS_DEVICEINFO* info);
GstElement* MakeSink(int device);

// Streams (streams.cpp).
DWORD CreateStream(const std::string& uri, bool isUrl);
// Goes back to the start of the stream; the caller sets the state after.
bool RewindStream(Stream& stream);
void DestroyStream(Stream& stream);

}  // namespace zarnith::audio
