// CRC-32 of the ZIP format (ISO 3309, reflected polynomial 0xEDB88320). The
// tables are constants, shared by every entry and thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantelo {

// The byte-at-a-time table: entry n is the register after one byte n.
const std::array<std::uint32_t, 256>& CrcTable();

// Adds bytes to a running CRC-32 register (the register, not the final value:
// start from 0xFFFFFFFF and complement at the end). Folds with carry-less
// multiplication where the processor has it, else CrcUpdateSlicing.
std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* data, std::size_t length);
// The same sixteen bytes at a time with tables, on any processor.
std::uint32_t CrcUpdateSlicing(std::uint32_t crc, const std::uint8_t* data, std::size_t length);
// The same, one byte at a time with the table: the reference the fast path must match.
std::uint32_t CrcUpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

}  // namespace vantelo
