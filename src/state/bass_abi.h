// The C interface of the audio library's ten functions, as the library itself
// declares them: its integer types, its device-information record and the
// signatures. Shared by the class's loader, the built-in engine (which exports
// the same ten functions) and the tests' stand-in library.
#pragma once

#include <cstdint>

namespace zarnith::bassabi {

using BOOL = int;
using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using HSTREAM = DWORD;

// Filled by BASS_GetDeviceInfo; the texts belong to the library.
struct BASS_DEVICEINFO {
  const char* name;
  const char* driver;
  DWORD flags;
};

using DOWNLOADPROC = void(const void* buffer, DWORD length, void* user);

using InitFn = BOOL(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
using StreamCreateFileFn = HSTREAM(BOOL mem, const void* file, QWORD offset, QWORD length,
                                   DWORD flags);
using StreamCreateURLFn = HSTREAM(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                                  void* user);
using StreamFreeFn = BOOL(HSTREAM handle);
using ChannelPlayFn = BOOL(DWORD handle, BOOL restart);
using ChannelPauseFn = BOOL(DWORD handle);
using ChannelStopFn = BOOL(DWORD handle);
using ChannelSetAttributeFn = BOOL(DWORD handle, DWORD attrib, float value);
using GetDeviceInfoFn = BOOL(DWORD device, BASS_DEVICEINFO* info);
using ErrorGetCodeFn = int();
// Releases the device and every stream; called as the program ends.
using FreeFn = BOOL();

// The library's error codes that this program produces itself.
inline constexpr int kErrorOk = 0;
inline constexpr int kErrorMem = 1;
inline constexpr int kErrorFileOpen = 2;
inline constexpr int kErrorDriver = 3;
inline constexpr int kErrorHandle = 5;
inline constexpr int kErrorInit = 8;
inline constexpr int kErrorStart = 9;
inline constexpr int kErrorAlready = 14;
inline constexpr int kErrorNotAudio = 17;
inline constexpr int kErrorIllType = 19;
inline constexpr int kErrorIllParam = 20;
inline constexpr int kErrorDevice = 23;
inline constexpr int kErrorNoPlay = 24;
inline constexpr int kErrorNoNet = 32;
inline constexpr int kErrorNotAvail = 37;
inline constexpr int kErrorTimeout = 40;
inline constexpr int kErrorFileForm = 41;
inline constexpr int kErrorCodec = 44;
inline constexpr int kErrorBusy = 46;
inline constexpr int kErrorProtocol = 48;
inline constexpr int kErrorUnknown = -1;

// The volume attribute of BASS_ChannelSetAttribute.
inline constexpr DWORD kAttribVolume = 2;

// Device-information flags.
inline constexpr DWORD kDeviceEnabled = 1;
inline constexpr DWORD kDeviceDefault = 2;
inline constexpr DWORD kDeviceInit = 4;

}  // namespace zarnith::bassabi
