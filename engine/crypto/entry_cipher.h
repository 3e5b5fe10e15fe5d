// The cipher of one encrypted entry, as an input filter of the entry pipeline.
//
// An encrypted entry's packed bytes are laid out as
//   [header: HeaderSize()] [encrypted data] [trailer: TrailerSize()]
// The header carries what the password is checked against (ZipCrypto: 12
// encrypted bytes; WinZip AES: salt and password verifier); the trailer, when
// the cipher has one, carries an authentication code (WinZip AES: 10 bytes).
//
// The batch, for each encrypted entry:
//   1. MakeEntryCipher(entry): the cipher of the entry's kind (the catalog
//      decodes TZFItem::Encryption from the central record), or null when the
//      kind is refused (strong encryption) or none;
//   2. checks that the packed size holds header and trailer;
//   3. TryPassword with each form of the user's password (PasswordForms) until
//      one opens the header; none: "Skiped! Bad password.";
//   4. SetTrailer with the trailer's bytes, read before decoding (ciphers
//      without a trailer ignore it), and SetRemaining with the encrypted data
//      bytes; then the entry decodes with the cipher as the input's filter,
//      which decrypts the data in place and never a byte after it;
//   5. at the end, Authenticates() is part of the verdict (ZipCrypto has no
//      code and always says yes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/pipeline/entry_input.h"

namespace vantelo {

class EntryCipher : public InputFilter {
 public:
  // Bytes in front of the encrypted data, and after it, counted in the packed size.
  virtual std::int32_t HeaderSize() const = 0;
  virtual std::int32_t TrailerSize() const { return 0; }
  // The most characters of a password the cipher uses (0: all of it).
  virtual std::size_t PasswordCharacterLimit() const { return 0; }
  // Sets the keys from one form of the password and checks them against the
  // entry's header (HeaderSize() bytes, left as they are). True: the entry
  // may be decrypted with the keys as they now stand. An empty password
  // never opens an entry.
  virtual bool TryPassword(const std::string& password, const std::uint8_t* header) = 0;
  // The TrailerSize() bytes after the encrypted data, as stored.
  virtual void SetTrailer(const std::uint8_t* /*trailer*/) {}
  // How many bytes after the header are encrypted: Apply decrypts no more.
  virtual void SetRemaining(ZipSize encryptedBytes) = 0;
};

// Reads the encryption kind of an entry from its central record: the flags,
// the method and the extra field (extraLength bytes at extra).
EntryEncryption EncryptionOf(std::uint16_t flags, std::uint16_t method, const std::uint8_t* extra,
                             std::int32_t extraLength);

// Whether the engine can decrypt the entry (unencrypted ones: trivially).
// Strong encryption, a WinZip AES field of another version or strength, and
// AES without a working crypto library: no.
bool CanDecrypt(const TZFItem& entry);

// The cipher for an entry of this kind; null for none and for kinds the
// engine does not decrypt.
std::unique_ptr<EntryCipher> MakeEntryCipher(const TZFItem& entry);

}  // namespace vantelo
