// The entry input: positioned fills, refills with the batch's progress call,
// break test and slide, read failures, the end of the archive, the bit reader,
// and reading from memory.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>

#include "common/test_support.h"
#include "engine/progress_gate.h"
#include "stream_test_util.h"

namespace vantelo {
namespace {

using test::FileInput;
using test::RandomBytes;
using test::TempFolder;

std::string ReadFailureText(const std::string& archive) {
  return DescribeFailure(EntryResult::kReadFailed, archive, "").message;
}

std::uint32_t g_now = 0;
std::uint32_t FakeTicks() { return g_now; }

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetTickSource(&FakeTicks);
    g_now = 1000;
  }
  void TearDown() override { platform::SetTickSource(nullptr); }

  // A file of n random bytes in the temporary folder, opened as the input's source.
  std::unique_ptr<FileInput> Archive(std::size_t n, std::uint32_t seed = 9) {
    bytes_ = RandomBytes(n, seed);
    path_ = temp_.file("input.bin");
    test::WriteFileBytes(path_, std::string(bytes_.begin(), bytes_.end()));
    auto archive = std::make_unique<FileInput>(path_);
    EXPECT_TRUE(archive->ok());
    return archive;
  }
  bool BufferHoldsFileBytes(const EntryInput& in, ZipSize from, std::int32_t count) const {
    return std::equal(in.buffer.begin(), in.buffer.begin() + count, bytes_.begin() + from);
  }

  TempFolder temp_;
  std::vector<std::uint8_t> bytes_;
  std::string path_;
};

