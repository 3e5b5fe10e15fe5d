// The output window: flushing to a real file or only testing, the CRC and the
// counters, the slide that keeps the Deflate history, and write failures.
#include <atomic>
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
#include "stream_test_util.h"

namespace vantelo {
namespace {

using test::RandomBytes;
using test::TempFolder;

constexpr std::int32_t kFlushPoint = kDeflateWindow.flushPoint;
constexpr std::int32_t kHistory = kDeflateWindow.history;

std::uint32_t ZlibCrc(const std::uint8_t* data, std::size_t n) {
  return static_cast<std::uint32_t>(crc32(0L, data, static_cast<uInt>(n)));
}

class OutputTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::Close(file_); }
  // Opens a fresh output file and starts the window on it.
  std::string OpenOutput(const std::string& name = "out.bin") {
    const std::string path = temp_.file(name);
    file_ = platform::CreateForWriting(path, platform::CreateMode::Always);
    EXPECT_NE(file_, platform::kNoFile);
    sink_ = std::make_unique<test::HandleSink>(file_);
    out_.Start(kDeflateWindow, sink_.get(), &bytesDone_);
    return path;
  }
  void CloseOutput() {
    platform::Close(file_);
    file_ = platform::kNoFile;
  }
  // Produces data into the window the way the decoders do: in pieces of up to
  // 258 bytes tested against the flush point before each, so a piece may run
  // into the overrun room; a flush whenever pos reaches the flush point and at the end.
  EntryResult Produce(const std::vector<std::uint8_t>& data) {
    std::size_t at = 0, step = 1;
    EntryResult result = EntryResult::kOk;
    while (at < data.size() && result == EntryResult::kOk) {
      if (out_.pos >= kFlushPoint) result = out_.Flush();
      const std::size_t n = std::min<std::size_t>(step, data.size() - at);
      std::memcpy(out_.bytes.data() + out_.pos, data.data() + at, n);
      out_.pos += static_cast<std::int32_t>(n);
      at += n;
      step = step * 7 % 258 + 1;
    }
    if (result == EntryResult::kOk) result = out_.Flush();
    return result;
  }
  TempFolder temp_;
  platform::FileHandle file_ = platform::kNoFile;
  std::unique_ptr<Sink> sink_;
  OutputWindow out_;
  std::atomic<ZipSize> bytesDone_{0};
};

