// The byte strings a password is tried as. Users type a password as text;
// the archive's writer turned it into bytes in its own character set: UTF-8
// on today's Linux and macOS, the OEM code page on Windows (the code page its
// names are stored in). So a password with non-ASCII characters is tried as
// UTF-8 first, then in the archive's legacy code page. Ciphers that use only
// the first N characters (ZipCrypto: 30) get each form cut to N characters,
// not bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantelo {

// The forms of `password` (UTF-8 as the front ends pass it) in the order they
// are tried: its UTF-8 bytes, then its bytes in `legacyCharset` (CP437 when
// that is UTF-8 or empty) when they differ and every character exists there.
// Bytes that are not valid UTF-8 are one form, used as they are. maxCharacters
// 0 keeps the whole password. An empty password has no forms.
std::vector<std::string> PasswordForms(const std::string& password, const std::string& legacyCharset,
                                       std::size_t maxCharacters);

}  // namespace vantelo
