#include "engine/crypt.h"

#include <algorithm>

#include "engine/engine_state.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kKeyMultiplier = 134775813u;

}  // namespace

void UpdateKeys(std::uint8_t c) {
  EngineState& s = Engine();
  auto& k = s.CryptKeys;
  k[0] = (k[0] >> 8) ^ s.CrcTable[(k[0] ^ c) & 0xFF];
  k[1] = (k[1] + (k[0] & 0xFF)) * kKeyMultiplier + 1u;
  k[2] = (k[2] >> 8) ^ s.CrcTable[(k[2] ^ (k[1] >> 24)) & 0xFF];
}

std::uint8_t DecryptByte() {
  const std::uint32_t t = (Engine().CryptKeys[2] & 0xFFFF) | 2u;
  return static_cast<std::uint8_t>((t * (t ^ 1u)) >> 8);
}

bool CheckPassword() {
  EngineState& s = Engine();
  s.CryptKeys = {0x12345678u, 0x23456789u, 0x34567890u};
  if (s.Password.empty()) return false;
  // The batch cuts the password to 30 characters; the cut is repeated here so
  // that the key schedule never sees more, however Password was set.
  const std::size_t length = std::min<std::size_t>(s.Password.size(), kMaxPasswordLength);
  for (std::size_t i = 0; i < length; ++i) UpdateKeys(static_cast<std::uint8_t>(s.Password[i]));
  for (std::uint8_t& b : s.CryptHeader) {
    b = static_cast<std::uint8_t>(b ^ DecryptByte());
    UpdateKeys(b);
  }
  // The last header byte is the high byte of the CRC-32, or of the time word
  // when the writer did not know the CRC before the data (a data descriptor).
  const TZFItem& entry = *s.CurrentEntry;
  const auto check = static_cast<std::uint8_t>((entry.CentralFlags & kFlagDescriptor)
                                                   ? entry.FileTime >> 8
                                                   : entry.CentralCrc >> 24);
  return s.CryptHeader[11] == check;
}

void DecryptInput() {
  EngineState& s = Engine();
  // Only bytes that hold archive data may be decrypted: the range must start
  // inside the valid part of the buffer and cannot run past InCount, whatever
  // the counters say. A negative CryptRemaining (an entry whose compressed size
  // is below the 12 header bytes) means nothing is left to decrypt; compared as
  // unsigned it would have meant "decrypt everything".
  const std::int32_t valid = std::min<std::int32_t>(s.InCount, kInBufferFill);
  if (s.CryptStart < 0 || s.CryptStart >= valid || s.CryptCount <= 0 || s.CryptRemaining <= 0) return;
  const auto n = static_cast<std::int32_t>(
      std::min<ZipSize>({s.CryptCount, s.CryptRemaining, valid - s.CryptStart}));
  s.CryptRemaining -= n;
  // The same steps as DecryptByte and UpdateKeys, with the keys in registers.
  // Each byte's keystream depends on the previous byte's plain text, so the
  // loop is one chain of dependent steps; it is kept as short as it goes: the
  // keystream byte depends on the low 16 bits of k2 only, so no mask.
  const std::uint32_t* const table = s.CrcTable.data();
  std::uint32_t k0 = s.CryptKeys[0], k1 = s.CryptKeys[1], k2 = s.CryptKeys[2];
  std::uint8_t* p = s.InBuffer.data() + s.CryptStart;
  std::uint8_t* const end = p + n;
  for (; p != end; ++p) {
    const std::uint32_t t = k2 | 2u;
    const std::uint8_t plain = static_cast<std::uint8_t>(*p ^ ((t * (t ^ 1u)) >> 8));
    *p = plain;
    k0 = (k0 >> 8) ^ table[(k0 ^ plain) & 0xFF];
    k1 = (k1 + (k0 & 0xFF)) * kKeyMultiplier + 1u;
    k2 = (k2 >> 8) ^ table[(k2 ^ (k1 >> 24)) & 0xFF];
  }
  s.CryptKeys = {k0, k1, k2};
}

}  // namespace vantelo
