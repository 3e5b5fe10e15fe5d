// CRC-32: known vectors, and the fast update against the byte-wise reference and
// against zlib's crc32 as an independent computation.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "engine/crc32.h"
#include "stream_test_util.h"

namespace vantelo {
namespace {

std::uint32_t Crc(const std::uint8_t* data, std::size_t n) { return ~CrcUpdate(0xFFFFFFFFu, data, n); }
std::uint32_t Crc(const std::string& text) {
  return Crc(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
std::uint32_t ZlibCrc(const std::uint8_t* data, std::size_t n) {
  return static_cast<std::uint32_t>(crc32(0L, data, static_cast<uInt>(n)));
}

TEST(Crc32Test, KnownVectors) {
  EXPECT_EQ(Crc(""), 0x00000000u);
  EXPECT_EQ(Crc("a"), 0xE8B7BE43u);
  EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  const std::string zeros(32, '\0');
  EXPECT_EQ(Crc(zeros), 0x190A55ADu);
  const std::string ones(32, '\xFF');
  EXPECT_EQ(Crc(ones), 0xFF6CAB0Bu);
}

TEST(Crc32Test, TableIsTheReflectedPolynomial) {
  const auto& t = CrcTable();
  EXPECT_EQ(t[0], 0u);
  EXPECT_EQ(t[1], 0x77073096u);
  EXPECT_EQ(t[128], 0xEDB88320u);
  EXPECT_EQ(t[255], 0x2D02EF8Du);
}

// Every length up to 100 at every start offset modulo 8: the eight-byte loop,
// its tail and unaligned loads must all agree with the reference.
TEST(Crc32Test, FastUpdateMatchesBytewiseForAllShortLengthsAndAlignments) {
  const auto bytes = test::RandomBytes(200, 1);
  for (std::size_t offset = 0; offset < 8; ++offset)
    for (std::size_t n = 0; n <= 100; ++n) {
      const std::uint8_t* p = bytes.data() + offset;
      ASSERT_EQ(CrcUpdate(0xFFFFFFFFu, p, n), CrcUpdateBytewise(0xFFFFFFFFu, p, n))
          << "offset " << offset << " length " << n;
      ASSERT_EQ(~CrcUpdate(0xFFFFFFFFu, p, n), ZlibCrc(p, n)) << "offset " << offset << " length " << n;
    }
}

TEST(Crc32Test, LargeRandomBuffersMatchZlib) {
  for (std::uint32_t seed : {2u, 3u, 4u}) {
    const auto bytes = test::RandomBytes(3'000'000 + seed * 7, seed);
    EXPECT_EQ(Crc(bytes.data(), bytes.size()), ZlibCrc(bytes.data(), bytes.size())) << "seed " << seed;
  }
  const std::vector<std::uint8_t> zeros(1 << 20, 0);
  EXPECT_EQ(Crc(zeros.data(), zeros.size()), ZlibCrc(zeros.data(), zeros.size()));
}

// The folding path (runs of 64 bytes and more, where the processor has
// carry-less multiplication) and the table path agree with zlib on every
// length around the fold steps (64, 80, 128, ... bytes), at every start
// offset, from a register that is not the initial one.
TEST(Crc32Test, FoldingAndSlicingAgreeAcrossFoldSteps) {
  const auto bytes = test::RandomBytes(600, 6);
  for (std::size_t offset = 0; offset < 16; offset += 3)
    for (std::size_t n = 48; n <= 560; ++n) {
      const std::uint8_t* p = bytes.data() + offset;
      const std::uint32_t start = ~ZlibCrc(bytes.data() + 590, 7);  // the register after 7 other bytes
      const std::uint32_t expected = ~static_cast<std::uint32_t>(
          crc32(~start, reinterpret_cast<const Bytef*>(p), static_cast<uInt>(n)));
      ASSERT_EQ(CrcUpdate(start, p, n), expected) << "offset " << offset << " length " << n;
      ASSERT_EQ(CrcUpdateSlicing(start, p, n), expected) << "offset " << offset << " length " << n;
    }
  const std::vector<std::uint8_t> ones(4096, 0xFF);
  EXPECT_EQ(~CrcUpdate(0xFFFFFFFFu, ones.data(), ones.size()), ZlibCrc(ones.data(), ones.size()));
  EXPECT_EQ(~CrcUpdateSlicing(0xFFFFFFFFu, ones.data(), ones.size()), ZlibCrc(ones.data(), ones.size()));
}

// The register carries over between calls: a buffer done in uneven pieces, as
// the output window flushes it, gives the CRC of the whole.
TEST(Crc32Test, RunningRegisterAcrossPieces) {
  const auto bytes = test::RandomBytes(100'003, 5);
  std::uint32_t reg = 0xFFFFFFFFu;
  std::size_t at = 0, piece = 1;
  while (at < bytes.size()) {
    const std::size_t n = std::min(piece, bytes.size() - at);
    reg = CrcUpdate(reg, bytes.data() + at, n);
    at += n;
    piece = piece * 3 + 1;
    if (piece > 70'000) piece = 5;
  }
  EXPECT_EQ(~reg, ZlibCrc(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace vantelo