TEST_F(InputTest, FillAtReadsAFullBufferFromItsOffset) {
  auto archive = Archive(100'000);
  EntryInput& in = archive->input;
  in.bitPos = 5;
  in.pos = 77;
  ASSERT_EQ(in.FillAt(1234), EntryResult::kOk);
  EXPECT_EQ(in.base, 1234);
  EXPECT_EQ(in.lastRead, 32768);
  EXPECT_EQ(in.count, 32768);
  EXPECT_EQ(in.limit, 32768 - 16);
  EXPECT_EQ(in.pos, 0);
  EXPECT_EQ(in.bitPos, 5);  // left to the caller
  EXPECT_TRUE(BufferHoldsFileBytes(in, 1234, 32768));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(in.buffer[32768 + i], 0) << "slack byte " << i;
}

// A fill near or past the end leaves no byte of an earlier fill behind: a
// local header that was buffered before must not be found again.
TEST_F(InputTest, FillAtPastTheEndLeavesNoStaleHeader) {
  auto archive = Archive(5000);
  EntryInput& in = archive->input;
  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  ASSERT_EQ(in.count, 5000);
  in.buffer[0] = 'P', in.buffer[1] = 'K', in.buffer[2] = 3, in.buffer[3] = 4;

  ASSERT_EQ(in.FillAt(4990), EntryResult::kOk);
  EXPECT_EQ(in.count, 10);
  EXPECT_TRUE(BufferHoldsFileBytes(in, 4990, 10));
  EXPECT_TRUE(std::all_of(in.buffer.begin() + 10, in.buffer.end(), [](std::uint8_t b) { return b == 0; }));

  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  in.buffer[0] = 'P', in.buffer[1] = 'K', in.buffer[2] = 3, in.buffer[3] = 4;
  ASSERT_EQ(in.FillAt(1'000'000), EntryResult::kOk);  // a read of 0 bytes is no error by itself
  EXPECT_EQ(in.count, 0);
  EXPECT_EQ(in.limit, -16);
  EXPECT_TRUE(std::all_of(in.buffer.begin(), in.buffer.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(InputTest, FillAtNegativeOffsetIsAReadError) {
  auto archive = Archive(5000);
  EntryInput& in = archive->input;
  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  for (std::int32_t offset : {-1, -2, -40000}) {
    in.pos = 3;
    EXPECT_EQ(in.FillAt(offset), EntryResult::kReadFailed) << offset;
    EXPECT_EQ(in.count, 5000);  // buffer fields as they were
    EXPECT_EQ(in.pos, 3);
    EXPECT_EQ(in.base, 0);
  }
  EXPECT_EQ(ReadFailureText(path_), "Error reading from file " + path_ + " !");
  EXPECT_EQ(DescribeFailure(EntryResult::kReadFailed, path_, "").number, kErrRead);
}

TEST_F(InputTest, ReadFailuresGiveErrorThreeAndRefillKeepsItsSlide) {
  // A handle open for writing only: every read fails.
  const std::string path = temp_.file("write-only.bin");
  test::WriteFileBytes(path, std::string(100, 'x'));
  FileInput archive(platform::CreateForWriting(path, platform::CreateMode::Always));
  ASSERT_TRUE(archive.ok());
  EntryInput& in = archive.input;

  in.count = 500, in.limit = 484, in.pos = 7;
  EXPECT_EQ(in.FillAt(0), EntryResult::kReadFailed);
  EXPECT_EQ(in.lastRead, -1);
  EXPECT_EQ(in.count, 500);
  EXPECT_EQ(in.pos, 7);

  in.base = 1000, in.count = 500, in.pos = 400, in.limit = 484;
  EXPECT_EQ(in.Refill(), EntryResult::kReadFailed);
  EXPECT_EQ(in.pos, 0);
  EXPECT_EQ(in.base, 1400);
  EXPECT_EQ(in.count, 100);
}

// The unconsumed bytes move to the front, the rest of the buffer is read on
// without a seek, and bitPos stays as it was.
TEST_F(InputTest, RefillSlidesAndReadsOn) {
  auto archive = Archive(100'000);
  EntryInput& in = archive->input;
  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  in.pos = 30'001;
  in.bitPos = 11;
  ASSERT_EQ(in.Refill(), EntryResult::kOk);
  EXPECT_EQ(in.base, 30'001);
  EXPECT_EQ(in.pos, 0);
  EXPECT_EQ(in.bitPos, 11);
  EXPECT_EQ(in.lastRead, 30'001);
  EXPECT_EQ(in.count, 32768);
  EXPECT_TRUE(BufferHoldsFileBytes(in, 30'001, 32768));

  // To the end of the file: a short read, the tail after count is zero.
  while (in.base + in.count < 100'000) {
    in.pos = in.limit;
    ASSERT_EQ(in.Refill(), EntryResult::kOk);
  }
  EXPECT_LT(in.count, 32768);
  EXPECT_TRUE(BufferHoldsFileBytes(in, in.base, in.count));
  EXPECT_TRUE(std::all_of(in.buffer.begin() + in.count, in.buffer.end(), [](std::uint8_t b) { return b == 0; }));
}

// The archive ends while a decoder still wants input: with more than 16 bytes
// left the refill goes on quietly (a valid archive always has at least the end
// record after any entry's data); at 16 or fewer it stops as damage (error 1).
TEST_F(InputTest, TruncatedInputStopsWithDamagedError) {
  auto archive = Archive(1000);
  EntryInput& in = archive->input;
  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  in.pos = 1000 - 17;
  ASSERT_EQ(in.Refill(), EntryResult::kOk);
  EXPECT_EQ(in.count, 17);
  EXPECT_EQ(in.limit, 1);
  EXPECT_EQ(in.lastRead, 0);

  in.pos = 1;
  EXPECT_EQ(in.Refill(), EntryResult::kDamaged);
  EXPECT_EQ(in.count, 16);
  EXPECT_TRUE(BufferHoldsFileBytes(in, 1000 - 16, 16));
  const FailureText failure = DescribeFailure(EntryResult::kDamaged, path_, "");
  EXPECT_EQ(failure.number, kErrDamaged);
  EXPECT_EQ(failure.message, "The structure of ZIP file is damaged!");
}

// A stored copy over an archive cut short ends with the error, never reads a
// byte past count and does not refill without end.
TEST_F(InputTest, StoredCopyOverTruncatedArchiveStops) {
  auto archive = Archive(70'000);
  EntryInput& in = archive->input;
  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  in.pos = 100;
  OutputWindow out;
  DiscardSink nothing;
  out.Start(kDeflateWindow, &nothing, nullptr);
  EntryResult result = EntryResult::kOk;
  const int refills = test::CopyStored(in, out, 200'000, &result, 997);
  EXPECT_EQ(result, EntryResult::kDamaged);
  EXPECT_LE(refills, 10);
  EXPECT_LE(out.delivered, 70'000 - 100);
}

// The bit reader over many refills: bits taken in varying counts come out as
// the file's bit stream, least significant bit first, across every slide.
TEST_F(InputTest, TakeBitsFollowsTheStreamAcrossRefills) {
  auto archive = Archive(150'000, 17);
  EntryInput& in = archive->input;
  ASSERT_EQ(in.FillAt(0), EntryResult::kOk);
  std::size_t bit = 0;
  int n = 1;
  while (bit + 8 * 24 < 150'000 * 8) {  // stops short of the last 16 bytes
    ASSERT_LE(in.pos + 4, in.count);
    const std::uint32_t peeked = in.PeekBits();
    std::uint32_t expected = 0;
    for (int i = 0; i < n; ++i) {
      const std::size_t b = bit + static_cast<std::size_t>(i);
      expected |= static_cast<std::uint32_t>((bytes_[b / 8] >> (b % 8)) & 1) << i;
    }
    ASSERT_EQ(peeked & ((1u << n) - 1), expected) << "at bit " << bit;
    ASSERT_EQ(in.TakeBits(n), EntryResult::kOk);
    bit += static_cast<std::size_t>(n);
    ASSERT_EQ(static_cast<std::size_t>(in.BitOffset()), bit);
    n = n % 16 + 1;
  }
  // Past the end the reader stops with the error instead of reading on.
  EntryResult result = EntryResult::kOk;
  for (int i = 0; i < 100 && result == EntryResult::kOk; ++i) result = in.TakeBits(16);
  EXPECT_EQ(result, EntryResult::kDamaged);
}

TEST_F(InputTest, SkipBitsAndAlignToByte) {
  EntryInput in;
  const std::uint8_t data[] = {0xB5, 0x3C, 0x0F, 0xF0, 0x81, 0x42};
  std::copy(std::begin(data), std::end(data), in.buffer.begin());
  in.count = 6;
  EXPECT_EQ(in.PeekBits(), 0xF00F3CB5u);
  in.SkipBits(3);
  EXPECT_EQ(in.PeekBits() & 0x1FFFF, (0xF00F3CB5u >> 3) & 0x1FFFF);
  in.SkipBits(14);  // 17 bits: into the next 16-bit unit
  EXPECT_EQ(in.pos, 2);
  EXPECT_EQ(in.bitPos, 1);
  EXPECT_EQ(in.PeekBits(), 0x4281F00Fu >> 1);
  in.AlignToByte();
  EXPECT_EQ(in.pos, 3);
  EXPECT_EQ(in.bitPos, 0);
  in.AlignToByte();  // already on a byte boundary
  EXPECT_EQ(in.pos, 3);
  in.bitPos = 9;
  in.AlignToByte();
  EXPECT_EQ(in.pos, 5);
  EXPECT_EQ(in.bitPos, 0);
  in.bitPos = 8;
  in.AlignToByte();
  EXPECT_EQ(in.pos, 6);
  EXPECT_EQ(in.bitPos, 0);
}

// Bytes in memory read as a file would: positioned fills, refills to the end,
// and the same damage when the bytes run out mid-stream.
TEST_F(InputTest, MemorySourceReadsLikeAFile) {
  const auto bytes = RandomBytes(50'000, 5);
  MemorySource memory(bytes.data(), bytes.size());
  EntryInput in;
  in.Connect(&memory, nullptr);
  bytes_ = bytes;
  ASSERT_EQ(in.FillAt(20'000), EntryResult::kOk);
  EXPECT_EQ(in.count, 30'000);
  EXPECT_TRUE(BufferHoldsFileBytes(in, 20'000, 30'000));
  EXPECT_EQ(in.FillAt(-1), EntryResult::kReadFailed);
  in.pos = in.limit - 1;
  ASSERT_EQ(in.Refill(), EntryResult::kOk);  // 17 left, nothing more: not yet cut off
  EXPECT_EQ(in.count, 17);
  in.pos = 1;
  EXPECT_EQ(in.Refill(), EntryResult::kDamaged);
}

// --- progress callback and break -------------------------------------------

class ProgressTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    archive_ = Archive(200'000);
    StartGateAt(g_now);
    ASSERT_EQ(in().FillAt(0), EntryResult::kOk);
  }
  // A batch's gate whose last call was at tick `at`, counting calls.
  void StartGateAt(std::uint32_t at) {
    const std::uint32_t now = g_now;
    g_now = at;
    gate_.emplace([this] { ++calls_; }, userBreak_);
    g_now = now;
    archive_->SetGate(&*gate_);
  }
  EntryInput& in() { return archive_->input; }
  EntryResult Refill() {
    in().pos = in().limit;
    return in().Refill();
  }
  std::atomic<bool> userBreak_{false};
  std::optional<ProgressGate> gate_;
  std::unique_ptr<FileInput> archive_;
  int calls_ = 0;
};

TEST_F(ProgressTest, CalledOnlyWhenMoreThan200MillisecondsPassed) {
  Refill();
  EXPECT_EQ(calls_, 0);
  g_now = 1200;
  Refill();
  EXPECT_EQ(calls_, 0);
  EXPECT_EQ(gate_->LastCallTick(), 1000u);
  g_now = 1201;
  Refill();
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(gate_->LastCallTick(), 1201u);
  g_now = 1401;
  Refill();
  EXPECT_EQ(calls_, 1);
  g_now = 1402;
  EXPECT_EQ(Refill(), EntryResult::kOk);
  EXPECT_EQ(calls_, 2);
}

TEST_F(ProgressTest, TickWrapAndClockBehindAreHarmless) {
  StartGateAt(0xFFFFFF00u);
  g_now = 0x00000008u;  // 264 ms later, across the wrap
  Refill();
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(gate_->LastCallTick(), 8u);
  g_now = 0xFFFFFFF0u;  // behind the last call: a negative difference
  Refill();
  EXPECT_EQ(calls_, 1);
  g_now = 8u + 0x7FFFFFFFu;  // as far ahead as a signed difference reaches
  Refill();
  EXPECT_EQ(calls_, 2);
}

TEST_F(ProgressTest, NoCallbackStillMovesTheTick) {
  gate_->SetProcedure(nullptr);
  g_now = 5000;
  EXPECT_EQ(Refill(), EntryResult::kOk);
  EXPECT_EQ(gate_->LastCallTick(), 5000u);
}

TEST_F(ProgressTest, BreakRequestedInTheCallbackIsHonouredInTheSameRefill) {
  gate_->SetProcedure([this] {
    ++calls_;
    userBreak_ = true;
  });
  in().pos = 500;
  const ZipSize base = in().base;
  g_now = 2000;
  EXPECT_EQ(in().Refill(), EntryResult::kUserBreak);
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(in().pos, 500);  // the buffer is untouched
  EXPECT_EQ(in().base, base);
  const FailureText failure = DescribeFailure(EntryResult::kUserBreak, path_, "");
  EXPECT_EQ(failure.number, kErrRead);
  EXPECT_EQ(failure.message, "User break!");
}

TEST_F(ProgressTest, BreakIsTestedOnEveryRefillEvenWithoutACall) {
  userBreak_ = true;
  EXPECT_EQ(Refill(), EntryResult::kUserBreak);
  EXPECT_EQ(calls_, 0);
}

TEST_F(ProgressTest, ExceptionFromCallbackGivesError22EvenWithBreakSet) {
  userBreak_ = true;
  gate_->SetProcedure([] { throw std::runtime_error("boom"); });
  g_now = 3000;
  in().pos = 600;
  EXPECT_EQ(in().Refill(), EntryResult::kCallbackFailed);
  EXPECT_EQ(in().pos, 600);
  const FailureText failure = DescribeFailure(EntryResult::kCallbackFailed, path_, "");
  EXPECT_EQ(failure.number, kErrCallback);
  EXPECT_EQ(failure.message, "Error in runtime info function");

  userBreak_ = false;
  gate_->SetProcedure([] { throw 42; });  // not even a std::exception
  g_now = 4000;
  EXPECT_EQ(in().Refill(), EntryResult::kCallbackFailed);
}

}  // namespace
}  // namespace vantelo
