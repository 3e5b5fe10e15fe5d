// The output window: flushing to a real file or only testing, the CRC and the
// counters, the slide that keeps the Deflate history, and write failures.
#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "common/test_support.h"
#include "engine/stream_io.h"
#include "stream_test_util.h"

namespace vantelo {
namespace {

using test::RandomBytes;
using test::TempFolder;

std::uint32_t ZlibCrc(const std::uint8_t* data, std::size_t n) {
  return static_cast<std::uint32_t>(crc32(0L, data, static_cast<uInt>(n)));
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetStreamState(); }
  void TearDown() override {
    EngineState& s = Engine();
    platform::Close(s.OutputHandle);
    test::ResetStreamState();
  }
  // Opens a fresh output file as the engine's output handle.
  std::string OpenOutput(const std::string& name = "out.bin") {
    EngineState& s = Engine();
    const std::string path = temp_.file(name);
    s.OutputName = name;
    s.OutputHandle = platform::CreateForWriting(path, platform::CreateMode::Always);
    EXPECT_NE(s.OutputHandle, platform::kNoFile);
    s.TestOnly = false;
    return path;
  }
  // Produces data into the window the way the decoders do: in pieces of up to
  // 258 bytes tested against the flush point before each, so a piece may run
  // into the overrun room; a flush whenever OutPos reaches 65536 and at the end.
  void Produce(const std::vector<std::uint8_t>& data) {
    EngineState& s = Engine();
    std::size_t at = 0, step = 1;
    while (at < data.size() && s.ErrorNo == 0) {
      if (s.OutPos >= kOutWindowSize) Flush();
      const std::size_t n = std::min<std::size_t>(step, data.size() - at);
      std::memcpy(s.OutWindow.data() + s.OutPos, data.data() + at, n);
      s.OutPos += static_cast<std::int32_t>(n);
      at += n;
      step = step * 7 % 258 + 1;
    }
    if (s.ErrorNo == 0) Flush();
  }
  void Flush() {
    EngineState& s = Engine();
    s.OutPending = s.OutPos - s.OutStart;
    FlushOutput();
  }
  TempFolder temp_;
};

TEST_F(OutputTest, ExtractWritesEveryByteAndTheCrcMatches) {
  const std::string path = OpenOutput();
  const auto data = RandomBytes(300'001, 21);
  Produce(data);
  EngineState& s = Engine();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.EntryOutCount, 300'001);
  EXPECT_EQ(s.BytesDone, 300'001);
  EXPECT_EQ(~s.EntryCrc, ZlibCrc(data.data(), data.size()));
  platform::Close(s.OutputHandle);
  s.OutputHandle = platform::kNoFile;
  EXPECT_EQ(test::ReadFileBytes(path), std::string(data.begin(), data.end()));
  // The last 32 KiB produced lie right before OutPos.
  ASSERT_GE(s.OutPos, kHistorySize);
  EXPECT_TRUE(std::equal(s.OutWindow.begin() + s.OutPos - kHistorySize, s.OutWindow.begin() + s.OutPos,
                         data.end() - kHistorySize));
}

// Testing decodes the same and counts the same, but writes nothing.
TEST_F(OutputTest, TestModeAdvancesCrcAndCountsWithoutWriting) {
  const auto data = RandomBytes(150'000, 22);
  EngineState& s = Engine();
  const std::string path = OpenOutput();
  Produce(data);
  const std::uint32_t writtenCrc = s.EntryCrc;
  const std::int32_t writtenCount = s.EntryOutCount;

  test::ResetStreamState();
  s.BytesDone = 10;  // counts go on from where the batch stands
  ASSERT_TRUE(s.TestOnly);
  s.OutputHandle = platform::kNoFile;  // there is no file to write to
  Produce(data);
  EXPECT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.EntryCrc, writtenCrc);
  EXPECT_EQ(s.EntryOutCount, writtenCount);
  EXPECT_EQ(s.BytesDone, 10 + 150'000);
}

TEST_F(OutputTest, FlushOfZeroBytesWritesNothingButStillSlides) {
  const std::string path = OpenOutput();
  EngineState& s = Engine();
  s.OutPos = s.OutStart = 100;
  s.EntryOutCount = 7;
  s.EntryCrc = 0x12345678u;
  Flush();
  EXPECT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.EntryOutCount, 7);
  EXPECT_EQ(s.EntryCrc, 0x12345678u);
  EXPECT_EQ(s.OutPos, 100);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);

  for (std::int32_t i = 0; i < kOutWindowSize + 10; ++i) s.OutWindow[i] = static_cast<std::uint8_t>(i * 31);
  s.OutPos = s.OutStart = kOutWindowSize + 10;
  Flush();
  EXPECT_EQ(s.OutPos, kHistorySize);
  EXPECT_EQ(s.OutStart, kHistorySize);
  EXPECT_EQ(s.EntryCrc, 0x12345678u);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  for (std::int32_t i = 0; i < kHistorySize; ++i)
    ASSERT_EQ(s.OutWindow[i], static_cast<std::uint8_t>((i + kOutWindowSize + 10 - kHistorySize) * 31));
}

// An entry of exactly 65536 bytes goes out in one write at its end; the
// window then slides its second half to the front.
TEST_F(OutputTest, EntryOfExactly65536BytesIsOneWriteThenSlides) {
  const std::string path = OpenOutput();
  EngineState& s = Engine();
  const auto data = RandomBytes(65536, 23);
  std::copy(data.begin(), data.end(), s.OutWindow.begin());
  s.OutPos = 65536;
  Flush();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(std::filesystem::file_size(path), 65536u);
  EXPECT_EQ(s.OutPos, 32768);
  EXPECT_EQ(s.OutStart, 32768);
  EXPECT_EQ(s.OutPending, 0);
  EXPECT_EQ(s.EntryOutCount, 65536);
  EXPECT_EQ(~s.EntryCrc, ZlibCrc(data.data(), data.size()));
  EXPECT_TRUE(std::equal(s.OutWindow.begin(), s.OutWindow.begin() + 32768, data.begin() + 32768));
}

// A write that fails: error 5, the bytes stay pending and the CRC unchanged,
// while BytesDone already counts them.
TEST_F(OutputTest, WriteFailureIsErrorFiveAndLeavesTheChunkPending) {
  for (const std::string target : {"read-only", "/dev/full"}) {
    SCOPED_TRACE(target);
    test::ResetStreamState();
    EngineState& s = Engine();
    s.TestOnly = false;
    s.OutputName = "docs/out.bin";
    if (target == "read-only") {
      const std::string path = temp_.file("ro.bin");
      test::WriteFileBytes(path, "");
      s.OutputHandle = platform::OpenForReading(path);
    } else {
      if (!std::filesystem::exists("/dev/full")) continue;
      s.OutputHandle = platform::CreateForWriting("/dev/full", platform::CreateMode::Always);
    }
    ASSERT_NE(s.OutputHandle, platform::kNoFile);
    s.OutPos = 1000;
    s.EntryOutCount = 3;
    s.EntryCrc = 0xCAFEF00Du;
    Flush();
    EXPECT_EQ(s.ErrorNo, kErrWrite);
    EXPECT_EQ(s.ErrorMsg, "Error writing to file docs/out.bin !");
    EXPECT_EQ(s.BytesDone, 1000);
    EXPECT_EQ(s.EntryOutCount, 3);
    EXPECT_EQ(s.EntryCrc, 0xCAFEF00Du);
    EXPECT_EQ(s.OutStart, 0);
    EXPECT_EQ(s.OutPending, 1000);
    platform::Close(s.OutputHandle);
    s.OutputHandle = platform::kNoFile;
  }
}

#ifndef _WIN32  // needs fork and a file-size limit
// A write cut short by the file size limit: part of the chunk lands on disk,
// the rest cannot be written. That is a failure (error 5), not "Ok." for a
// short file. Runs in a child process, which alone gets the limit.
TEST_F(OutputTest, PartialWriteThatCannotCompleteIsErrorFive) {
  const std::string path = temp_.file("limited.bin");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{40'000, 40'000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    test::ResetStreamState();
    EngineState& s = Engine();
    s.TestOnly = false;
    s.OutputName = "limited.bin";
    s.OutputHandle = platform::CreateForWriting(path, platform::CreateMode::Always);
    s.OutPos = 65536;
    s.OutPending = 65536;
    FlushOutput();
    const bool ok = s.ErrorNo == kErrWrite && s.EntryOutCount == 0 && s.OutPending == 65536;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(std::filesystem::file_size(path), 40'000u);  // the write did start
}
#endif

}  // namespace
}  // namespace vantelo
