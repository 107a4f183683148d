// The bass class: audio playback through the audio library's ten functions.
// Scripts see small stream numbers; the stream table maps them to the
// library's handles. Every library result is checked and a failure is
// reported with the library's error code.
#include "classes/audio/bass.h"

#include <array>
#include <optional>
#include <string>

#include "classes/args.h"
#include "classes/audio/bass_library.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

using bassabi::BOOL;
using bassabi::DWORD;

// The library, loaded on first need. Output is flushed first: a library call
// may block for a while, and what the script printed must show before it.
BassLibrary& bassLibrary(Interpreter& in) {
  in.host.out.Flush();
  if (!in.bassLibrary) in.bassLibrary = bassLoadLibrary(in.host.sys);
  return *in.bassLibrary;
}

// "BASS error: " and the library's code for the call that just failed.
void bassReportErrorCode(Interpreter& in) {
  std::string code = IntToText(bassLibrary(in).ErrorGetCode());
  PrintError(in, msg::kBassErrorCode, code);
}

// The library handle of a stream argument (an int already checked), or
// nothing after "This object is not a bass_stream object".
std::optional<DWORD> bassFindStream(Interpreter& in, std::string_view token) {
  std::int64_t number = ArgInt(in, token);
  if (number < 1 || static_cast<std::uint64_t>(number) > in.bassStreams.size()) {
    PrintError(in, msg::kBassNotStream);
    return std::nullopt;
  }
  return in.bassStreams[static_cast<std::size_t>(number - 1)];
}

// The checks of free, pause and stop once the command table has counted the
// arguments: one int argument naming a stream.
std::optional<DWORD> bassStreamArgument(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kInt, msg::kBassFirstNotInt)) return std::nullopt;
  return bassFindStream(in, args[1]);
}

// Hands back 1 on success; otherwise 0 first, then the error code.
void bassChannelResult(Interpreter& in, BOOL result) {
  if (result == 1) {
    SetReturned(in, std::int64_t{1});
    return;
  }
  SetReturned(in, std::int64_t{0});
  bassReportErrorCode(in);
}

// file and url: one string argument, the path or URL.
void bassOpenStream(Interpreter& in, ArgList args, std::string_view kind) {
  if (!ArgType(in, args, 1, type::kString, msg::kBassFirstNotString)) return;
  SetReturned(in, bassCreateStreamFile(in, kind, ArgText(in, args[1]), 0, 0, 0));
}

bool bassUrl(Interpreter& in, ArgList args) {
  bassOpenStream(in, args, "url");
  return true;
}

bool bassFile(Interpreter& in, ArgList args) {
  bassOpenStream(in, args, "file");
  return true;
}

// free, pause and stop: one stream argument and one call on its handle. After
// free the entry stays: the number keeps naming the released handle.
bool bassStreamCall(Interpreter& in, ArgList args, bassabi::ChannelStopFn* BassLibrary::*call) {
  std::optional<DWORD> handle = bassStreamArgument(in, args);
  if (!handle) return true;
  BassLibrary& library = bassLibrary(in);
  bassChannelResult(in, (library.*call)(*handle));
  return true;
}

bool bassFree(Interpreter& in, ArgList args) {
  return bassStreamCall(in, args, &BassLibrary::StreamFree);
}

bool bassInit(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kInt, msg::kBassFirstNotInt)) return true;
  auto device = static_cast<std::int32_t>(ArgInt(in, args[1]));
  SetReturned(in, std::int64_t{bassInitDevice(in, device, 44100, 0) ? 1 : 0});
  return true;
}

// A device name wrapped in double quotes unless it is empty or already
// begins or ends with one.
std::string bassQuotedName(const char* name) {
  std::string text = name ? name : "";
  if (text.empty() || text.front() == '"' || text.back() == '"') return text;
  return '"' + text + '"';
}

bool bassTest(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kInt, msg::kBassFirstNotInt)) return true;
  auto device = static_cast<DWORD>(ArgInt(in, args[1]));
  bassabi::BASS_DEVICEINFO info{};
  if (bassLibrary(in).GetDeviceInfo(device, &info) != 1) {
    PrintError(in, msg::kBassError);
    SetReturned(in, std::string("nil"));
    return true;
  }
  SetReturned(in, bassQuotedName(info.name));
  return true;
}

