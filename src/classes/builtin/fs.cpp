// The fs class: files under small integer handles (open, create, read,
// readline, write, close) and renaming, removing and making directories.
// Handle N is in.fsFiles[N - 1]; entries stay after close, so a number is
// never handed out twice until `use, "fs"` starts a new table.
#include "classes/builtin/fs.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

#include "classes/args.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith {

namespace {

// "OPERATION PATH: reason", the description of a failed operation.
std::string fsDescription(std::string_view operation, std::string_view path,
                          std::string_view reason) {
  std::string text(operation);
  text += ' ';
  text += path;
  text += ": ";
  text += reason;
  return text;
}

// Handle commands report any wrong type of their two arguments with one message.
bool fsCheckTypes(Interpreter& in, ArgList args, std::string_view first, std::string_view second) {
  if (GetTypeEx(in, args[1]) == first && GetTypeEx(in, args[2]) == second) return true;
  PrintError(in, msg::kOneNotString);
  return false;
}

// The file behind a handle argument, or null after "File isn't exists".
FsFile* fsLookup(Interpreter& in, std::string_view token) {
  std::int64_t handle = ArgInt(in, token);
  if (handle < 1 || static_cast<std::uint64_t>(handle) > in.fsFiles.size()) {
    PrintError(in, msg::kFileNotExists);
    return nullptr;
  }
  return &in.fsFiles[static_cast<std::size_t>(handle - 1)];
}

// Opens a file into a new table entry and returns its handle. A failed open
// uses up no handle. `open` prints its error before the returned -1 and
// `create` after it; the shell's echo shows the difference.
bool fsAddFile(Interpreter& in, std::string path, int flags, bool errorFirst) {
  // Opening a FIFO waits for its other end: what was printed goes out first.
  if (in.host.sys.openMayWait(path)) in.host.out.Flush();
  // A file that standard output (or error) is sent to is written through
  // that descriptor, whose offset the program's own output moves: with an
  // offset of its own, each would overwrite the other. Emptying the file
  // would destroy what the script printed there, so it is not emptied.
  int through = (flags & O_ACCMODE) != O_RDONLY ? in.host.out.StandardFileAt(path) : -1;
  if (through >= 0) flags &= ~O_TRUNC;
  int fd = -1;
  if (int err = in.host.sys.open(path, flags, fd)) {
    std::string description = fsDescription(msg::kOpOpen, path, ErrnoReason(err));
    if (errorFirst) PrintError(in, description);
    SetReturned(in, std::int64_t{-1});
    if (!errorFirst) PrintError(in, description);
    return false;
  }
  try {
    in.fsFiles.push_back(
        FsFile{std::move(path), fd, false, in.host.out.SharesDestination(fd), through});
  } catch (...) {  // no memory for the entry: the file must not stay open unseen
    in.host.sys.close(fd);
    throw;
  }
  SetReturned(in, static_cast<std::int64_t>(in.fsFiles.size()));
  return true;
}

bool fsOpen(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  bool hasMode = args.size() > 2;
  if (hasMode && GetTypeEx(in, args[2]) != type::kInt) {
    PrintError(in, msg::kSecondNotInt);
    return true;
  }
  std::string path = ArgText(in, args[1]);
  std::int64_t mode = hasMode ? ArgInt(in, args[2]) : 0;
  int flags = O_RDONLY;
  if (mode == 1) flags = O_RDWR | O_CREAT | O_TRUNC;
  if (mode == 2) flags = O_RDWR | O_CREAT | O_APPEND;
  return fsAddFile(in, std::move(path), flags, true);
}

bool fsCreate(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  return fsAddFile(in, ArgText(in, args[1]), O_RDWR | O_CREAT | O_EXCL, false);
}

// Sets `failure`, then prints the description: the order of close, write,
// move, remove and makedir.
bool fsFail(Interpreter& in, std::int64_t failure, const std::string& description) {
  SetReturned(in, failure);
  PrintError(in, description);
  return false;
}

bool fsClose(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kInt, msg::kFirstNotInt)) return true;
  FsFile* file = fsLookup(in, args[1]);
  if (!file) return true;
  if (file->closed) {
    return fsFail(in, 0, fsDescription(msg::kOpClose, file->path, msg::kFileAlreadyClosed));
  }
  // The descriptor is released even when close reports an error.
  int err = in.host.sys.close(file->fd);
  file->closed = true;
  file->fd = -1;
  if (err) return fsFail(in, 0, fsDescription(msg::kOpClose, file->path, ErrnoReason(err)));
  SetReturned(in, std::int64_t{1});
  return true;
}

