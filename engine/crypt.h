// Traditional PKWARE encryption ("ZipCrypto"): key schedule, header check and
// in-place decryption of the input buffer. Internal to the engine.
#pragma once

#include <cstdint>

namespace vantelo {

// Advances the keys by one plain byte.
void UpdateKeys(std::uint8_t c);
// The next keystream byte; the keys do not change.
std::uint8_t DecryptByte();
// Sets the keys from Password and decrypts CryptHeader in place; true when its
// check byte matches. An empty password never matches.
bool CheckPassword();
// Decrypts InBuffer[CryptStart ...] in place: at most CryptCount bytes and at
// most CryptRemaining, which it lowers by the number done.
void DecryptInput();

}  // namespace vantelo
