// An in-memory stand-in for the system under the classes, installed into the
// Host's table of system calls: a small file system, a few programs that print
// their arguments, and an audio library that records its calls. The classes'
// own code runs unchanged on top of it. The fakes also check how they are
// used and abort on misuse that the real system would let pass silently
// (closing a descriptor twice, a handle the audio library never gave out, a
// descriptor still open when the interpreter is gone).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "state/interpreter.h"

namespace zarnith::fuzz {

// Starts a fresh fake world (the same few files every time) and points the
// host's system calls at it. One world at a time: the fuzz targets run one
// input after another on one thread.
void InstallFakeSystem(Host& host);

// Aborts when a descriptor of the fake file system is still open, then
// releases the world, so that nothing of one input is left for the next
// (libFuzzer would take what is left for a leak).
void CloseFakeSystem();

// For the audio library: the text of the file at `path`, or null when the
// fake file system holds no file there.
const std::string* FakeFileData(std::string_view path);

// The fake audio library, valid until the next InstallFakeSystem.
std::shared_ptr<BassLibrary> FakeBassLibrary();

// Forgets the audio library's handles and calls.
void ResetFakeBass();

}  // namespace zarnith::fuzz
