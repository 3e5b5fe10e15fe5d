#include "engine/crypto/password_forms.h"

#include "engine/entry_names.h"
#include "platform/charset.h"

namespace vantelo {
namespace {

// The first n characters of valid UTF-8 text (all of it for n = 0).
std::string FirstCharacters(const std::string& text, std::size_t n) {
  if (n == 0) return text;
  std::size_t at = 0;
  for (std::size_t count = 0; at < text.size() && count < n; ++count) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  }
  return text.substr(0, at);
}

bool IsAscii(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::vector<std::string> PasswordForms(const std::string& password, const std::string& legacyCharset,
                                       std::size_t maxCharacters) {
  std::vector<std::string> forms;
  if (password.empty()) return forms;
  if (!IsValidUtf8(password)) {
    forms.push_back(maxCharacters == 0 ? password : password.substr(0, maxCharacters));
    return forms;
  }
  forms.push_back(FirstCharacters(password, maxCharacters));
  if (IsAscii(forms.front())) return forms;
  const std::string charset =
      legacyCharset.empty() || legacyCharset == kUtf8Charset ? kDefaultLegacyCharset : legacyCharset;
  if (auto legacy = platform::ConvertFromUtf8(forms.front(), charset); legacy && *legacy != forms.front())
    forms.push_back(std::move(*legacy));
  return forms;
}

}  // namespace vantelo
