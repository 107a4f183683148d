// The bass class: audio playback through the audio library's ten functions.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith {

bool BassClassHandler(Interpreter& in, ArgList args);
// The commands, with the argument counts that the handler checks first.
std::span<const ClassCommand> BassCommands();
bool BassOnClassLoading(Interpreter& in);

// Opens the output device; prints "BASS init error" and returns false when the
// library does not answer exactly 1.
bool bassInitDevice(Interpreter& in, std::int32_t device, std::uint32_t frequency,
                    std::uint32_t flags);

// Creates a stream of kind "file" or "url" from a path whose surrounding
// double quotes are removed; returns its new stream number, or -1 after
// "BASS error: " and the library's code.
std::int64_t bassCreateStreamFile(Interpreter& in, std::string_view kind, std::string_view path,
                                  std::uint64_t offset, std::uint64_t length, std::uint32_t flags);

}  // namespace zarnith
