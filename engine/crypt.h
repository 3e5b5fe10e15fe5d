// Traditional PKWARE encryption ("ZipCrypto"): key schedule, header check and
// in-place decryption of the input buffer. Internal to the engine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantelo {

// Passwords longer than this are used as their first 30 characters.
inline constexpr std::size_t kMaxPasswordLength = 30;

// Advances the keys by one plain byte.
void UpdateKeys(std::uint8_t c);
// The next keystream byte; the keys do not change.
std::uint8_t DecryptByte();
// Sets the keys from Password and decrypts CryptHeader in place; true when its
// check byte matches. An empty password never matches.
bool CheckPassword();
// Decrypts InBuffer[CryptStart ...] in place: at most CryptCount bytes, at most
// CryptRemaining, which it lowers by the number done, and never past InCount.
// A CryptRemaining of 0 or below decrypts nothing.
void DecryptInput();

}  // namespace vantelo
