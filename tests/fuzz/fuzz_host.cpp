// The fuzzing interpreter and the stand-ins for the classes that reach the
// outside world. Each stand-in makes the checks of the real class in the same
// order with the same messages, then hands back a plausible result.
#include "fuzz_host.h"

#include <array>

#include "classes/args.h"
#include "classes/registry.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/types.h"

namespace zarnith::fuzz {

namespace {

constexpr std::int64_t kStepLimit = 10000;

// fs: the table holds paths only; a file's text is its own path.

FsFile* fakeFsLookup(Interpreter& in, std::string_view token) {
  std::int64_t handle = ArgInt(in, token);
  if (handle < 1 || static_cast<std::uint64_t>(handle) > in.fsFiles.size()) {
    PrintError(in, msg::kFileNotExists);
    return nullptr;
  }
  return &in.fsFiles[static_cast<std::size_t>(handle - 1)];
}

bool fakeFsAdd(Interpreter& in, std::string path) {
  if (path.empty()) {
    PrintError(in, "open : no such file or directory");
    SetReturned(in, std::int64_t{-1});
    return false;
  }
  in.fsFiles.push_back(FsFile{std::move(path), -1, false});
  SetReturned(in, static_cast<std::int64_t>(in.fsFiles.size()));
  return true;
}

bool fakeFsOpen(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedFewArguments)) return true;
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  if (args.size() > 2 && GetTypeEx(in, args[2]) != type::kInt) {
    PrintError(in, msg::kSecondNotInt);
    return true;
  }
  return fakeFsAdd(in, ArgText(in, args[1]));
}

bool fakeFsCreate(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedFewArguments)) return true;
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  return fakeFsAdd(in, ArgText(in, args[1]));
}

bool fakeFsClose(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedFewArguments)) return true;
  if (!ArgType(in, args, 1, type::kInt, msg::kFirstNotInt)) return true;
  FsFile* file = fakeFsLookup(in, args[1]);
  if (!file) return true;
  SetReturned(in, std::int64_t{file->closed ? 0 : 1});
  if (file->closed) PrintError(in, "close " + file->path + ": file already closed");
  file->closed = true;
  return true;
}

// read and readline: the handle's text, or nothing when it is closed.
const std::string* fakeFsText(Interpreter& in, ArgList args, bool wantsName) {
  if (!ArgCount(in, args, 3, msg::kMissedFewArguments)) return nullptr;
  bool secondOk = wantsName ? IsBareName(args[2]) : GetTypeEx(in, args[2]) == type::kInt;
  if (GetTypeEx(in, args[1]) != type::kInt || !secondOk) {
    PrintError(in, msg::kOneNotString);
    return nullptr;
  }
  FsFile* file = fakeFsLookup(in, args[1]);
  if (!file) return nullptr;
  if (file->closed) PrintError(in, msg::kUseOfClosedFile);
  return &file->path;
}

bool fakeFsRead(Interpreter& in, ArgList args) {
  const std::string* text = fakeFsText(in, args, true);
  if (!text) return true;
  SetReturned(in, static_cast<std::int64_t>(text->size()));
  StoreIn(in.stores.stringVars, args[2], std::string(*text));
  return true;
}

bool fakeFsReadline(Interpreter& in, ArgList args) {
  const std::string* text = fakeFsText(in, args, false);
  if (!text) return true;
  std::int64_t index = ArgInt(in, args[2]);
  std::string_view rest = *text;
  for (std::int64_t i = 0; i < index && rest.find('\n') != std::string_view::npos; ++i) {
    rest.remove_prefix(rest.find('\n') + 1);
  }
  if (index < 0 || index > 8) {
    PrintError(in, msg::kBadLine);
    SetReturned(in, std::string("nil"));
    return true;
  }
  SetReturned(in, std::string(rest.substr(0, rest.find('\n'))));
  return true;
}

bool fakeFsWrite(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 3, msg::kMissedFewArguments)) return true;
  if (GetTypeEx(in, args[1]) != type::kInt || GetTypeEx(in, args[2]) != type::kString) {
    PrintError(in, msg::kOneNotString);
    return true;
  }
  FsFile* file = fakeFsLookup(in, args[1]);
  if (!file) return true;
  SetReturned(in, static_cast<std::int64_t>(ArgText(in, args[2]).size()));
  return true;
}

bool fakeFsMove(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 3, msg::kMissedFewArgument)) return true;
  if (!ArgTypes(in, args, {1, 2}, type::kString, msg::kOneNotString)) return true;
  SetReturned(in, std::int64_t{ArgText(in, args[1]) != ArgText(in, args[2])});
  return true;
}

bool fakeFsPath(Interpreter& in, ArgList args, std::string_view countMessage) {
  if (!ArgCount(in, args, 2, countMessage)) return true;
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  SetReturned(in, std::int64_t{!ArgText(in, args[1]).empty()});
  return true;
}

bool fakeFsRemove(Interpreter& in, ArgList args) {
  return fakeFsPath(in, args, msg::kMissedFewArgument);
}
bool fakeFsMakedir(Interpreter& in, ArgList args) {
  return fakeFsPath(in, args, msg::kMissedFewArguments);
}

