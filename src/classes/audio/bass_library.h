// The table of the audio library's ten functions that the bass class calls,
// and the loader that fills it once, on the class's first need.
#pragma once

#include <memory>

#include "state/bass_abi.h"
#include "state/sys_table.h"

namespace zarnith {

struct BassLibrary {
  bassabi::InitFn* Init;
  bassabi::StreamCreateFileFn* StreamCreateFile;
  bassabi::StreamCreateURLFn* StreamCreateURL;
  bassabi::StreamFreeFn* StreamFree;
  bassabi::ChannelPlayFn* ChannelPlay;
  bassabi::ChannelPauseFn* ChannelPause;
  bassabi::ChannelStopFn* ChannelStop;
  bassabi::ChannelSetAttributeFn* ChannelSetAttribute;
  bassabi::GetDeviceInfoFn* GetDeviceInfo;
  bassabi::ErrorGetCodeFn* ErrorGetCode;
};

// The file name of the built-in engine module, looked for beside the
// executable and then in ../lib/zarnith/ from the executable's folder.
inline constexpr const char* kBassEngineModule = "zarnith-audio.so";

// Fills the table from the system's libbass.so when the dynamic loader finds
// one, otherwise from the built-in engine module. When neither can be loaded
// (the module is missing, or GStreamer is not installed) every function fails
// with an error code, so scripts still run and see ordinary failures.
// Libraries are opened through `sys`.
std::shared_ptr<BassLibrary> bassLoadLibrary(const SysCalls& sys);

}  // namespace zarnith
