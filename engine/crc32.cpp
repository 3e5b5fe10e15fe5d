// CRC-32, sixteen bytes at a time with sixteen derived tables ("slicing by
// 16", 16 KiB of tables); the results are identical to the byte-at-a-time
// update, which is kept as the reference. The tables are made by the compiler.
#include "engine/crc32.h"

#include <bit>
#include <cstring>

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

}  // namespace

const std::array<std::uint32_t, 256>& CrcTable() { return kSlices[0]; }

std::uint32_t CrcUpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
  const auto& table = kSlices[0];
  for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
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
