#include "engine/crypto/zip_crypto.h"

#include <algorithm>

#include "engine/crc32.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kKeyMultiplier = 134775813u;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;

}  // namespace

std::uint8_t ZipCryptoCheckByte(const TZFItem& entry) {
  return static_cast<std::uint8_t>((entry.CentralFlags & kFlagDataDescriptor) ? entry.FileTime >> 8
                                                                              : entry.CentralCrc >> 24);
}

void ZipCryptoFilter::UpdateKeys(std::uint8_t plain) {
  const auto& table = CrcTable();
  keys[0] = (keys[0] >> 8) ^ table[(keys[0] ^ plain) & 0xFF];
  keys[1] = (keys[1] + (keys[0] & 0xFF)) * kKeyMultiplier + 1u;
  keys[2] = (keys[2] >> 8) ^ table[(keys[2] ^ (keys[1] >> 24)) & 0xFF];
}

std::uint8_t ZipCryptoFilter::KeystreamByte() const {
  const std::uint32_t t = (keys[2] & 0xFFFF) | 2u;
  return static_cast<std::uint8_t>((t * (t ^ 1u)) >> 8);
}

bool ZipCryptoFilter::Open(const std::string& password, std::array<std::uint8_t, kCryptHeaderSize>& header,
                           std::uint8_t checkByte) {
  keys = {0x12345678u, 0x23456789u, 0x34567890u};
  if (password.empty()) return false;
  for (const char c : password) UpdateKeys(static_cast<std::uint8_t>(c));
  for (std::uint8_t& b : header) {
    b = static_cast<std::uint8_t>(b ^ KeystreamByte());
    UpdateKeys(b);
  }
  return header[kCryptHeaderSize - 1] == checkByte;
}

bool ZipCryptoFilter::TryPassword(const std::string& password, const std::uint8_t* header) {
  std::array<std::uint8_t, kCryptHeaderSize> copy{};
  std::copy(header, header + kCryptHeaderSize, copy.begin());
  return Open(password, copy, checkByte_);
}

void ZipCryptoFilter::Apply(std::uint8_t* data, std::int32_t n) {
  // A negative remaining count (an entry whose compressed size is below the
  // 12 header bytes) means nothing is left to decrypt.
  if (n <= 0 || remaining_ <= 0) return;
  const auto count = static_cast<std::int32_t>(std::min<ZipSize>(n, remaining_));
  remaining_ -= count;
  // The same steps as KeystreamByte and UpdateKeys, with the keys in registers.
  // Each byte's keystream depends on the previous byte's plain text, so the
  // loop is one chain of dependent steps; it is kept as short as it goes: the
  // keystream byte depends on the low 16 bits of k2 only, so no mask.
  const std::uint32_t* const table = CrcTable().data();
  std::uint32_t k0 = keys[0], k1 = keys[1], k2 = keys[2];
  std::uint8_t* const end = data + count;
  for (std::uint8_t* p = data; p != end; ++p) {
    const std::uint32_t t = k2 | 2u;
    const std::uint8_t plain = static_cast<std::uint8_t>(*p ^ ((t * (t ^ 1u)) >> 8));
    *p = plain;
    k0 = (k0 >> 8) ^ table[(k0 ^ plain) & 0xFF];
    k1 = (k1 + (k0 & 0xFF)) * kKeyMultiplier + 1u;
    k2 = (k2 >> 8) ^ table[(k2 ^ (k1 >> 24)) & 0xFF];
  }
  keys = {k0, k1, k2};
}

}  // namespace vantelo