constexpr std::array<ClassCommand, 9> kFsCommands{{
    {"open", fakeFsOpen},
    {"create", fakeFsCreate},
    {"close", fakeFsClose},
    {"read", fakeFsRead},
    {"readline", fakeFsReadline},
    {"write", fakeFsWrite},
    {"move", fakeFsMove},
    {"remove", fakeFsRemove},
    {"makedir", fakeFsMakedir},
}};

bool FakeFsHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kFsCommands, true);
}

bool FakeFsLoader(Interpreter& in) {
  in.fsFiles.clear();
  return true;
}

// os: "runs" echo, whatever the program: the output is the argument text.
bool fakeOsExecute(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedStringArgument)) return false;
  if (!ArgType(in, args, 1, type::kString, msg::kOsFirstNotString)) return false;
  std::string line = ArgText(in, args[1]);
  std::size_t space = line.find(' ');
  if (line.empty() || space == 0) {
    PrintError(in, "Unable to start : fork/exec : no such file or directory");
    SetReturned(in, std::string("nil"));
    return false;
  }
  std::string output = space == std::string::npos ? "" : line.substr(space + 1);
  output += '\n';
  SetReturned(in, std::move(output));
  return false;
}

constexpr std::array<ClassCommand, 1> kOsCommands{{{"execute", fakeOsExecute}}};

bool FakeOsHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kOsCommands, true);
}

// bass: streams are numbers only; every library call succeeds.

bool fakeBassStream(Interpreter& in, std::string_view token) {
  std::int64_t n = ArgInt(in, token);
  if (n >= 1 && static_cast<std::uint64_t>(n) <= in.bassStreams.size()) return true;
  PrintError(in, msg::kBassNotStream);
  return false;
}

bool fakeBassCreate(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedStringArgument)) return true;
  if (!ArgType(in, args, 1, type::kString, msg::kBassFirstNotString)) return true;
  in.bassStreams.push_back(static_cast<std::uint32_t>(in.bassStreams.size() + 1));
  SetReturned(in, static_cast<std::int64_t>(in.bassStreams.size()));
  return true;
}

bool fakeBassOnStream(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedFewArgument)) return true;
  if (!ArgType(in, args, 1, type::kInt, msg::kBassFirstNotInt)) return true;
  if (fakeBassStream(in, args[1])) SetReturned(in, std::int64_t{1});
  return true;
}

bool fakeBassDevice(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 2, msg::kMissedIntArgument)) return true;
  if (!ArgType(in, args, 1, type::kInt, msg::kBassFirstNotInt)) return true;
  if (args[0] == "test") return SetReturned(in, std::string("\"Fake device\"")), true;
  SetReturned(in, std::int64_t{1});
  return true;
}

bool fakeBassPlay(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 3, msg::kMissedFewArgument)) return true;
  if (!ArgTypes(in, args, {1, 2}, type::kInt, msg::kBassOneNotInt)) return true;
  if (fakeBassStream(in, args[1])) SetReturned(in, std::int64_t{1});
  return true;
}

bool fakeBassSetvolume(Interpreter& in, ArgList args) {
  if (!ArgCount(in, args, 3, msg::kMissedIntArgument)) return true;
  if (!ArgTypes(in, args, {1, 2}, type::kInt, msg::kBassOneNotInt)) return true;
  if (!fakeBassStream(in, args[1])) return true;
  std::int64_t volume = ArgInt(in, args[2]);
  if (volume < 0 || volume > 100) return PrintError(in, msg::kBassVolumeRange), true;
  SetReturned(in, volume);
  return true;
}

constexpr std::array<ClassCommand, 9> kBassCommands{{
    {"url", fakeBassCreate},
    {"file", fakeBassCreate},
    {"free", fakeBassOnStream},
    {"init", fakeBassDevice},
    {"test", fakeBassDevice},
    {"pause", fakeBassOnStream},
    {"stop", fakeBassOnStream},
    {"play", fakeBassPlay},
    {"setvolume", fakeBassSetvolume},
}};

bool FakeBassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kBassCommands, true);
}

bool FakeBassLoader(Interpreter& in) {
  in.bassStreams.clear();
  return true;
}

}  // namespace

void InstallFakeClasses(Interpreter& in) {
  for (Class& c : in.classes) {
    if (c.prefix == "fs") c.caller = FakeFsHandler, c.loader = FakeFsLoader;
    if (c.prefix == "os") c.caller = FakeOsHandler, c.loader = nullptr;
    if (c.prefix == "bass") c.caller = FakeBassHandler, c.loader = FakeBassLoader;
  }
}

FuzzInterpreter::FuzzInterpreter(std::string_view input) {
  in.host.out.CaptureTo(&out);
  in.host.in.FeedText(input);
  in.host.sleep = [](std::int64_t) {};
  in.host.stepLimit = kStepLimit;
  LoadBuiltinClasses(in);
  InstallFakeClasses(in);
}

}  // namespace zarnith::fuzz
