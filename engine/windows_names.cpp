// Names that Windows cannot take as they are, or takes as something else: a
// device (CON, NUL, COM1...), an alternate data stream ("file:stream"), a name
// whose trailing dots or spaces Windows drops, characters that are wildcards,
// redirections or controls. Extracting such an entry could write to a device,
// hide data in a stream or land under another entry's name.
#include <cstring>

#include "engine/extract.h"

namespace vantelo {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetters(const char* text, std::size_t length, const char* upper) {
  if (std::strlen(upper) != length) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (Upper(text[i]) != upper[i]) return false;
  return true;
}

// The digits Windows accepts after COM and LPT: 1-9 and the superscripts
// one, two and three (UTF-8 C2 B9, C2 B2, C2 B3).
bool IsPortNumber(const char* text, std::size_t length) {
  if (length == 1) return text[0] >= '1' && text[0] <= '9';
  return length == 2 && static_cast<unsigned char>(text[0]) == 0xC2 &&
         (static_cast<unsigned char>(text[1]) == 0xB9 || static_cast<unsigned char>(text[1]) == 0xB2 ||
          static_cast<unsigned char>(text[1]) == 0xB3);
}

// A device name, with or without an extension: the part before the first dot,
// less trailing spaces, decides ("con", "Aux.txt", "lpt1 .log").
bool IsDeviceName(const char* component, std::size_t length) {
  std::size_t stem = 0;
  while (stem < length && component[stem] != '.') ++stem;
  while (stem > 0 && component[stem - 1] == ' ') --stem;
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (SameLetters(component, stem, device)) return true;
  return stem > 3 && (SameLetters(component, 3, "COM") || SameLetters(component, 3, "LPT")) &&
         IsPortNumber(component + 3, stem - 3);
}

bool IsForbiddenCharacter(unsigned char c) {
  return c < 0x20 || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

}  // namespace

bool BreaksWindowsNameRules(const char* name) {
  const char* start = name;
  for (const char* p = name;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      const std::size_t length = static_cast<std::size_t>(p - start);
      if (length > 0) {
        const char last = start[length - 1];
        if (last == '.' || last == ' ' || IsDeviceName(start, length)) return true;
      }
      if (*p == '\0') return false;
      start = p + 1;
    } else if (IsForbiddenCharacter(static_cast<unsigned char>(*p))) {
      return true;
    }
  }
}

}  // namespace vantelo
