// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320).
//
// The register is updated eight bytes at a time with eight derived tables
// ("slicing by 8"); the results are identical to the byte-at-a-time update,
// which is kept as the reference.
#include <array>
#include <cstring>

#include "engine/stream_io.h"

namespace vantelo {
namespace {

// Table k maps a byte to its CRC contribution k bytes further on.
std::array<std::array<std::uint32_t, 256>, 8> g_slices{};

}  // namespace

void BuildCrcTable() {
  EngineState& s = Engine();
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    s.CrcTable[n] = c;
  }
  g_slices[0] = s.CrcTable;
  for (std::size_t k = 1; k < 8; ++k)
    for (std::size_t n = 0; n < 256; ++n) {
      const std::uint32_t prev = g_slices[k - 1][n];
      g_slices[k][n] = (prev >> 8) ^ s.CrcTable[prev & 0xFF];
    }
}

std::uint32_t CrcUpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
  const auto& table = Engine().CrcTable;
  for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
  Engine();  // the tables are built at start-up
  if constexpr (std::endian::native == std::endian::little) {
    const auto& t = g_slices;
    while (length >= 8) {
      std::uint32_t lo, hi;
      std::memcpy(&lo, data, 4);
      std::memcpy(&hi, data + 4, 4);
      lo ^= crc;
      crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
      data += 8;
      length -= 8;
    }
  }
  return CrcUpdateBytewise(crc, data, length);
}

}  // namespace vantelo
