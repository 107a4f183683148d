// Loading the audio library: the system's libbass.so by its plain name, or the
// built-in engine module that exports the same ten functions. This file is the
// only part of the class that loads libraries, always through the Host's
// system calls, so an in-memory system can answer with an audio library of
// its own.
#include "classes/audio/bass_library.h"

#include <unistd.h>

#include <climits>
#include <string>

namespace zarnith {

namespace {

using namespace bassabi;

template <typename Fn>
bool bassBind(const SysCalls& sys, void* handle, const char* name, Fn*& slot) {
  slot = reinterpret_cast<Fn*>(sys.librarySymbol(handle, name));
  return slot != nullptr;
}

// Binds all ten names; a library missing any of them is not used.
bool bassBindAll(const SysCalls& sys, void* handle, BassLibrary& lib) {
  return bassBind(sys, handle, "BASS_Init", lib.Init) &&
         bassBind(sys, handle, "BASS_StreamCreateFile", lib.StreamCreateFile) &&
         bassBind(sys, handle, "BASS_StreamCreateURL", lib.StreamCreateURL) &&
         bassBind(sys, handle, "BASS_StreamFree", lib.StreamFree) &&
         bassBind(sys, handle, "BASS_ChannelPlay", lib.ChannelPlay) &&
         bassBind(sys, handle, "BASS_ChannelPause", lib.ChannelPause) &&
         bassBind(sys, handle, "BASS_ChannelStop", lib.ChannelStop) &&
         bassBind(sys, handle, "BASS_ChannelSetAttribute", lib.ChannelSetAttribute) &&
         bassBind(sys, handle, "BASS_GetDeviceInfo", lib.GetDeviceInfo) &&
         bassBind(sys, handle, "BASS_ErrorGetCode", lib.ErrorGetCode);
}

// Opens a shared object and binds the ten functions, and BASS_Free when the
// library has it. A library stays loaded for the life of the process.
bool bassOpen(const SysCalls& sys, const std::string& path, BassLibrary& lib, FreeFn*& free) {
  void* handle = sys.openLibrary(path);
  if (!handle) return false;
  if (bassBindAll(sys, handle, lib)) {
    bassBind(sys, handle, "BASS_Free", free);
    return true;
  }
  sys.closeLibrary(handle);
  return false;
}

// The table, released with the interpreter: BASS_Free then stops and frees
// every stream, so none outlives the program however the script ends.
std::shared_ptr<BassLibrary> bassFreedAtEnd(const BassLibrary& lib, FreeFn* free) {
  return std::shared_ptr<BassLibrary>(new BassLibrary(lib), [free](BassLibrary* table) {
    if (free) free();
    delete table;
  });
}

std::string bassExecutableDir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string exe(path, static_cast<std::size_t>(n));
  return exe.substr(0, exe.rfind('/'));
}

// The stand-in when no library can be loaded: the device cannot be opened,
// and every stream call fails as it would before initialisation.
thread_local int bassMissingError = kErrorOk;

BOOL bassMissingInit(int, DWORD, DWORD, void*, const void*) {
  bassMissingError = kErrorDriver;
  return 0;
}
HSTREAM bassMissingCreateFile(BOOL, const void*, QWORD, QWORD, DWORD) {
  bassMissingError = kErrorInit;
  return 0;
}
HSTREAM bassMissingCreateURL(const char*, DWORD, DWORD, DOWNLOADPROC*, void*) {
  bassMissingError = kErrorInit;
  return 0;
}
BOOL bassMissingChannel(DWORD) {
  bassMissingError = kErrorHandle;
  return 0;
}
BOOL bassMissingPlay(DWORD, BOOL) { return bassMissingChannel(0); }
BOOL bassMissingSetAttribute(DWORD, DWORD, float) { return bassMissingChannel(0); }
BOOL bassMissingDeviceInfo(DWORD, BASS_DEVICEINFO*) {
  bassMissingError = kErrorDevice;
  return 0;
}
int bassMissingErrorGetCode() { return bassMissingError; }

constexpr BassLibrary kMissingLibrary{
    bassMissingInit,       bassMissingCreateFile,   bassMissingCreateURL, bassMissingChannel,
    bassMissingPlay,       bassMissingChannel,      bassMissingChannel,   bassMissingSetAttribute,
    bassMissingDeviceInfo, bassMissingErrorGetCode,
};

}  // namespace

std::shared_ptr<BassLibrary> bassLoadLibrary(const SysCalls& sys) {
  BassLibrary lib{};
  FreeFn* free = nullptr;
  if (bassOpen(sys, "libbass.so", lib, free)) return bassFreedAtEnd(lib, free);
  std::string dir = bassExecutableDir();
  if (!dir.empty()) {
    if (bassOpen(sys, dir + "/" + kBassEngineModule, lib, free)) return bassFreedAtEnd(lib, free);
    if (bassOpen(sys, dir + "/../lib/zarnith/" + kBassEngineModule, lib, free)) {
      return bassFreedAtEnd(lib, free);
    }
  }
  return std::make_shared<BassLibrary>(kMissingLibrary);
}

}  // namespace zarnith