// A regular file's text up to the size it reports.
int fsReadSized(Interpreter& in, const FsFile& file, std::uint64_t size, std::string& text) {
  // A size beyond memory ends the line with "out of memory".
  EnsureAvailable(in.host.sys, size);
  text.resize(size);
  std::size_t got = 0;
  int err = in.host.sys.readUpTo(file.fd, text.data(), text.size(), got);
  text.resize(got);
  return err;
}

// Pipes, FIFOs, terminals and files that report no size (those of /proc)
// hold whatever comes until their end of file. At the terminal shell, what
// is typed for such a read shows as it is typed.
int fsReadToEnd(Interpreter& in, const FsFile& file, std::string& text) {
  constexpr std::size_t kChunk = 64 * 1024;
  auto chunk = std::make_unique<char[]>(kChunk);
  InputWait wait(in.host, file.fd);
  for (;;) {
    std::size_t got = 0;
    int err = in.host.sys.readUpTo(file.fd, chunk.get(), kChunk, got);
    if (text.capacity() - text.size() < got) {
      // An endless source (a device of zeros) ends with "out of memory".
      EnsureAvailable(in.host.sys, std::max(text.size() + got, 2 * text.capacity()));
    }
    text.append(chunk.get(), got);
    if (err != 0 || got < kChunk) return err;
  }
}

// The file's text from the current position. A failed status query prints
// only its reason and gives nothing; the reason is taken whole, never cut out
// of the description, so a path holding ": " cannot take its place. A failed
// read (a directory) prints its full description and gives nothing.
std::optional<std::string> fsReadText(Interpreter& in, const FsFile& file) {
  if (file.closed) {
    PrintError(in, msg::kUseOfClosedFile);
    return std::nullopt;
  }
  if (file.flushFirst) in.host.out.Flush();  // a pipe or a terminal may keep us waiting
  std::uint64_t size = 0;
  if (int err = in.host.sys.fileSize(file.fd, size)) {
    PrintError(in, ErrnoReason(err));
    return std::nullopt;
  }
  std::string text;
  int err = size > 0 ? fsReadSized(in, file, size, text) : fsReadToEnd(in, file, text);
  if (err) {
    PrintError(in, fsDescription(msg::kOpRead, file.path, ErrnoReason(err)));
    return std::nullopt;
  }
  return text;
}

// fs:read stores the text in the string variable that this argument names.
constexpr std::size_t kReadInto = 2;

bool fsRead(Interpreter& in, ArgList args) {
  if (GetTypeEx(in, args[1]) != type::kInt || !IsBareName(args[kReadInto])) {
    PrintError(in, msg::kOneNotString);
    return true;
  }
  FsFile* file = fsLookup(in, args[1]);
  if (!file) return true;
  std::optional<std::string> text = fsReadText(in, *file);
  if (!text) {
    SetReturned(in, std::int64_t{-1});
    return false;
  }
  SetReturned(in, static_cast<std::int64_t>(text->size()));
  StoreIn(in.stores, in.stores.stringVars, args[kReadInto], std::move(*text));
  return true;
}

// Line `index` of a text split at every line feed; a final line feed is
// followed by one more, empty, line.
std::optional<std::string_view> fsLine(std::string_view text, std::int64_t index) {
  if (index < 0) return std::nullopt;
  std::size_t start = 0;
  for (std::int64_t i = 0; i < index; ++i) {
    std::size_t feed = text.find('\n', start);
    if (feed == std::string_view::npos) return std::nullopt;
    start = feed + 1;
  }
  std::size_t end = text.find('\n', start);
  return text.substr(start, end == std::string_view::npos ? end : end - start);
}

