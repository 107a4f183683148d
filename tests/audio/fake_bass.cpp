// A stand-in for the audio library, built by the tests as libbass.so. It
// exports the ten functions the bass class calls, appends one line per call
// with its arguments and result to the file named by FAKEBASS_LOG, and
// returns scripted results:
//   FAKEBASS_RESULTS  "BASS_Init=0;BASS_StreamCreateFile=0,7" - each call of
//                     a function takes the next value of its list, and the
//                     last value once the list is used up. Unscripted calls
//                     succeed: 1, or new handles 100, 101, ... for streams,
//                     and code 0 from BASS_ErrorGetCode.
//   FAKEBASS_DEVICES  "No sound|Default|..." - device names by number
//                     (default: the first two); past the end the call fails.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "state/bass_abi.h"

using namespace zarnith::bassabi;

namespace {

std::vector<std::string> Split(const std::string& text, char at) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(at, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

struct Script {
  std::map<std::string, std::vector<long long>> results;
  std::map<std::string, std::size_t> calls;
  std::vector<std::string> devices;
  HSTREAM nextHandle = 100;

  Script() {
    const char* scripted = std::getenv("FAKEBASS_RESULTS");
    for (const std::string& entry : Split(scripted ? scripted : "", ';')) {
      std::size_t eq = entry.find('=');
      if (eq == std::string::npos) continue;
      for (const std::string& v : Split(entry.substr(eq + 1), ',')) {
        results[entry.substr(0, eq)].push_back(std::strtoll(v.c_str(), nullptr, 10));
      }
    }
    const char* names = std::getenv("FAKEBASS_DEVICES");
    devices = Split(names ? names : "No sound|Default", '|');
  }

  // The scripted result of this call of `function`, or `fallback`.
  long long Next(const char* function, long long fallback) {
    auto found = results.find(function);
    std::size_t n = calls[function]++;
    if (found == results.end() || found->second.empty()) return fallback;
    const std::vector<long long>& list = found->second;
    return list[n < list.size() ? n : list.size() - 1];
  }
};

Script& TheScript() {
  static Script* script = new Script;
  return *script;
}

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
  const char* path = std::getenv("FAKEBASS_LOG");
  if (!path) return;
  FILE* log = std::fopen(path, "a");
  if (!log) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(log, format, args);
  va_end(args);
  std::fputc('\n', log);
  std::fclose(log);
}

const char* Ptr(const void* p) { return p ? "ptr" : "null"; }

HSTREAM NextHandle(const char* function) {
  auto handle = static_cast<HSTREAM>(TheScript().Next(function, -1));
  if (handle != static_cast<HSTREAM>(-1)) return handle;
  return TheScript().nextHandle++;
}

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid) {
  auto result = static_cast<BOOL>(TheScript().Next("BASS_Init", 1));
  Log("BASS_Init(%d, %" PRIu32 ", %" PRIu32 ", %s, %s) = %d", device, freq, flags, Ptr(win),
      Ptr(clsid), result);
  return result;
}

FAKE_EXPORT HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                          DWORD flags) {
  HSTREAM handle = NextHandle("BASS_StreamCreateFile");
  Log("BASS_StreamCreateFile(%d, \"%s\", %" PRIu64 ", %" PRIu64 ", %" PRIu32 ") = %" PRIu32, mem,
      static_cast<const char*>(file), offset, length, flags, handle);
  return handle;
}

FAKE_EXPORT HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags,
                                         DOWNLOADPROC* proc, void* user) {
  HSTREAM handle = NextHandle("BASS_StreamCreateURL");
  Log("BASS_StreamCreateURL(\"%s\", %" PRIu32 ", %" PRIu32 ", %s, %s) = %" PRIu32, url, offset,
      flags, Ptr(reinterpret_cast<const void*>(proc)), Ptr(user), handle);
  return handle;
}

#define FAKE_CHANNEL_CALL(name)                                  \
  FAKE_EXPORT BOOL name(DWORD handle) {                          \
    auto result = static_cast<BOOL>(TheScript().Next(#name, 1)); \
    Log(#name "(%" PRIu32 ") = %d", handle, result);             \
    return result;                                               \
  }
FAKE_CHANNEL_CALL(BASS_StreamFree)
FAKE_CHANNEL_CALL(BASS_ChannelPause)
FAKE_CHANNEL_CALL(BASS_ChannelStop)

FAKE_EXPORT BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  auto result = static_cast<BOOL>(TheScript().Next("BASS_ChannelPlay", 1));
  Log("BASS_ChannelPlay(%" PRIu32 ", %d) = %d", handle, restart, result);
  return result;
}

FAKE_EXPORT BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  auto result = static_cast<BOOL>(TheScript().Next("BASS_ChannelSetAttribute", 1));
  // %.9g shows every float exactly enough to tell neighbours apart.
  Log("BASS_ChannelSetAttribute(%" PRIu32 ", %" PRIu32 ", %.9g) = %d", handle, attrib,
      static_cast<double>(value), result);
  return result;
}

FAKE_EXPORT BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  const std::vector<std::string>& names = TheScript().devices;
  BOOL result = static_cast<BOOL>(TheScript().Next("BASS_GetDeviceInfo", 1));
  if (device >= names.size()) result = 0;
  if (result == 1) {
    *info = BASS_DEVICEINFO{names[device].c_str(), "fake", kDeviceEnabled};
  }
  Log("BASS_GetDeviceInfo(%" PRIu32 ", %s) = %d", device, Ptr(info), result);
  return result;
}

FAKE_EXPORT int BASS_ErrorGetCode() {
  auto code = static_cast<int>(TheScript().Next("BASS_ErrorGetCode", 0));
  Log("BASS_ErrorGetCode() = %d", code);
  return code;
}
