// The input buffer: positioned fills, refills with their progress call, break
// test and slide, read failures, the end of the archive, and the bit reader.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/test_support.h"
#include "engine/stream_io.h"
#include "stream_test_util.h"

namespace vantelo {
namespace {

using test::RandomBytes;
using test::RawArchive;
using test::TempFolder;

std::uint32_t g_now = 0;
std::uint32_t FakeTicks() { return g_now; }

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ResetStreamState();
    platform::SetTickSource(&FakeTicks);
    g_now = 1000;
    Engine().LastCallbackTick = g_now;
  }
  void TearDown() override {
    platform::SetTickSource(nullptr);
    test::ResetStreamState();
  }

  // A file of n random bytes in the temporary folder, opened as the archive.
  std::unique_ptr<RawArchive> Archive(std::size_t n, std::uint32_t seed = 9) {
    bytes_ = RandomBytes(n, seed);
    const std::string path = temp_.file("input.bin");
    test::WriteFileBytes(path, std::string(bytes_.begin(), bytes_.end()));
    auto archive = std::make_unique<RawArchive>(path);
    EXPECT_TRUE(archive->ok());
    return archive;
  }
  bool BufferHoldsFileBytes(std::int32_t from, std::int32_t count) const {
    const EngineState& s = Engine();
    return std::equal(s.InBuffer.begin(), s.InBuffer.begin() + count, bytes_.begin() + from);
  }

  TempFolder temp_;
  std::vector<std::uint8_t> bytes_;
};

TEST_F(InputTest, FillInputAtReadsAFullBufferFromInBase) {
  auto archive = Archive(100'000);
  EngineState& s = Engine();
  s.InBase = 1234;
  s.InBitPos = 5;
  s.InPos = 77;
  FillInputAt();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.ReadCount, 32768);
  EXPECT_EQ(s.InCount, 32768);
  EXPECT_EQ(s.InLimit, 32768 - 16);
  EXPECT_EQ(s.InPos, 0);
  EXPECT_EQ(s.InBitPos, 5);  // left to the caller
  EXPECT_TRUE(BufferHoldsFileBytes(1234, 32768));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.InBuffer[32768 + i], 0) << "slack byte " << i;
}

