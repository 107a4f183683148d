// The bass class against a library table set up by the test: what a script
// cannot see through its own eyes (the exact text handed back by test, and
// that nothing loads the library before a command needs it).
#include <gtest/gtest.h>

#include <type_traits>

#include "classes/audio/bass_library.h"
#include "unit/test_interp.h"

namespace zarnith {
namespace {

using namespace bassabi;

const char* deviceName = nullptr;
int calls = 0;

BOOL FakeInit(int, DWORD, DWORD, void*, const void*) { return ++calls, 1; }
HSTREAM FakeCreateFile(BOOL, const void*, QWORD, QWORD, DWORD) { return ++calls, 7; }
HSTREAM FakeCreateURL(const char*, DWORD, DWORD, DOWNLOADPROC*, void*) { return ++calls, 0; }
BOOL FakeChannel(DWORD) { return ++calls, 1; }
BOOL FakePlay(DWORD, BOOL) { return ++calls, 1; }
BOOL FakeSetAttribute(DWORD, DWORD, float) { return ++calls, 1; }
BOOL FakeDeviceInfo(DWORD, BASS_DEVICEINFO* info) {
  info->name = deviceName;
  return ++calls, 1;
}
int FakeErrorGetCode() { return ++calls, -7; }

constexpr BassLibrary kFake{FakeInit,       FakeCreateFile,  FakeCreateURL, FakeChannel,
                            FakePlay,       FakeChannel,     FakeChannel,   FakeSetAttribute,
                            FakeDeviceInfo, FakeErrorGetCode};

// The returned value as text: a number in decimal, a text as it is stored.
std::string Returned(const Interpreter& in) {
  return std::visit(
      [](const auto& v) -> std::string {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::int64_t>) {
          return std::to_string(v);
        } else {
          return std::string(std::string_view(v));
        }
      },
      in.lastReturned.value);
}

struct BassTest : ::testing::Test {
  testing::TestInterpreter t;
  void SetUp() override {
    calls = 0;
    t.Line("use, \"bass\"");
    t.in.bassLibrary = std::make_shared<BassLibrary>(kFake);
  }
  std::string TestName(const char* name) {
    deviceName = name;
    t.Line("bass:test, 0");
    return Returned(t.in);
  }
};

TEST_F(BassTest, DeviceNameIsQuotedUnlessEmptyOrAlreadyQuoted) {
  EXPECT_EQ(TestName("No sound"), "\"No sound\"");
  EXPECT_EQ(TestName("\"Quoted\""), "\"Quoted\"");
  EXPECT_EQ(TestName("\"Starts"), "\"Starts");
  EXPECT_EQ(TestName("Ends\""), "Ends\"");
  EXPECT_EQ(TestName("a \"b\" c"), "\"a \"b\" c\"");
  EXPECT_EQ(TestName(""), "");
  // A library that leaves the name unset must not crash the interpreter.
  EXPECT_EQ(TestName(nullptr), "");
}

TEST_F(BassTest, FailedCreationReportsTheCodeAndTakesNoNumber) {
  EXPECT_EQ(t.Line("bass:url, \"http://x/\""), "error: 1: BASS error: -7\n");
  EXPECT_EQ(Returned(t.in), "-1");
  t.Line("bass:file, \"a.wav\"");
  EXPECT_EQ(Returned(t.in), "1");
  EXPECT_EQ(t.in.bassStreams, std::vector<std::uint32_t>{7});
}

TEST_F(BassTest, ATextWithANulByteNamesNoFile) {
  t.in.stores.Add(t.in.stores.stringVars, "p", std::string("a.wav\0b.wav", 11));
  EXPECT_EQ(t.Line("bass:file, p"), "error: 1: BASS error: 2\n");
  EXPECT_EQ(t.Line("bass:url, p"), "error: 1: BASS error: 2\n");
  EXPECT_EQ(Returned(t.in), "-1");
  EXPECT_EQ(calls, 0) << "the library was handed a cut text";
  EXPECT_TRUE(t.in.bassStreams.empty());
}

TEST(BassLoading, NothingIsLoadedUntilACommandCallsTheLibrary) {
  testing::TestInterpreter t;
  t.Line("use, \"bass\"");
  t.Line("bass:init");
  t.Line("bass:play, 1, 0");
  t.Line("bass:setvolume, 1, 500");
  t.Line("bass:rewind, 1");
  EXPECT_EQ(t.in.bassLibrary, nullptr);
}

}  // namespace
}  // namespace zarnith
