// The in-memory file system and programs behind the fs and os classes. Paths
// are names in one map (no "." or ".." resolution); descriptors are numbered
// from 1000 so that none can be mistaken for a real one. Sizes and counts are
// capped by the limits, so no script can make the system grow without bound.
#include "state/sys_memory.h"

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

#include "state/sys_memory_world.h"

namespace zarnith {

namespace {

constexpr int kFirstFd = 1000;

using World = MemorySystem::World;
using NodePtr = World::NodePtr;
using Descriptor = World::Descriptor;

[[noreturn]] void Misuse(const char* what, int fd) {
  std::fprintf(stderr, "in-memory system misused: %s (descriptor %d)\n", what, fd);
  std::abort();
}

bool HasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// A path that ends in a slash names a folder: a file there is "not a
// directory", as the system says.
bool NamesFolder(std::string_view path) { return path.size() > 1 && path.back() == '/'; }

// The path without trailing slashes ("/" stays "/").
std::string Normal(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

NodePtr Find(const World& world, std::string_view path) {
  auto it = world.nodes.find(path);
  return it == world.nodes.end() ? nullptr : it->second;
}

// Why nothing can be created at `path`: its folder is missing or a file.
int ParentError(const World& world, const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return 0;  // the current or root folder
  NodePtr parent = Find(world, path.substr(0, slash));
  if (!parent) return ENOENT;
  return parent->directory ? 0 : ENOTDIR;
}

bool HasChildren(const World& world, const std::string& path) {
  std::string prefix = path + '/';
  auto it = world.nodes.lower_bound(prefix);
  return it != world.nodes.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

// A new node at `path`, or the error that prevents it.
int Create(World& world, const std::string& path, bool directory) {
  if (int err = ParentError(world, path)) return err;
  if (world.nodes.size() >= world.limits.maxNodes) return ENOSPC;
  auto node = std::make_shared<World::Node>();
  node->directory = directory;
  world.nodes.emplace(path, std::move(node));
  return 0;
}

Descriptor& Opened(World& world, int fd, const char* call) {
  auto index = static_cast<std::size_t>(fd - kFirstFd);
  if (fd < kFirstFd || index >= world.descriptors.size() || !world.descriptors[index].node) {
    Misuse(call, fd);
  }
  return world.descriptors[index];
}

int MemOpen(World& world, const std::string& rawPath, int flags, int& fd) {
  if (HasNul(rawPath)) return EINVAL;
  std::string path = Normal(rawPath);
  if (path.empty()) return ENOENT;
  bool writable = (flags & O_ACCMODE) != O_RDONLY;
  NodePtr node = Find(world, path);
  if (node) {
    if ((flags & O_CREAT) && (flags & O_EXCL)) return EEXIST;
    if (!node->directory && NamesFolder(rawPath)) return ENOTDIR;
    if (node->directory && writable) return EISDIR;
    if ((flags & O_TRUNC) && writable) node->data.clear();
  } else {
    if (!(flags & O_CREAT)) {
      int err = ParentError(world, path);
      return err ? err : ENOENT;
    }
    if (NamesFolder(rawPath)) return EISDIR;  // a file cannot be made as a folder
    if (int err = Create(world, path, false)) return err;
    node = Find(world, path);
  }
  std::size_t open = 0, slot = world.descriptors.size();
  for (std::size_t i = world.descriptors.size(); i-- > 0;) {
    if (world.descriptors[i].node)
      ++open;
    else
      slot = i;  // the lowest free number, as the system hands out
  }
  if (open >= world.limits.maxOpen) return EMFILE;
  if (slot == world.descriptors.size()) world.descriptors.emplace_back();
  world.descriptors[slot] = Descriptor{node, 0, writable, (flags & O_APPEND) != 0};
  fd = kFirstFd + static_cast<int>(slot);
  return 0;
}

int MemFileSize(World& world, int fd, std::uint64_t& size) {
  const World::Node& node = *Opened(world, fd, "fstat").node;
  // As the real call says: a directory's size means nothing for reading.
  size = node.directory ? 0 : node.data.size();
  return 0;
}

int MemReadUpTo(World& world, int fd, char* buffer, std::size_t size, std::size_t& got) {
  Descriptor& d = Opened(world, fd, "read");
  got = 0;
  if (d.node->directory) return EISDIR;
  if (d.position >= d.node->data.size()) return 0;
  got = d.node->data.copy(buffer, size, d.position);
  d.position += got;
  return 0;
}

int MemWriteAll(World& world, int fd, std::string_view text, std::size_t& written) {
  Descriptor& d = Opened(world, fd, "write");
  written = 0;
  if (!d.writable) return EBADF;
  std::string& data = d.node->data;
  const std::size_t maxSize = world.limits.maxFileSize;
  if (d.append) d.position = data.size();
  if (d.position >= maxSize) return text.empty() ? 0 : ENOSPC;
  written = std::min(text.size(), maxSize - d.position);
  // Past the end (another handle emptied the file) the gap reads as zeros.
  if (data.size() < d.position + written) data.resize(d.position + written);
  data.replace(d.position, written, text.substr(0, written));
  d.position += written;
  return written < text.size() ? ENOSPC : 0;
}

int MemMove(World& world, const std::string& rawFrom, const std::string& rawTo) {
  if (HasNul(rawFrom) || HasNul(rawTo)) return EINVAL;
  std::string from = Normal(rawFrom), to = Normal(rawTo);
  NodePtr source = Find(world, from);
  NodePtr target = Find(world, to);
  // An existing directory is never replaced (see SysMove).
  if (target && target->directory) return source ? EEXIST : ENOENT;
  if (!source) return ENOENT;
  if (!source->directory && (NamesFolder(rawFrom) || NamesFolder(rawTo))) return ENOTDIR;
  if (int err = ParentError(world, to)) return err;
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

int MemRemove(World& world, const std::string& rawPath) {
  if (HasNul(rawPath)) return EINVAL;
  std::string path = Normal(rawPath);
  NodePtr node = Find(world, path);
  if (!node) {
    int err = ParentError(world, path);
    return err ? err : ENOENT;
  }
  if (!node->directory && NamesFolder(rawPath)) return ENOTDIR;
  if (node->directory && HasChildren(world, path)) return ENOTEMPTY;
  world.nodes.erase(path);
  return 0;
}

int MemMakeDir(World& world, const std::string& rawPath) {
  if (HasNul(rawPath)) return EINVAL;
  std::string path = Normal(rawPath);
  if (path.empty()) return ENOENT;
  if (Find(world, path)) return EEXIST;
  return Create(world, path, true);
}

// The programs on the search path. Each prints its argument in its own way;
// "false" and "crash" fail.
constexpr std::string_view kPrograms[] = {"echo", "true", "false", "cat", "yes", "crash"};
constexpr std::string_view kBin = "/bin/";

std::optional<std::string> MemLookPath(std::string_view name, std::string_view searchPath) {
  if (HasNul(name) || searchPath.empty()) return std::nullopt;
  for (std::string_view program : kPrograms) {
    if (name == program) return std::string(kBin) + std::string(name);
  }
  return std::nullopt;
}

int MemRunProgram(const World& world, const std::string& path,
                  const std::vector<std::string>& argv, SysProgramResult& result) {
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
    NodePtr node = Find(world, Normal(path));
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

}  // namespace

MemorySystem::MemorySystem(const MemoryLimits& limits, std::string noPrograms)
    : world_(std::make_unique<World>()) {
  world_->limits = limits;
  world_->noPrograms = std::move(noPrograms);
}

MemorySystem::~MemorySystem() { ForgetMemoryAudio(*world_); }

SysCalls MemorySystem::Calls() {
  World* w = world_.get();
  SysCalls sys;
  sys.open = [w](const std::string& path, int flags, int& fd) {
    return MemOpen(*w, path, flags, fd);
  };
  // Nothing here keeps an open waiting.
  sys.openMayWait = [](const std::string&) { return false; };
  sys.close = [w](int fd) {
    Opened(*w, fd, "close").node = nullptr;
    return 0;
  };
  sys.fileSize = [w](int fd, std::uint64_t& size) { return MemFileSize(*w, fd, size); };
  sys.readUpTo = [w](int fd, char* buffer, std::size_t size, std::size_t& got) {
    return MemReadUpTo(*w, fd, buffer, size, got);
  };
  sys.writeAll = [w](int fd, std::string_view text, std::size_t& written) {
    return MemWriteAll(*w, fd, text, written);
  };
  sys.move = [w](const std::string& from, const std::string& to) { return MemMove(*w, from, to); };
  sys.remove = [w](const std::string& path) { return MemRemove(*w, path); };
  sys.makeDir = [w](const std::string& path) { return MemMakeDir(*w, path); };
  sys.lookPath = MemLookPath;
  sys.runProgram = [w](const std::string& path, const std::vector<std::string>& argv,
                       SysProgramResult& result) { return MemRunProgram(*w, path, argv, result); };
  sys.noPrograms = w->noPrograms;
  sys.openLibrary = [w](const std::string& path) { return OpenMemoryAudio(*w, path); };
  sys.librarySymbol = [](void* handle, const char* name) {
    return MemoryAudioSymbol(handle, name);
  };
  sys.closeLibrary = [](void*) {};
  sys.availableMemory = [w] { return w->limits.availableMemory; };
  sys.physicalMemory = [w] { return w->limits.physicalMemory; };
  sys.weighAbove = w->limits.weighAbove;
  return sys;
}

int MemorySystem::AddFile(std::string_view rawPath, std::string_view data) {
  int fd = -1;
  if (int err = MemOpen(*world_, std::string(rawPath), O_WRONLY | O_CREAT | O_TRUNC, fd)) {
    return err;
  }
  std::size_t written = 0;
  int err = MemWriteAll(*world_, fd, data, written);
  Opened(*world_, fd, "close").node = nullptr;
  return err;
}

int MemorySystem::AddDirectory(std::string_view path) {
  return MemMakeDir(*world_, std::string(path));
}

std::vector<MemorySystem::Entry> MemorySystem::Entries() const {
  std::vector<Entry> entries;
  entries.reserve(world_->nodes.size());
  for (const auto& [path, node] : world_->nodes) {
    entries.push_back(Entry{path, node->directory, node->data});
  }
  return entries;
}

const std::string* MemorySystem::FileData(std::string_view path) const {
  NodePtr node = Find(*world_, Normal(path));
  return node && !node->directory ? &node->data : nullptr;
}

void MemorySystem::ListenToAudio(AudioListener listener) { world_->audioListener = listener; }

std::size_t MemorySystem::OpenDescriptors() const {
  return static_cast<std::size_t>(
      std::count_if(world_->descriptors.begin(), world_->descriptors.end(),
                    [](const Descriptor& d) { return d.node != nullptr; }));
}

}  // namespace zarnith
