#include "state/io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/line.h"
#include "core/runner.h"
#include "state/interrupt.h"
#include "test_interp.h"

namespace zarnith {
namespace {

using testing::TestInterpreter;
using R = LineReader::Result;

// Every line the reader yields, with "<too long>" and "<end>" markers; reads
// one past the end to show that the end is stable.
std::vector<std::string> Drain(LineReader& reader) {
  std::vector<std::string> got;
  std::string line;
  for (int ends = 0; ends < 2;) {
    R r = reader.ReadLine(line);
    if (r == R::kEnd) ++ends;
    got.push_back(r == R::kLine ? line : r == R::kEnd ? "<end>" : "<too long>");
  }
  return got;
}

std::vector<std::string> DrainText(std::string_view text) {
  LineReader reader;
  reader.FeedText(text);
  return Drain(reader);
}

using Lines = std::vector<std::string>;

TEST(LineReader, CarriageReturnDroppedOnlyBeforeALineFeed) {
  EXPECT_EQ(DrainText("a\r\nb\rc\n\r\n\n"), (Lines{"a", "b\rc", "", "", "<end>", "<end>"}));
  EXPECT_EQ(DrainText("x\r\r\n"), (Lines{"x\r", "<end>", "<end>"}));
}

TEST(LineReader, LastLineWithoutLineFeedCounts) {
  EXPECT_EQ(DrainText("a\nlast"), (Lines{"a", "last", "<end>", "<end>"}));
  EXPECT_EQ(DrainText(""), (Lines{"<end>", "<end>"}));
}

TEST(LineReader, LinesOverTheLimitAreSkippedWhole) {
  const std::string fits(LineReader::kMaxLine - 1, 'f');
  const std::string over(LineReader::kMaxLine, 'o');
  EXPECT_EQ(DrainText(fits + "\n" + over + "\nnext\n" + over + over),
            (Lines{fits, "<too long>", "next", "<too long>", "<end>", "<end>"}));
}

// The same cases read from a descriptor in chunks, as standard input is.
TEST(LineReader, ReadsADescriptorAcrossChunks) {
  char path[] = "/tmp/zarnith-io-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  unlink(path);
  const std::string huge(200000, 'h');
  const std::string fits(LineReader::kMaxLine - 1, 'f');
  const std::string text = "a\r\n" + huge + "\n" + fits + "\nb\rc\n" + huge + "\r\nlast";
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  lseek(fd, 0, SEEK_SET);
  LineReader reader(fd);
  EXPECT_EQ(Drain(reader),
            (Lines{"a", "<too long>", fits, "b\rc", "<too long>", "last", "<end>", "<end>"}));
  close(fd);
}

TEST(Readline, SharesTheReaderAndStripsQuotes) {
  TestInterpreter t("\"quoted\"\r\n" + std::string(LineReader::kMaxLine, 'x') + "\nplain\n");
  EXPECT_EQ(t.Line("readline"), "");
  EXPECT_EQ(t.in.lastReturned.value, Value{std::string("quoted")});
  t.in.lineIndex = 4;
  EXPECT_EQ(t.Line("readline, ignored"), "error: 5: line too long\n");
  EXPECT_EQ(t.in.lastReturned.value, Value{std::string()});
  EXPECT_EQ(t.in.lastReturned.varType, "string");
  t.Line("readline");
  EXPECT_EQ(t.in.lastReturned.value, Value{std::string("plain")});
  t.Line("readline");
  EXPECT_EQ(t.in.lastReturned.value, Value{std::string()});
}

TEST(Shell, OverlongLineIsRefusedAndTheShellGoesOn) {
  TestInterpreter t(std::string(LineReader::kMaxLine + 5, 'x') + "\nprint, \"ok\"\n");
  int status = -1;
  try {
    KorvaneShell(t.in);
  } catch (const ProgramExit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(t.out, "> error: 1: line too long\n> ok\n> \n");
}

TEST(Shell, ReadlineTakesTheNextShellLine) {
  TestInterpreter t("readline\nsecond line\nreturn, 7\n");
  try {
    KorvaneShell(t.in);
  } catch (const ProgramExit&) {
  }
  EXPECT_EQ(t.out, "> => \"second line\"\n> => 7\n> \n");
}

TEST(Sleep, OnlyPositiveLiteralsSleep) {
  TestInterpreter t;
  t.in.stores.Add(t.in.stores.intVars, "n", 50);
  t.in.stores.Add(t.in.stores.stringVars, "5", "five");
  EXPECT_EQ(t.Line("sleep, 0"), "");
  EXPECT_EQ(t.Line("sleep, -20"), "");
  EXPECT_EQ(t.Line("sleep"), "");
  EXPECT_EQ(t.slept, 0);
  EXPECT_EQ(t.Line("sleep, n"), "error: 1: Type of first argument is not a int, is a unknown\n");
  EXPECT_EQ(t.Line("sleep, \"5\""), "error: 1: Type of first argument is not a int, is a string\n");
  // A variable named 5 does not change what the literal 5 means.
  EXPECT_EQ(t.Line("sleep, 5"), "");
  EXPECT_EQ(t.Line("sleep, 2+3"), "");
  EXPECT_EQ(t.slept, 10);
}

// Ctrl-C at the terminal shell (the flag its SIGINT handler raises): a read
// or a sleep about to wait gives up, and what was already read stays.
TEST(Interrupt, AbandonsWaitsAndKeepsBufferedInput) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "first\npart", 10), 10);
  LineReader reader(fds[0]);
  std::string line, partial;
  ASSERT_EQ(reader.ReadLine(line), R::kLine);
  gInterruptRequested = 1;
  EXPECT_THROW(reader.ReadLine(line), StatementInterrupted);
  Interpreter in;
  EXPECT_THROW(in.host.sleep(60000), StatementInterrupted);
  gInterruptRequested = 0;
  ASSERT_EQ(write(fds[1], "\nnext\nst", 8), 8);
  ASSERT_EQ(reader.ReadLine(line), R::kLine);
  EXPECT_EQ(line, "part");
  EXPECT_FALSE(reader.TakePartialLine(partial));  // "next" is a whole line
  ASSERT_EQ(reader.ReadLine(line), R::kLine);
  EXPECT_TRUE(reader.TakePartialLine(partial));
  EXPECT_EQ(partial, "st");
  EXPECT_TRUE(reader.BufferEmpty());
  close(fds[0]);
  close(fds[1]);
}

