// CRC-32, sixteen bytes at a time with sixteen derived tables ("slicing by
// 16", 16 KiB of tables); the results are identical to the byte-at-a-time
// update, which is kept as the reference. The tables are made by the compiler.
//
// On x86-64 processors with carry-less multiplication (PCLMULQDQ, chosen at
// run time) runs of 64 bytes or more are folded instead: four 128-bit
// accumulators each stand for a polynomial A = H x^64 + L over the bits read
// so far (H the first 64 stream bits, in the low quadword, bit-reflected).
// Moving A over the next n bits multiplies it by x^n; modulo the CRC
// polynomial P that is H (x^(64+n) mod P) + L (x^n mod P), two products of
// under 96 bits, which are XOR-ed into the data n bits on. The constants are
// those remainders for n = 512 (one accumulator's step over all four) and
// n = 128 (one accumulator into the next), bit-reflected in 64 bits and taken
// one power lower, because a reflected carry-less product comes out one bit
// short of the 128-bit alignment. The last accumulator's 16 bytes then go
// through the tables from a zero register, which gives A x^32 mod P, the CRC.
#include "engine/crc32.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VANTELO_CRC_FOLDING 1
#else
#define VANTELO_CRC_FOLDING 0
#endif

namespace vantelo {
namespace {

using Slices = std::array<std::array<std::uint32_t, 256>, 16>;

// Table 0 is the byte table; table k maps a byte to its CRC contribution k
// bytes further on.
constexpr Slices MakeSlices() {
  Slices t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][n] = c;
  }
  for (std::size_t k = 1; k < 16; ++k)
    for (std::size_t n = 0; n < 256; ++n) {
      const std::uint32_t prev = t[k - 1][n];
      t[k][n] = (prev >> 8) ^ t[0][prev & 0xFF];
    }
  return t;
}

constexpr Slices kSlices = MakeSlices();

#if VANTELO_CRC_FOLDING
// (x^(64+n-1) mod P, x^(n-1) mod P), bit-reflected in 64 bits, for n = 512 and 128.
constexpr std::uint64_t kFold512High = 0x653d982200000000ull, kFold512Low = 0xcad38e8f00000000ull;
constexpr std::uint64_t kFold128High = 0x65673b4600000000ull, kFold128Low = 0x9ba54c6f00000000ull;

[[gnu::target("pclmul")]] inline __m128i Fold(__m128i x, __m128i constants, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00), _mm_clmulepi64_si128(x, constants, 0x11)),
                       next);
}

// length >= 64; returns the register after the whole multiple of 16 bytes
// that *done is set to.
[[gnu::target("pclmul")]] std::uint32_t CrcFolding(std::uint32_t crc, const std::uint8_t* data, std::size_t length,
                                                   std::size_t* done) {
  auto load = [&](std::size_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)); };
  const __m128i by512 = _mm_set_epi64x(static_cast<long long>(kFold512Low), static_cast<long long>(kFold512High));
  const __m128i by128 = _mm_set_epi64x(static_cast<long long>(kFold128Low), static_cast<long long>(kFold128High));
  __m128i x0 = _mm_xor_si128(load(0), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = load(16), x2 = load(32), x3 = load(48);
  std::size_t at = 64;
  for (; length - at >= 64; at += 64) {
    x0 = Fold(x0, by512, load(at));
    x1 = Fold(x1, by512, load(at + 16));
    x2 = Fold(x2, by512, load(at + 32));
    x3 = Fold(x3, by512, load(at + 48));
  }
  __m128i x = Fold(Fold(Fold(x0, by128, x1), by128, x2), by128, x3);
  for (; length - at >= 16; at += 16) x = Fold(x, by128, load(at));
  std::uint8_t last[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x);
  *done = at;
  return CrcUpdateSlicing(0, last, 16);
}

bool HasCrcFolding() {
  static const bool has = __builtin_cpu_supports("pclmul");
  return has;
}
#endif

}  // namespace

const std::array<std::uint32_t, 256>& CrcTable() { return kSlices[0]; }

std::uint32_t CrcUpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
  const auto& table = kSlices[0];
  for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
#if VANTELO_CRC_FOLDING
  if (length >= 64 && HasCrcFolding()) {
    std::size_t done = 0;
    crc = CrcFolding(crc, data, length, &done);
    data += done;
    length -= done;
  }
#endif
  return CrcUpdateSlicing(crc, data, length);
}

std::uint32_t CrcUpdateSlicing(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
  if constexpr (std::endian::native == std::endian::little) {
    const auto& t = kSlices;
    while (length >= 16) {
      std::uint32_t w0, w1, w2, w3;
      std::memcpy(&w0, data, 4);
      std::memcpy(&w1, data + 4, 4);
      std::memcpy(&w2, data + 8, 4);
      std::memcpy(&w3, data + 12, 4);
      w0 ^= crc;
      crc = t[15][w0 & 0xFF] ^ t[14][(w0 >> 8) & 0xFF] ^ t[13][(w0 >> 16) & 0xFF] ^ t[12][w0 >> 24] ^
            t[11][w1 & 0xFF] ^ t[10][(w1 >> 8) & 0xFF] ^ t[9][(w1 >> 16) & 0xFF] ^ t[8][w1 >> 24] ^
            t[7][w2 & 0xFF] ^ t[6][(w2 >> 8) & 0xFF] ^ t[5][(w2 >> 16) & 0xFF] ^ t[4][w2 >> 24] ^
            t[3][w3 & 0xFF] ^ t[2][(w3 >> 8) & 0xFF] ^ t[1][(w3 >> 16) & 0xFF] ^ t[0][w3 >> 24];
      data += 16;
      length -= 16;
    }
  }
  return CrcUpdateBytewise(crc, data, length);
}

}  // namespace vantelo
