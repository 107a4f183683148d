#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classes/registry.h"
#include "test_interp.h"
#include "values/types.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;

// A class whose handler records the argument list it receives and whose
// loaders count their runs; the built-in loaders cannot fail, these can.
std::vector<std::string> received;
int loaderRuns = 0;
bool loaderResult = true;

bool probeHandler(Interpreter&, ArgList args) {
  received.assign(args.begin(), args.end());
  return false;
}

bool probeLoader(Interpreter&) {
  ++loaderRuns;
  return loaderResult;
}

struct Classes : ::testing::Test {
  TestInterpreter t;
  Classes() {
    received.clear();
    loaderRuns = 0;
    loaderResult = true;
    t.in.classes.push_back({"probe", false, true, probeHandler, probeLoader});
  }
  const Class& Probe() { return *FindClass(t.in, "probe"); }
};

TEST_F(Classes, BuiltinsAreRegisteredInOrder) {
  TestInterpreter fresh;
  std::vector<std::string> names;
  for (const Class& c : fresh.in.classes) {
    names.push_back(c.prefix);
    EXPECT_FALSE(c.used) << c.prefix;
    EXPECT_NE(c.caller, nullptr) << c.prefix;
    EXPECT_EQ(c.isBuiltIn, c.prefix != "bass") << c.prefix;
    EXPECT_EQ(c.loader != nullptr, c.prefix == "fs" || c.prefix == "bass") << c.prefix;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"hello", "crypto", "fs", "strings", "os", "bass"}));
}

TEST_F(Classes, EveryUseRunsTheLoaderAgain) {
  EXPECT_EQ(t.Line("use, \"probe\""), "");
  EXPECT_EQ(loaderRuns, 1);
  EXPECT_TRUE(Probe().used);
  EXPECT_EQ(t.in.lastReturned.value, Value{std::int64_t{1}});

  t.in.lastReturned.value = std::int64_t{7};
  EXPECT_EQ(t.Line("use, \"probe\""), "");
  EXPECT_EQ(loaderRuns, 2);
  EXPECT_EQ(t.in.lastReturned.value, Value{std::int64_t{1}});
}

TEST_F(Classes, FailedLoaderLeavesTheClassAsItWas) {
  loaderResult = false;
  EXPECT_EQ(t.Line("use, \"probe\""), "error: 1: Error while initializing class\n");
  EXPECT_FALSE(Probe().used);
  EXPECT_EQ(t.in.lastReturned.varType, type::kInt);
  EXPECT_EQ(t.in.lastReturned.value, Value{std::int64_t{0}});
  EXPECT_EQ(t.Line("probe:x"), "error: 1: This class is not used\n");
  EXPECT_TRUE(received.empty());

  // A class already in use stays in use when a later loader run fails.
  loaderResult = true;
  t.Line("use, \"probe\"");
  loaderResult = false;
  t.Line("use, \"probe\"");
  EXPECT_TRUE(Probe().used);
  EXPECT_EQ(loaderRuns, 3);
}

TEST_F(Classes, ShellShowsTheErrorBeforeTheEcho) {
  t.in.shellMode = true;
  loaderResult = false;
  EXPECT_EQ(t.Line("use, \"probe\""), "error: 1: Error while initializing class\n=> 0\n");
  EXPECT_EQ(t.Line("use, \"Probe\""), "error: 1: Class is not exists\n=> 0\n");
  loaderResult = true;
  EXPECT_EQ(t.Line("use, \"probe\""), "=> 1\n");
}

TEST_F(Classes, HandlerGetsTheCommandAndRawArguments) {
  t.Line("use, \"probe\"");
  t.in.lastReturned.value = std::int64_t{5};
  // One leading blank goes from each argument; quotes, further blanks, empty
  // pieces and the pieces of a comma-cut literal stay.
  EXPECT_EQ(t.Line("probe:cmd:extra, a,  b,,\"q, r\", n"), "");
  EXPECT_EQ(received, (std::vector<std::string>{"cmd", "a", " b", "", "\"q", "r\"", "n"}));
  // The handler's result is not a returned value.
  EXPECT_EQ(t.in.lastReturned.value, Value{std::int64_t{5}});

  t.Line("probe:");
  EXPECT_EQ(received, (std::vector<std::string>{""}));
}

TEST_F(Classes, ClassHandleReportsWhetherAHandlerRan) {
  std::vector<std::string_view> pieces{"probe:x"};
  EXPECT_FALSE(ClassHandle(t.in, pieces));
  EXPECT_EQ(t.out, "error: 1: This class is not used\n");
  t.Line("use, \"probe\"");
  pieces = {"probe:x"};
  EXPECT_TRUE(ClassHandle(t.in, pieces));
  EXPECT_EQ(pieces[0], "x");
  pieces = {"nope:x"};
  EXPECT_FALSE(ClassHandle(t.in, pieces));
  // Without a colon nothing is dispatched and nothing is printed.
  t.out.clear();
  pieces = {"probe"};
  EXPECT_FALSE(ClassHandle(t.in, pieces));
  EXPECT_EQ(t.out, "");
}

// Every class publishes its commands, and a command that writes a variable
// names it in an argument that every call accepted by the count check has:
// the tools that read scripts learn from the tables which lines write what.
TEST(ClassTables, WrittenVariablesAreNamedByRequiredArguments) {
  Interpreter in;
  LoadBuiltinClasses(in);
  int writers = 0;
  for (const Class& c : in.classes) {
    EXPECT_FALSE(c.commands.empty()) << c.prefix;
    for (const ClassCommand& command : c.commands) {
      if (command.writesArgument == 0) continue;
      ++writers;
      EXPECT_LT(command.writesArgument, command.minArgs) << c.prefix << ":" << command.name;
      EXPECT_TRUE(command.writesType == type::kString || command.writesType == type::kStringArray ||
                  command.writesType == type::kInt || command.writesType == type::kIntArray);
    }
  }
  EXPECT_EQ(writers, 2);
}

}  // namespace
}  // namespace zarnith