bool fsReadline(Interpreter& in, ArgList args) {
  if (!fsCheckTypes(in, args, type::kInt, type::kInt)) return true;
  FsFile* file = fsLookup(in, args[1]);
  if (!file) return true;
  std::int64_t index = ArgInt(in, args[2]);
  std::optional<std::string> text = fsReadText(in, *file);
  if (!text) {
    SetReturned(in, std::string(msg::kNil));
    return false;
  }
  std::optional<std::string_view> line = fsLine(*text, index);
  if (!line) {
    PrintError(in, msg::kBadLine);
    SetReturned(in, std::string(msg::kNil));
    return true;
  }
  SetReturned(in, std::string(*line));
  return true;
}

bool fsWrite(Interpreter& in, ArgList args) {
  if (!fsCheckTypes(in, args, type::kInt, type::kString)) return true;
  FsFile* file = fsLookup(in, args[1]);
  if (!file) return true;
  if (file->closed) {
    return fsFail(in, -1, fsDescription(msg::kOpWrite, file->path, msg::kFileAlreadyClosed));
  }
  // The variable's own text, not a copy: a script may write large texts.
  Text text = ResolveShared(in, args[2]);
  // What was printed before reaches a shared destination first.
  if (file->flushFirst) in.host.out.Flush();
  std::size_t written = 0;
  // A failure after part of the text was written is still a failure.
  int fd = file->writeThrough >= 0 ? file->writeThrough : file->fd;
  if (int err = in.host.sys.writeAll(fd, text, written)) {
    return fsFail(in, -1, fsDescription(msg::kOpWrite, file->path, ErrnoReason(err)));
  }
  SetReturned(in, static_cast<std::int64_t>(written));
  return true;
}

bool fsMove(Interpreter& in, ArgList args) {
  if (!ArgTypes(in, args, {1, 2}, type::kString, msg::kOneNotString)) return true;
  std::string from = ArgText(in, args[1]);
  std::string to = ArgText(in, args[2]);
  if (int err = in.host.sys.move(from, to)) {
    return fsFail(in, 0, fsDescription(msg::kOpRename, from + ' ' + to, ErrnoReason(err)));
  }
  SetReturned(in, std::int64_t{1});
  return true;
}

// remove and makedir: one path, one system call, 1 or 0.
bool fsPathCommand(Interpreter& in, ArgList args, std::string_view operation,
                   const std::function<int(const std::string&)>& call) {
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  std::string path = ArgText(in, args[1]);
  if (int err = call(path)) return fsFail(in, 0, fsDescription(operation, path, ErrnoReason(err)));
  SetReturned(in, std::int64_t{1});
  return true;
}

bool fsRemove(Interpreter& in, ArgList args) {
  return fsPathCommand(in, args, msg::kOpRemove, in.host.sys.remove);
}

bool fsMakedir(Interpreter& in, ArgList args) {
  return fsPathCommand(in, args, msg::kOpMkdir, in.host.sys.makeDir);
}

constexpr std::array<ClassCommand, 9> kCommands{{
    {"open", fsOpen, 2, msg::kMissedFewArguments},
    {"create", fsCreate, 2, msg::kMissedFewArguments},
    {"close", fsClose, 2, msg::kMissedFewArguments},
    {"read", fsRead, 3, msg::kMissedFewArguments, kReadInto, type::kString},
    {"readline", fsReadline, 3, msg::kMissedFewArguments},
    {"write", fsWrite, 3, msg::kMissedFewArguments},
    {"move", fsMove, 3, msg::kMissedFewArgument},
    {"remove", fsRemove, 2, msg::kMissedFewArgument},
    {"makedir", fsMakedir, 2, msg::kMissedFewArguments},
}};

}  // namespace

// A new, empty table. Files still open in the old one can no longer be
// reached by any handle, so they are closed now rather than leaked.
bool FsClassLoader(Interpreter& in) {
  for (FsFile& file : in.fsFiles) {
    if (!file.closed) in.host.sys.close(file.fd);
  }
  in.fsFiles.clear();
  return true;
}

std::span<const ClassCommand> FsCommands() { return kCommands; }

bool FsClassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kCommands, true);
}

}  // namespace zarnith