bool bassPause(Interpreter& in, ArgList args) {
  return bassStreamCall(in, args, &BassLibrary::ChannelPause);
}

bool bassStop(Interpreter& in, ArgList args) {
  return bassStreamCall(in, args, &BassLibrary::ChannelStop);
}

bool bassPlay(Interpreter& in, ArgList args) {
  if (!ArgTypes(in, args, {1, 2}, type::kInt, msg::kBassOneNotInt)) return true;
  std::optional<DWORD> handle = bassFindStream(in, args[1]);
  if (!handle) return true;
  // The second value is cut to its low 32 bits, as the library takes it.
  auto restart = static_cast<BOOL>(ArgInt(in, args[2]));
  bassChannelResult(in, bassLibrary(in).ChannelPlay(*handle, restart));
  return true;
}

bool bassSetVolume(Interpreter& in, ArgList args) {
  if (!ArgTypes(in, args, {1, 2}, type::kInt, msg::kBassOneNotInt)) return true;
  std::optional<DWORD> handle = bassFindStream(in, args[1]);
  if (!handle) return true;
  std::int64_t volume = ArgInt(in, args[2]);
  if (volume < 0 || volume > 100) {
    PrintError(in, msg::kBassVolumeRange);
    return true;
  }
  float level = static_cast<float>(volume) / 100.0f;
  if (bassLibrary(in).ChannelSetAttribute(*handle, bassabi::kAttribVolume, level) != 1) {
    bassReportErrorCode(in);
    SetReturned(in, std::int64_t{-1});
    return true;
  }
  SetReturned(in, volume);
  return true;
}

// Each command with the argument count it needs and what a shorter call prints.
constexpr std::array<ClassCommand, 9> kBassCommands{{
    {"url", bassUrl, 2, msg::kMissedStringArgument},
    {"file", bassFile, 2, msg::kMissedStringArgument},
    {"free", bassFree, 2, msg::kMissedFewArgument},
    {"init", bassInit, 2, msg::kMissedIntArgument},
    {"test", bassTest, 2, msg::kMissedIntArgument},
    {"pause", bassPause, 2, msg::kMissedFewArgument},
    {"stop", bassStop, 2, msg::kMissedFewArgument},
    {"play", bassPlay, 3, msg::kMissedFewArgument},
    {"setvolume", bassSetVolume, 3, msg::kMissedIntArgument},
}};

}  // namespace

bool bassInitDevice(Interpreter& in, std::int32_t device, std::uint32_t frequency,
                    std::uint32_t flags) {
  if (bassLibrary(in).Init(device, frequency, flags, nullptr, nullptr) == 1) return true;
  PrintError(in, msg::kBassInitError);
  return false;
}

std::int64_t bassCreateStreamFile(Interpreter& in, std::string_view kind, std::string_view path,
                                  std::uint64_t offset, std::uint64_t length, std::uint32_t flags) {
  const std::string text(StringToText(path));  // NUL-terminated for the library
  // A NUL byte inside would cut the text short and name another file or
  // address, so such a text names none: it fails as a file that cannot be
  // opened fails in the library.
  if (text.find('\0') != std::string::npos) {
    PrintError(in, msg::kBassErrorCode, IntToText(bassabi::kErrorFileOpen));
    return -1;
  }
  DWORD handle = 0;
  if (kind == "file") {
    handle = bassLibrary(in).StreamCreateFile(0, text.c_str(), offset, length, flags);
  } else if (kind == "url") {
    handle = bassLibrary(in).StreamCreateURL(text.c_str(), static_cast<DWORD>(offset), flags,
                                             nullptr, nullptr);
  }
  if (handle == 0) {
    bassReportErrorCode(in);
    return -1;
  }
  in.bassStreams.push_back(handle);
  return static_cast<std::int64_t>(in.bassStreams.size());
}

bool BassOnClassLoading(Interpreter& in) {
  // A new, empty table: the old streams stay in the library, out of reach.
  in.bassStreams.clear();
  return true;
}

std::span<const ClassCommand> BassCommands() { return kBassCommands; }

bool BassClassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kBassCommands, true);
}

}  // namespace zarnith
