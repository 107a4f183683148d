// The fake file system and programs behind the fs and os classes. Paths are
// names in one map (no "." or ".." resolution); descriptors are numbered from
// 1000 so that none can be mistaken for a real one. Sizes and counts are
// capped, so no input can make the fake itself grow without bound.
#include "fake_system.h"

#include <fcntl.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zarnith::fuzz {

namespace {

constexpr int kFirstFd = 1000;
constexpr std::size_t kMaxOpen = 32;
constexpr std::size_t kMaxNodes = 64;
constexpr std::size_t kMaxFileSize = 256 * 1024;
constexpr std::size_t kDirectorySize = 4096;

struct Node {
  bool directory = false;
  std::string data;
};
using NodePtr = std::shared_ptr<Node>;

// An open file: it keeps its node even when the path is removed or renamed.
struct Descriptor {
  NodePtr node;
  std::size_t position = 0;
  bool writable = false;
  bool append = false;
};

struct World {
  std::map<std::string, NodePtr, std::less<>> nodes;
  std::vector<Descriptor> descriptors;  // fd kFirstFd + i; a null node is free
};

World world;

[[noreturn]] void Misuse(const char* what, int fd) {
  std::fprintf(stderr, "fake system misused: %s (descriptor %d)\n", what, fd);
  std::abort();
}

bool HasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// The path without trailing slashes ("/" stays "/").
std::string Normal(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

NodePtr Find(std::string_view path) {
  auto it = world.nodes.find(path);
  return it == world.nodes.end() ? nullptr : it->second;
}

// Why nothing can be created at `path`: its folder is missing or a file.
int ParentError(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return 0;  // the current or root folder
  NodePtr parent = Find(path.substr(0, slash));
  if (!parent) return ENOENT;
  return parent->directory ? 0 : ENOTDIR;
}

bool HasChildren(const std::string& path) {
  std::string prefix = path + '/';
  auto it = world.nodes.lower_bound(prefix);
  return it != world.nodes.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

// A new node at `path`, or the error that prevents it.
int Create(const std::string& path, bool directory) {
  if (int err = ParentError(path)) return err;
  if (world.nodes.size() >= kMaxNodes) return ENOSPC;
  auto node = std::make_shared<Node>();
  node->directory = directory;
  world.nodes.emplace(path, std::move(node));
  return 0;
}

Descriptor& Open(int fd, const char* call) {
  auto index = static_cast<std::size_t>(fd - kFirstFd);
  if (fd < kFirstFd || index >= world.descriptors.size() || !world.descriptors[index].node) {
    Misuse(call, fd);
  }
  return world.descriptors[index];
}

int FakeOpen(const std::string& rawPath, int flags, int& fd) {
  if (HasNul(rawPath)) return EINVAL;
  std::string path = Normal(rawPath);
  if (path.empty()) return ENOENT;
  bool writable = (flags & O_ACCMODE) != O_RDONLY;
  NodePtr node = Find(path);
  if (node) {
    if ((flags & O_CREAT) && (flags & O_EXCL)) return EEXIST;
    if (node->directory && writable) return EISDIR;
    if ((flags & O_TRUNC) && writable) node->data.clear();
  } else {
    if (!(flags & O_CREAT)) return ParentError(path) ? ParentError(path) : ENOENT;
    if (int err = Create(path, false)) return err;
    node = Find(path);
  }
  std::size_t open = 0, slot = world.descriptors.size();
  for (std::size_t i = world.descriptors.size(); i-- > 0;) {
    if (world.descriptors[i].node)
      ++open;
    else
      slot = i;  // the lowest free number, as the system hands out
  }
  if (open >= kMaxOpen) return EMFILE;
  if (slot == world.descriptors.size()) world.descriptors.emplace_back();
  world.descriptors[slot] = Descriptor{node, 0, writable, (flags & O_APPEND) != 0};
  fd = kFirstFd + static_cast<int>(slot);
  return 0;
}

int FakeClose(int fd) {
  Open(fd, "close").node = nullptr;
  return 0;
}

int FakeFileSize(int fd, std::uint64_t& size) {
  const Node& node = *Open(fd, "fstat").node;
  size = node.directory ? kDirectorySize : node.data.size();
  return 0;
}

std::size_t FakeReadUpTo(int fd, char* buffer, std::size_t size) {
  Descriptor& d = Open(fd, "read");
  if (d.node->directory || d.position >= d.node->data.size()) return 0;
  std::size_t n = d.node->data.copy(buffer, size, d.position);
  d.position += n;
  return n;
}

int FakeWriteAll(int fd, std::string_view text, std::size_t& written) {
  Descriptor& d = Open(fd, "write");
  written = 0;
  if (!d.writable) return EBADF;
  std::string& data = d.node->data;
  if (d.append) d.position = data.size();
  if (d.position >= kMaxFileSize) return text.empty() ? 0 : ENOSPC;
  written = std::min(text.size(), kMaxFileSize - d.position);
  // Past the end (another handle emptied the file) the gap reads as zeros.
  if (data.size() < d.position + written) data.resize(d.position + written);
  data.replace(d.position, written, text.substr(0, written));
  d.position += written;
  return written < text.size() ? ENOSPC : 0;
}

int FakeMove(const std::string& rawFrom, const std::string& rawTo) {
  if (HasNul(rawFrom) || HasNul(rawTo)) return EINVAL;
  std::string from = Normal(rawFrom), to = Normal(rawTo);
  NodePtr source = Find(from);
  NodePtr target = Find(to);
  // An existing directory is never replaced (see SysMove).
  if (target && target->directory) return source ? EEXIST : ENOENT;
  if (!source) return ENOENT;
  if (int err = ParentError(to)) return err;
  if (to.empty()) return ENOENT;
  if (from == to) return 0;
  if (source->directory && target) return ENOTDIR;
  if (to.compare(0, from.size() + 1, from + '/') == 0) return EINVAL;  // into itself
  // The node and, for a folder, everything under it move to the new name.
  std::vector<std::pair<std::string, NodePtr>> moved;
  std::string prefix = from + '/';
  for (auto it = world.nodes.begin(); it != world.nodes.end();) {
    if (it->first == from || it->first.compare(0, prefix.size(), prefix) == 0) {
      moved.emplace_back(to + it->first.substr(from.size()), it->second);
      it = world.nodes.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [name, node] : moved) world.nodes[name] = node;
  return 0;
}

int FakeRemove(const std::string& rawPath) {
  if (HasNul(rawPath)) return EINVAL;
  std::string path = Normal(rawPath);
  NodePtr node = Find(path);
  if (!node) return ParentError(path) ? ParentError(path) : ENOENT;
  if (node->directory && HasChildren(path)) return ENOTEMPTY;
  world.nodes.erase(path);
  return 0;
}

int FakeMakeDir(const std::string& rawPath) {
  if (HasNul(rawPath)) return EINVAL;
  std::string path = Normal(rawPath);
  if (path.empty()) return ENOENT;
  if (Find(path)) return EEXIST;
  return Create(path, true);
}

// The programs on the fake search path. Each prints its argument in its own
// way; "false" and "crash" fail.
constexpr std::string_view kPrograms[] = {"echo", "true", "false", "cat", "yes", "crash"};
constexpr std::string_view kBin = "/bin/";

std::optional<std::string> FakeLookPath(std::string_view name, std::string_view searchPath) {
  if (HasNul(name) || searchPath.empty()) return std::nullopt;
  for (std::string_view program : kPrograms) {
    if (name == program) return std::string(kBin) + std::string(name);
  }
  return std::nullopt;
}

int FakeRunProgram(const std::string& path, const std::vector<std::string>& argv,
                   SysProgramResult& result) {
  if (HasNul(path)) return EINVAL;
  for (const std::string& arg : argv) {
    if (HasNul(arg)) return EINVAL;
  }
  std::string_view program = path;
  bool onPath = program.substr(0, kBin.size()) == kBin;
  if (onPath) program.remove_prefix(kBin.size());
  if (!onPath ||
      std::find(std::begin(kPrograms), std::end(kPrograms), program) == std::end(kPrograms)) {
    // A file of ours is no program; anything else does not exist.
    NodePtr node = Find(Normal(path));
    if (!node) return ENOENT;
    return node->directory ? EACCES : ENOEXEC;
  }
  std::string argument = argv.size() > 1 ? argv[1] : std::string();
  if (program == "echo") result.output = argument + '\n';
  if (program == "false") result.waitStatus = 1 << 8;  // exit status 1
  if (program == "crash") result.waitStatus = SIGSEGV;
  if (program == "yes") {
    std::string line = (argument.empty() ? std::string("y") : argument) + '\n';
    while (result.output.size() < 64 * 1024) result.output += line;
  }
  return 0;
}

// Texts and arrays stay small: an input that loops over a text can do only
// so much work per line, so every input runs in well under a second. Larger
// allocations report "out of memory" through the interpreter's own weighing.
constexpr std::uint64_t kWeighAbove = 1024;
std::uint64_t FakeAvailableMemory() { return 4 * 1024; }

// Nothing in the fake world keeps an open waiting.
bool FakeOpenMayWait(const std::string&) { return false; }

const SysCalls kFakeCalls{
    FakeOpen,        FakeOpenMayWait,     FakeClose,           FakeFileSize, FakeReadUpTo, FakeWriteAll,
    FakeMove,        FakeRemove,          FakeMakeDir,  FakeLookPath, FakeRunProgram,
    FakeBassLibrary, FakeAvailableMemory, kWeighAbove,
};

void Seed() {
  auto add = [](std::string path, bool directory, std::string data) {
    world.nodes[std::move(path)] = std::make_shared<Node>(Node{directory, std::move(data)});
  };
  add("notes.txt", false, "first\nsecond\n");
  add("empty.txt", false, "");
  add("music", true, "");
  add("music/tone.wav", false, "RIFF....WAVEfmt ");
  add("/tmp", true, "");
}

}  // namespace

void InstallFakeSystem(Host& host) {
  world = World{};
  Seed();
  ResetFakeBass();
  host.sys = kFakeCalls;
}

void CloseFakeSystem() {
  for (std::size_t i = 0; i < world.descriptors.size(); ++i) {
    if (world.descriptors[i].node) Misuse("left open", kFirstFd + static_cast<int>(i));
  }
  world = World{};
  ResetFakeBass();
}

const std::string* FakeFileData(std::string_view path) {
  NodePtr node = Find(Normal(path));
  return node && !node->directory ? &node->data : nullptr;
}

}  // namespace zarnith::fuzz