// A fill near or past the end leaves no byte of an earlier fill behind: a
// local header that was buffered before must not be found again.
TEST_F(InputTest, FillInputAtPastTheEndLeavesNoStaleHeader) {
  auto archive = Archive(5000);
  EngineState& s = Engine();
  FillInputAt();
  ASSERT_EQ(s.InCount, 5000);
  s.InBuffer[0] = 'P', s.InBuffer[1] = 'K', s.InBuffer[2] = 3, s.InBuffer[3] = 4;

  s.InBase = 4990;
  FillInputAt();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.InCount, 10);
  EXPECT_TRUE(BufferHoldsFileBytes(4990, 10));
  EXPECT_TRUE(std::all_of(s.InBuffer.begin() + 10, s.InBuffer.end(), [](std::uint8_t b) { return b == 0; }));

  s.InBase = 0;
  FillInputAt();
  s.InBuffer[0] = 'P', s.InBuffer[1] = 'K', s.InBuffer[2] = 3, s.InBuffer[3] = 4;
  s.InBase = 1'000'000;
  FillInputAt();
  ASSERT_EQ(s.ErrorNo, 0);  // a read of 0 bytes is no error by itself
  EXPECT_EQ(s.InCount, 0);
  EXPECT_EQ(s.InLimit, -16);
  EXPECT_TRUE(std::all_of(s.InBuffer.begin(), s.InBuffer.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(InputTest, FillInputAtNegativeOffsetIsAReadError) {
  auto archive = Archive(5000);
  EngineState& s = Engine();
  FillInputAt();
  for (std::int32_t offset : {-1, -2, -40000}) {
    s.ErrorNo = 0;
    s.InBase = offset;
    s.InPos = 3;
    FillInputAt();
    EXPECT_EQ(s.ErrorNo, kErrRead) << offset;
    EXPECT_EQ(s.ErrorMsg, "Error reading from file " + s.ArchiveName + " !");
    EXPECT_EQ(s.InCount, 5000);  // buffer fields as they were
    EXPECT_EQ(s.InPos, 3);
  }
}

TEST_F(InputTest, ReadFailuresGiveErrorThreeAndRefillKeepsItsSlide) {
  // A handle open for writing only: every read fails.
  const std::string path = temp_.file("write-only.bin");
  test::WriteFileBytes(path, std::string(100, 'x'));
  EngineState& s = Engine();
  s.ArchiveName = path;
  s.ArchiveHandle = platform::CreateForWriting(path, platform::CreateMode::Always);
  ASSERT_NE(s.ArchiveHandle, platform::kNoFile);

  s.InCount = 500, s.InLimit = 484, s.InPos = 7;
  FillInputAt();
  EXPECT_EQ(s.ErrorNo, kErrRead);
  EXPECT_EQ(s.ErrorMsg, "Error reading from file " + path + " !");
  EXPECT_EQ(s.ReadCount, -1);
  EXPECT_EQ(s.InCount, 500);
  EXPECT_EQ(s.InPos, 7);

  s.ErrorNo = 0;
  s.InBase = 1000, s.InCount = 500, s.InPos = 400, s.InLimit = 484;
  RefillInput();
  EXPECT_EQ(s.ErrorNo, kErrRead);
  EXPECT_EQ(s.InPos, 0);
  EXPECT_EQ(s.InBase, 1400);
  EXPECT_EQ(s.InCount, 100);

  platform::Close(s.ArchiveHandle);
  s.ArchiveHandle = platform::kNoFile;
}

// The unconsumed bytes move to the front, the rest of the buffer is read on
// without a seek, and InBitPos stays as it was.
TEST_F(InputTest, RefillSlidesAndReadsOn) {
  auto archive = Archive(100'000);
  EngineState& s = Engine();
  FillInputAt();
  s.InPos = 30'001;
  s.InBitPos = 11;
  RefillInput();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.InBase, 30'001);
  EXPECT_EQ(s.InPos, 0);
  EXPECT_EQ(s.InBitPos, 11);
  EXPECT_EQ(s.ReadCount, 30'001);
  EXPECT_EQ(s.InCount, 32768);
  EXPECT_TRUE(BufferHoldsFileBytes(30'001, 32768));

  // To the end of the file: a short read, the tail after InCount is zero.
  while (s.InBase + s.InCount < 100'000) {
    s.InPos = s.InLimit;
    RefillInput();
    ASSERT_EQ(s.ErrorNo, 0);
  }
  EXPECT_LT(s.InCount, 32768);
  EXPECT_TRUE(BufferHoldsFileBytes(s.InBase, s.InCount));
  EXPECT_TRUE(std::all_of(s.InBuffer.begin() + s.InCount, s.InBuffer.end(), [](std::uint8_t b) { return b == 0; }));
}

// The archive ends while a decoder still wants input: with more than 16 bytes
// left the refill goes on quietly (a valid archive always has at least the end
// record after any entry's data); at 16 or fewer it stops with error 1.
TEST_F(InputTest, TruncatedInputStopsWithDamagedError) {
  auto archive = Archive(1000);
  EngineState& s = Engine();
  FillInputAt();
  s.InPos = 1000 - 17;
  RefillInput();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.InCount, 17);
  EXPECT_EQ(s.InLimit, 1);
  EXPECT_EQ(s.ReadCount, 0);

  s.InPos = 1;
  RefillInput();
  EXPECT_EQ(s.ErrorNo, kErrDamaged);
  EXPECT_EQ(s.ErrorMsg, "The structure of ZIP file is damaged!");
  EXPECT_EQ(s.InCount, 16);
  EXPECT_TRUE(BufferHoldsFileBytes(1000 - 16, 16));
}

// A stored copy over an archive cut short ends with the error, never reads a
// byte past InCount and does not refill without end.
TEST_F(InputTest, StoredCopyOverTruncatedArchiveStops) {
  auto archive = Archive(70'000);
  EngineState& s = Engine();
  FillInputAt();
  s.InPos = 100;
  const int refills = test::CopyStored(200'000, 997);
  EXPECT_EQ(s.ErrorNo, kErrDamaged);
  EXPECT_LE(refills, 10);
  EXPECT_LE(s.EntryOutCount, 70'000 - 100);
}

// The bit reader over many refills: bits taken in varying counts come out as
// the file's bit stream, least significant bit first, across every slide.
TEST_F(InputTest, TakeBitsFollowsTheStreamAcrossRefills) {
  auto archive = Archive(150'000, 17);
  EngineState& s = Engine();
  FillInputAt();
  std::size_t bit = 0;
  int n = 1;
  while (bit + 8 * 24 < 150'000 * 8) {  // stops short of the last 16 bytes
    ASSERT_LE(s.InPos + 4, s.InCount);
    const std::uint32_t peeked = PeekBits(s);
    std::uint32_t expected = 0;
    for (int i = 0; i < n; ++i) {
      const std::size_t b = bit + static_cast<std::size_t>(i);
      expected |= static_cast<std::uint32_t>((bytes_[b / 8] >> (b % 8)) & 1) << i;
    }
    ASSERT_EQ(peeked & ((1u << n) - 1), expected) << "at bit " << bit;
    ASSERT_TRUE(TakeBits(s, n));
    bit += static_cast<std::size_t>(n);
    ASSERT_EQ(static_cast<std::size_t>(s.InBase + s.InPos) * 8 + static_cast<std::size_t>(s.InBitPos), bit);
    n = n % 16 + 1;
  }
  // Past the end the reader stops with the error instead of reading on.
  bool ok = true;
  for (int i = 0; i < 100 && ok; ++i) ok = TakeBits(s, 16);
  EXPECT_FALSE(ok);
  EXPECT_EQ(s.ErrorNo, kErrDamaged);
}

TEST_F(InputTest, SkipBitsAndAlignToByte) {
  EngineState& s = Engine();
  const std::uint8_t data[] = {0xB5, 0x3C, 0x0F, 0xF0, 0x81, 0x42};
  std::copy(std::begin(data), std::end(data), s.InBuffer.begin());
  s.InCount = 6;
  EXPECT_EQ(PeekBits(s), 0xF00F3CB5u);
  SkipBits(s, 3);
  EXPECT_EQ(PeekBits(s) & 0x1FFFF, (0xF00F3CB5u >> 3) & 0x1FFFF);
  SkipBits(s, 14);  // 17 bits: into the next 16-bit unit
  EXPECT_EQ(s.InPos, 2);
  EXPECT_EQ(s.InBitPos, 1);
  EXPECT_EQ(PeekBits(s), 0x4281F00Fu >> 1);
  AlignToByte(s);
  EXPECT_EQ(s.InPos, 3);
  EXPECT_EQ(s.InBitPos, 0);
  AlignToByte(s);  // already on a byte boundary
  EXPECT_EQ(s.InPos, 3);
  s.InBitPos = 9;
  AlignToByte(s);
  EXPECT_EQ(s.InPos, 5);
  EXPECT_EQ(s.InBitPos, 0);
  s.InBitPos = 8;
  AlignToByte(s);
  EXPECT_EQ(s.InPos, 6);
  EXPECT_EQ(s.InBitPos, 0);
}

// --- progress callback and break -------------------------------------------

class ProgressTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    archive_ = Archive(200'000);
    FillInputAt();
    Engine().Callback = [this] { ++calls_; };
  }
  void Refill() {
    EngineState& s = Engine();
    s.InPos = s.InLimit;
    RefillInput();
  }
  std::unique_ptr<RawArchive> archive_;
  int calls_ = 0;
};

TEST_F(ProgressTest, CalledOnlyWhenMoreThan200MillisecondsPassed) {
  EngineState& s = Engine();
  Refill();
  EXPECT_EQ(calls_, 0);
  g_now = 1200;
  Refill();
  EXPECT_EQ(calls_, 0);
  EXPECT_EQ(s.LastCallbackTick, 1000u);
  g_now = 1201;
  Refill();
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(s.LastCallbackTick, 1201u);
  g_now = 1401;
  Refill();
  EXPECT_EQ(calls_, 1);
  g_now = 1402;
  Refill();
  EXPECT_EQ(calls_, 2);
  EXPECT_EQ(s.ErrorNo, 0);
}

TEST_F(ProgressTest, TickWrapAndClockBehindAreHarmless) {
  EngineState& s = Engine();
  s.LastCallbackTick = 0xFFFFFF00u;
  g_now = 0x00000008u;  // 264 ms later, across the wrap
  Refill();
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(s.LastCallbackTick, 8u);
  g_now = 0xFFFFFFF0u;  // behind the last call: a negative difference
  Refill();
  EXPECT_EQ(calls_, 1);
  g_now = 8u + 0x7FFFFFFFu;  // as far ahead as a signed difference reaches
  Refill();
  EXPECT_EQ(calls_, 2);
}

TEST_F(ProgressTest, NoCallbackStillMovesTheTick) {
  EngineState& s = Engine();
  s.Callback = nullptr;
  g_now = 5000;
  Refill();
  EXPECT_EQ(s.ErrorNo, 0);
  EXPECT_EQ(s.LastCallbackTick, 5000u);
}

TEST_F(ProgressTest, BreakRequestedInTheCallbackIsHonouredInTheSameRefill) {
  EngineState& s = Engine();
  s.Callback = [this] {
    ++calls_;
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    RequestBreak();
  };
  s.InPos = 500;
  const ZipSize base = s.InBase;
  g_now = 2000;
  RefillInput();
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(s.ErrorNo, kErrRead);
  EXPECT_EQ(s.ErrorMsg, "User break!");
  EXPECT_EQ(s.InPos, 500);  // the buffer is untouched
  EXPECT_EQ(s.InBase, base);
}

TEST_F(ProgressTest, BreakIsTestedOnEveryRefillEvenWithoutACall) {
  EngineState& s = Engine();
  s.UserBreak = 1;
  Refill();
  EXPECT_EQ(calls_, 0);
  EXPECT_EQ(s.ErrorNo, kErrRead);
  EXPECT_EQ(s.ErrorMsg, "User break!");
}

TEST_F(ProgressTest, ExceptionFromCallbackGivesError22EvenWithBreakSet) {
  EngineState& s = Engine();
  s.UserBreak = 1;
  s.Callback = [] { throw std::runtime_error("boom"); };
  g_now = 3000;
  s.InPos = 600;
  RefillInput();
  EXPECT_EQ(s.ErrorNo, kErrCallback);
  EXPECT_EQ(s.ErrorMsg, "Error in runtime info function");
  EXPECT_EQ(s.InPos, 600);

  s.ErrorNo = 0;
  s.UserBreak = 0;
  s.Callback = [] { throw 42; };  // not even a std::exception
  g_now = 4000;
  RefillInput();
  EXPECT_EQ(s.ErrorNo, kErrCallback);
}

}  // namespace
}  // namespace vantelo