TEST(Shell, AnAbandonedStatementKeepsTheState) {
  TestInterpreter t("x = 3\nsleep, 10\nreturn, x\n");
  t.in.host.sleep = [](std::int64_t) { throw StatementInterrupted{}; };
  try {
    KorvaneShell(t.in);
  } catch (const ProgramExit&) {
  }
  EXPECT_EQ(t.out, "> > \n> => 3\n> \n");
}

// Reads what has reached a non-blocking pipe so far.
std::string Pending(int fd) {
  std::string got;
  char buffer[256];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
  return got;
}

// Output written before the interpreter blocks (sleep, readline) has reached
// standard output by then, even when it is a pipe and the line is unfinished.
TEST(Output, FlushedBeforeBlocking) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  fflush(stdout);
  int saved = dup(1);
  dup2(fds[1], 1);
  std::string atSleep, atReadline, afterPrint;
  {
    Interpreter in;
    in.host.input.FeedText("input\n");
    in.host.sleep = [&](std::int64_t) { atSleep = Pending(fds[0]); };
    HandleString(in, "printc, \"before sleep\"");
    HandleString(in, "sleep, 10");
    HandleString(in, "printc, \"before readline\"");
    HandleString(in, "readline");
    atReadline = Pending(fds[0]);
    HandleString(in, "print, \"buffered\"");
    afterPrint = Pending(fds[0]);
  }
  std::string atEnd = Pending(fds[0]);
  dup2(saved, 1);
  close(saved);
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(atSleep, "before sleep");
  EXPECT_EQ(atReadline, "before readline");
  EXPECT_EQ(afterPrint + atEnd, "buffered\n");
}

}  // namespace
}  // namespace zarnith
