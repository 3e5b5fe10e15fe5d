// A batch over many tiny entries: the progress procedure and the break request
// are looked at before every entry, not only when the input is refilled (such
// entries need next to no refills). The clock is the test's own: it moves 1 ms
// each time the engine reads it, so nothing here depends on real time.
#include <gtest/gtest.h>

#include <atomic>

#include "common/test_support.h"
#include "engine/engine.h"
#include "platform/platform.h"

namespace vantelo {
namespace {

#ifdef _WIN32
constexpr bool kCanRunPython = false;  // under Wine, commands go through cmd.exe
#else
constexpr bool kCanRunPython = true;
#endif

constexpr std::int32_t kEntries = 20'000;

std::atomic<std::uint32_t> g_tick{0};  // read by the batch's threads
std::uint32_t OneMillisecondPerLook() { return ++g_tick; }

class TinyEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kCanRunPython) GTEST_SKIP() << "python3 makes this archive";
    const std::string zip = tmp_.file("tiny.zip");
    ASSERT_EQ(test::RunCommand("python3 " + test::DataPath("make-many-entries.py") + " " + zip + " " +
                               std::to_string(kEntries)),
              0);
    ASSERT_EQ(OpenArchive(zip), 0) << GetLastMessage();
    ASSERT_EQ(GetEntryCount(), kEntries);
    platform::SetTickSource(&OneMillisecondPerLook);
  }
  void TearDown() override {
    platform::SetTickSource(nullptr);
    CloseArchive();
  }
  test::TempFolder tmp_;
};

TEST_F(TinyEntriesTest, ProgressIsReportedWhileTheyRun) {
  std::vector<std::int32_t> filesAtCall;
  const std::int32_t error = ExtractAll("", "", false, true, /*testOnly=*/true, [&filesAtCall] {
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    filesAtCall.push_back(files);
  });
  ASSERT_EQ(error, 0) << GetLastMessage();
  // At least one look per entry, a call whenever more than 200 looks passed.
  EXPECT_GE(filesAtCall.size(), static_cast<std::size_t>(kEntries / 201));
  ASSERT_FALSE(filesAtCall.empty());
  EXPECT_LT(filesAtCall.front(), 250);
  EXPECT_GT(filesAtCall.back(), kEntries - 250);
  for (std::size_t k = 1; k < filesAtCall.size(); ++k)
    EXPECT_GT(filesAtCall[k], filesAtCall[k - 1]) << k;  // progress between calls
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  EXPECT_EQ(files, kEntries);
  EXPECT_EQ(GetEntryStatus(kEntries - 1), kStatusOk);
}

TEST_F(TinyEntriesTest, ABreakStopsTheRunAtTheNextEntry) {
  std::int32_t breakAt = -1;
  const std::int32_t error = ExtractAll("", "", false, true, /*testOnly=*/true, [&breakAt] {
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    if (files >= 1000 && breakAt < 0) {
      breakAt = files;
      RequestBreak();
    }
  });
  EXPECT_EQ(error, kErrRead);
  EXPECT_EQ(GetLastMessage(), "User break!");
  ASSERT_GE(breakAt, 1000);
  // Stopped at the entry in hand when the call came (between entries, or in
  // one's refill): the ones before it are done, it and the rest have no verdict.
  const std::int32_t stopped = GetStoppedEntry();
  EXPECT_GE(stopped, breakAt - 1);
  EXPECT_LE(stopped, breakAt);
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  EXPECT_LE(files, stopped + 1);  // not one entry more
  EXPECT_EQ(GetEntryStatus(stopped - 1), kStatusOk);
  EXPECT_EQ(GetEntryStatus(stopped), "");
  EXPECT_EQ(GetEntryStatus(stopped + 1), "");
}

}  // namespace
}  // namespace vantelo