TEST_F(OutputTest, ExtractWritesEveryByteAndTheCrcMatches) {
  const std::string path = OpenOutput();
  const auto data = RandomBytes(300'001, 21);
  ASSERT_EQ(Produce(data), EntryResult::kOk);
  EXPECT_EQ(out_.delivered, 300'001);
  EXPECT_EQ(bytesDone_, 300'001);
  EXPECT_EQ(out_.Crc(), ZlibCrc(data.data(), data.size()));
  CloseOutput();
  EXPECT_EQ(test::ReadFileBytes(path), std::string(data.begin(), data.end()));
  // The last 32 KiB produced lie right before pos.
  ASSERT_GE(out_.pos, kHistory);
  EXPECT_TRUE(std::equal(out_.bytes.begin() + out_.pos - kHistory, out_.bytes.begin() + out_.pos,
                         data.end() - kHistory));
}

// Testing decodes the same and counts the same, but writes nothing.
TEST_F(OutputTest, TestModeAdvancesCrcAndCountsWithoutWriting) {
  const auto data = RandomBytes(150'000, 22);
  const std::string path = OpenOutput();
  ASSERT_EQ(Produce(data), EntryResult::kOk);
  const std::uint32_t writtenCrc = out_.crc;
  const ZipSize writtenCount = out_.delivered;

  DiscardSink nothing;
  bytesDone_ = 10;  // counts go on from where the batch stands
  out_.Start(kDeflateWindow, &nothing, &bytesDone_);
  EXPECT_EQ(Produce(data), EntryResult::kOk);
  EXPECT_EQ(out_.crc, writtenCrc);
  EXPECT_EQ(out_.delivered, writtenCount);
  EXPECT_EQ(bytesDone_, 10 + 150'000);
  CloseOutput();
  EXPECT_EQ(std::filesystem::file_size(path), 150'000u);  // the file has only the first run
}

TEST_F(OutputTest, FlushOfZeroBytesWritesNothingButStillSlides) {
  const std::string path = OpenOutput();
  out_.pos = out_.start = 100;
  out_.delivered = 7;
  out_.crc = 0x12345678u;
  ASSERT_EQ(out_.Flush(), EntryResult::kOk);
  EXPECT_EQ(out_.delivered, 7);
  EXPECT_EQ(out_.crc, 0x12345678u);
  EXPECT_EQ(out_.pos, 100);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);

  for (std::int32_t i = 0; i < kFlushPoint + 10; ++i) out_.bytes[i] = static_cast<std::uint8_t>(i * 31);
  out_.pos = out_.start = kFlushPoint + 10;
  ASSERT_EQ(out_.Flush(), EntryResult::kOk);
  EXPECT_EQ(out_.pos, kHistory);
  EXPECT_EQ(out_.start, kHistory);
  EXPECT_EQ(out_.crc, 0x12345678u);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  for (std::int32_t i = 0; i < kHistory; ++i)
    ASSERT_EQ(out_.bytes[i], static_cast<std::uint8_t>((i + kFlushPoint + 10 - kHistory) * 31));
}

// An entry of exactly 65536 bytes goes out in one write at its end; the
// window then slides its second half to the front.
TEST_F(OutputTest, EntryOfExactly65536BytesIsOneWriteThenSlides) {
  const std::string path = OpenOutput();
  const auto data = RandomBytes(65536, 23);
  std::copy(data.begin(), data.end(), out_.bytes.begin());
  out_.pos = 65536;
  ASSERT_EQ(out_.Flush(), EntryResult::kOk);
  EXPECT_EQ(std::filesystem::file_size(path), 65536u);
  EXPECT_EQ(out_.pos, 32768);
  EXPECT_EQ(out_.start, 32768);
  EXPECT_EQ(out_.delivered, 65536);
  EXPECT_EQ(out_.Crc(), ZlibCrc(data.data(), data.size()));
  EXPECT_TRUE(std::equal(out_.bytes.begin(), out_.bytes.begin() + 32768, data.begin() + 32768));
}

// Deflate64's window flushes at 128 KiB and keeps 64 KiB of history.
TEST_F(OutputTest, Deflate64WindowKeeps64KiBOfHistory) {
  const std::string path = OpenOutput();
  out_.Start(kDeflate64Window, sink_.get(), &bytesDone_);
  const auto data = RandomBytes(300'000, 24);
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(kDeflate64Window.flushPoint - out_.pos),
                                                data.size() - at);
    std::memcpy(out_.bytes.data() + out_.pos, data.data() + at, n);
    out_.pos += static_cast<std::int32_t>(n);
    at += n;
    if (out_.pos >= kDeflate64Window.flushPoint) {
      ASSERT_EQ(out_.Flush(), EntryResult::kOk);
      EXPECT_EQ(out_.pos, 65536);
      EXPECT_TRUE(std::equal(out_.bytes.begin(), out_.bytes.begin() + 65536,
                             data.begin() + static_cast<std::ptrdiff_t>(at) - 65536));
    }
  }
  ASSERT_EQ(out_.Flush(), EntryResult::kOk);
  EXPECT_EQ(out_.Crc(), ZlibCrc(data.data(), data.size()));
  CloseOutput();
  EXPECT_EQ(test::ReadFileBytes(path), std::string(data.begin(), data.end()));
}

// A write that fails: error 5, the bytes stay pending and the CRC unchanged,
// while the batch's byte count already has them.
TEST_F(OutputTest, WriteFailureIsErrorFiveAndLeavesTheChunkPending) {
  for (const std::string target : {"read-only", "/dev/full"}) {
    SCOPED_TRACE(target);
    platform::FileHandle file = platform::kNoFile;
    if (target == "read-only") {
      const std::string path = temp_.file("ro.bin");
      test::WriteFileBytes(path, "");
      file = platform::OpenForReading(path);
    } else {
      if (!std::filesystem::exists("/dev/full")) continue;
      file = platform::CreateForWriting("/dev/full", platform::CreateMode::Always);
    }
    ASSERT_NE(file, platform::kNoFile);
    test::HandleSink sink(file);
    std::atomic<ZipSize> bytesDone{0};
    OutputWindow out;
    out.Start(kDeflateWindow, &sink, &bytesDone);
    out.pos = 1000;
    out.delivered = 3;
    out.crc = 0xCAFEF00Du;
    EXPECT_EQ(out.Flush(), EntryResult::kWriteFailed);
    EXPECT_EQ(bytesDone, 1000);
    EXPECT_EQ(out.delivered, 3);
    EXPECT_EQ(out.crc, 0xCAFEF00Du);
    EXPECT_EQ(out.start, 0);
    EXPECT_EQ(out.pos, 1000);
    const FailureText failure = DescribeFailure(EntryResult::kWriteFailed, "", "docs/out.bin");
    EXPECT_EQ(failure.number, kErrWrite);
    EXPECT_EQ(failure.message, "Error writing to file docs/out.bin !");
    platform::Close(file);
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
    const platform::FileHandle file = platform::CreateForWriting(path, platform::CreateMode::Always);
    test::HandleSink sink(file);
    static OutputWindow out;
    out.Start(kDeflateWindow, &sink, nullptr);
    out.pos = 65536;
    const bool ok = out.Flush() == EntryResult::kWriteFailed && out.delivered == 0 && out.pos - out.start == 65536;
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
