// Little-endian fields of the archive's headers, and the general-purpose flag
// bits the engine reads.
#pragma once

#include <cstdint>

namespace vantelo {

// General-purpose flag bits of the local and central headers.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;   // traditional encryption
inline constexpr std::uint16_t kFlagDescriptor = 0x0008;  // CRC and sizes follow the data

inline std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t ReadU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(ReadU32(p)) | (static_cast<std::uint64_t>(ReadU32(p + 4)) << 32);
}

}  // namespace vantelo
