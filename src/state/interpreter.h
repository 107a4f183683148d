// The interpreter's whole state, passed first to every function: the variable
// stores, the returned value, the conditional record, the line counter, the
// class registry and the tables of the classes, plus the Host that connects
// the interpreter to the outside world.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "state/io.h"
#include "state/sys_table.h"
#include "state/value.h"

namespace zarnith {

struct Interpreter;

// Ends the program with a status: thrown by `exit`, by the two critical array
// errors and at the end of the shell's input; caught by main, tests and fuzzers.
struct ProgramExit {
  int status;
};

struct Interpreter;

// Watches a script run line by line (zarnith-trace). Execute and the
// statement interpreter call it only when one is installed.
class LineTracer {
 public:
  virtual ~LineTracer() = default;
  // Around one script line, `index` being its 0-based number.
  virtual void BeforeLine(const Interpreter& in, std::int64_t index, std::string_view raw) = 0;
  virtual void AfterLine(const Interpreter& in) = 0;
  // A line's text as it is routed (prepared and rewritten), the form that it
  // matched and, for a comma statement or class call, its first piece.
  virtual void Routed(std::string_view text, std::string_view form, std::string_view head) = 0;
  // The value of the condition that an if or elif line tested.
  virtual void Condition(bool) {}
};

// Steers a script run (zarnith-dap). Execute runs a loop of its own when one
// is installed: the debugger is asked before every line and may stop the
// script there, change its state and move lineIndex to another line of the
// script; the line at lineIndex when it returns is the one that runs.
class LineDebugger {
 public:
  virtual ~LineDebugger() = default;
  virtual void BeforeLine(Interpreter& in) = 0;
  // PrintError wrote an error line (`message` followed by `typeName`).
  virtual void ErrorPrinted(Interpreter& in, std::string_view message, std::string_view typeName) = 0;
  // A line is ending the program with `status`. True when the debugger has
  // taken the script back to an earlier line instead (lineIndex set).
  virtual bool Ending(Interpreter& in, int status) = 0;
};

// Where output goes, where input comes from, how to sleep and the system
// calls that the classes make.
struct Host {
  Output out;
  LineReader input;
  // Real sleeping by default; tests and fuzzers replace it.
  std::function<void(std::int64_t ms)> sleep;
  // The real system by default; tests and fuzzers install fakes.
  SysCalls sys = RealSystemCalls();
  // Stop a script after this many executed lines (0: no limit).
  std::int64_t stepLimit = 0;
  // Script lines that run again are compiled into plans (the plan path), and
  // an assignment of one operation skips writing its number into its text;
  // off, every line takes the reference path, the text's way. Both give the
  // same results.
  bool linePlans = true;
  // Where the shell takes its lines from when a line editor is installed (it
  // then draws the prompt itself); null means the plain reader.
  LineReader::Result (*readShellLine)(Interpreter&, std::string& line) = nullptr;
  // Told when a statement starts (true) and stops (false) waiting for input
  // on descriptor `fd` (readline: 0; fs:read of a pipe or terminal: its
  // own): the terminal shell then lets the terminal echo what is typed.
  void (*awaitInput)(int fd, bool waiting) = nullptr;
  // Told about every script line when installed; null in a normal run.
  LineTracer* tracer = nullptr;
  // Steers a debugged run when installed; null in a normal run.
  LineDebugger* debugger = nullptr;
};

// Tells the host while a statement waits for input on `fd` (Host::awaitInput).
class InputWait {
 public:
  InputWait(const Host& host, int fd) : notify_(host.awaitInput), fd_(fd) {
    if (notify_) notify_(fd_, true);
  }
  ~InputWait() {
    if (notify_) notify_(fd_, false);
  }
  InputWait(const InputWait&) = delete;
  InputWait& operator=(const InputWait&) = delete;

 private:
  void (*notify_)(int, bool);
  int fd_;
};

// The state of the current if/elif/else chain.
struct ifInfoType {
  bool enabled = false;
  std::string_view lastCond = "none";
  bool result = false;
  bool skiping = false;
};

// The argument list of a class call: element 0 is the command name.
using ArgList = std::span<const std::string_view>;
using ClassCaller = bool (*)(Interpreter&, ArgList);
using ClassLoader = bool (*)(Interpreter&);

// One command of a class: its name, the function that carries it out, and the
// number of arguments it needs (command name included) with the message that
// a shorter call prints. The table is data so that tools reading scripts
// without running them know the same names, counts and written variables.
struct ClassCommand {
  std::string_view name;
  ClassCaller run;
  std::size_t minArgs = 0;
  std::string_view countMessage = {};
  // A command that gives a variable a value takes its name as an argument:
  // that argument's index (0 when the command writes no variable) and the
  // type the variable gets.
  std::size_t writesArgument = 0;
  std::string_view writesType = {};
};

struct Class {
  std::string prefix;
  bool used = false;
  bool isBuiltIn = true;
  ClassCaller caller = nullptr;
  ClassLoader loader = nullptr;
  // The class's commands; empty when the class does not publish them.
  std::span<const ClassCommand> commands = {};
};

// One file of the fs class's open-file table.
struct FsFile {
  std::string path;
  int fd = -1;
  bool closed = false;
  // Printed output is flushed before each use (Output::SharesDestination).
  bool flushFirst = false;
  // Writes go through this descriptor instead (Output::StandardFileAt), -1 for none.
  int writeThrough = -1;
};

// The bass class's audio library, defined by the audio unit.
struct BassLibrary;
// The crypto class's digest library, defined by the crypto unit.
struct CryptoLibrary;
// The plans of the running script's lines, private to the statement
// interpreter, which also frees them.
struct LinePlans;
struct LinePlansDeleter {
  void operator()(LinePlans* plans) const;
};

struct Interpreter {
  Interpreter();
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  Host host;
  Stores stores;
  variable lastReturned{type::kInt, std::int64_t{-1}};
  ifInfoType ifInfo;
  std::int64_t lineIndex = 0;
  bool shellMode = false;

  // Registration order is kept; a linear search over six entries is enough.
  std::vector<Class> classes;

  // fs: handle N is fsFiles[N - 1]; entries are never removed.
  std::vector<FsFile> fsFiles;
  // bass: stream N is bassStreams[N - 1], the library's handle.
  std::vector<std::uint32_t> bassStreams;
  // bass: the library, loaded on first need (shared by all tables).
  std::shared_ptr<BassLibrary> bassLibrary;
  // crypto: libcrypto, opened on the first digest.
  std::shared_ptr<CryptoLibrary> cryptoLibrary;

  // Per-line scratch buffers, reused so a line's trip allocates nothing in the
  // steady state.
  std::string line;
  std::vector<std::string_view> pieces;
  std::vector<std::string_view> words;
  // The running script's line plans; null outside a script.
  std::unique_ptr<LinePlans, LinePlansDeleter> plans;
};

}  // namespace zarnith
