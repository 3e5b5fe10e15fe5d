// Entry names: stored bytes to UTF-8 (the rules are listed in entry_names.h).
#include "engine/entry_names.h"

#include <cstring>
#include <cstdio>

#include "engine/crc32.h"
#include "engine/byte_fields.h"
#include "engine/catalog.h"
#include "engine/session.h"
#include "platform/charset.h"

namespace vantelo {
namespace {

// Names users give for the code pages ZIP writers use, and the ids they stand for.
struct CharsetAlias {
  const char* alias;
  const char* id;
};
constexpr CharsetAlias kCharsetAliases[] = {
    {"UTF8", "UTF-8"},      {"SHIFT_JIS", "CP932"}, {"SHIFT-JIS", "CP932"}, {"SJIS", "CP932"},
    {"MS932", "CP932"},     {"WINDOWS-31J", "CP932"}, {"GBK", "CP936"},     {"GB2312", "CP936"},
    {"BIG5", "CP950"},      {"EUC-KR", "CP949"},    {"UHC", "CP949"},       {"IBM437", "CP437"},
    {"IBM850", "CP850"},    {"IBM852", "CP852"},    {"IBM866", "CP866"},
};

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// Length of the valid UTF-8 sequence at the start of `text`, 0 when there is none.
// Overlong forms, surrogates and code points past U+10FFFF are not valid.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

// Stored names end at a NUL byte, as they always have here: nothing after it
// reaches a file name.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string DecodeLegacyName(const std::string& bytes, const std::string& charset) {
  if (charset == kUtf8Charset || IsAscii(bytes))
    return IsValidUtf8(bytes) ? bytes : SafeNameReplacement(bytes, false);
  std::optional<std::string> text = platform::ConvertToUtf8(bytes, charset);
  if (!text || !IsValidUtf8(*text)) return SafeNameReplacement(bytes, false);
  return std::string(UpToNul(*text));
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // ASCII, most of every name, eight bytes at a time.
    if (i + 8 <= text.size()) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & 0x8080808080808080ull) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(text.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string SafeNameReplacement(std::string_view bytes, bool keepUtf8) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const std::size_t n =
        keepUtf8 || (c >= 0x20 && c < 0x7F) ? Utf8SequenceLength(bytes.substr(i)) : 0;
    if (n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
      continue;
    }
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(bytes[i]));
    out += hex;
    ++i;
  }
  return out;
}

std::optional<std::string> UnicodePathFromExtra(const std::uint8_t* extra, std::size_t length,
                                                std::string_view storedName) {
  constexpr std::size_t kFieldHeader = 4;
  constexpr std::size_t kVersionAndCrc = 5;
  for (std::size_t at = 0; at + kFieldHeader <= length;) {
    const std::uint16_t id = ReadU16(extra + at);
    const std::size_t size = ReadU16(extra + at + 2);
    const std::size_t data = at + kFieldHeader;
    if (data + size > length) break;
    if (id == kUnicodePathFieldId && size >= kVersionAndCrc && extra[data] == 1) {
      const std::uint32_t crc =
          CrcUpdate(0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(storedName.data()),
                    storedName.size()) ^
          0xFFFFFFFFu;
      // A CRC that does not match means the name was changed after the field
      // was written (by a tool that knew only the stored name): the field is stale.
      if (ReadU32(extra + data + 1) != crc) return std::nullopt;
      const std::string_view name(reinterpret_cast<const char*>(extra + data + kVersionAndCrc),
                                  size - kVersionAndCrc);
      if (!IsValidUtf8(name)) return std::nullopt;
      return std::string(UpToNul(name));
    }
    at = data + size;
  }
  return std::nullopt;
}

void SetStoredName(TZFItem& item, std::string_view storedName, std::uint16_t flags,
                   const std::uint8_t* extra, std::size_t extraLength) {
  item.HasUnicodeName = false;
  item.PathIsStored = false;
  item.StoredName.clear();
  if (flags & kFlagUtf8Name) {
    const std::string_view name = UpToNul(storedName);
    item.HasUnicodeName = true;
    item.EntryPath = IsValidUtf8(name) ? std::string(name) : SafeNameReplacement(name, true);
    return;
  }
  // The CRC covers every stored byte, NUL included.
  if (std::optional<std::string> name = UnicodePathFromExtra(extra, extraLength, storedName)) {
    item.HasUnicodeName = true;
    item.EntryPath = std::move(*name);
    return;
  }
  // Read in the archive's code page once the whole catalog is known; until
  // then EntryPath holds the stored bytes.
  item.EntryPath = std::string(UpToNul(storedName));
  item.PathIsStored = true;
}

std::optional<std::string> CanonicalCharsetName(const std::string& name) {
  if (name.empty()) return std::string();
  std::string upper = UpperAscii(name);
  for (const CharsetAlias& a : kCharsetAliases)
    if (upper == a.alias) return std::string(a.id);
  // A bare code page number, as Windows users know them.
  if (upper.find_first_not_of("0123456789") == std::string::npos) upper = "CP" + upper;
  if (upper == kUtf8Charset || platform::IsCharsetSupported(upper)) return upper;
  return std::nullopt;
}

std::string ChooseLegacyCharset(const std::vector<std::string>& legacyNames) {
  bool allUtf8 = true;
  for (const std::string& name : legacyNames) allUtf8 = allUtf8 && IsValidUtf8(name);
  if (allUtf8) return kUtf8Charset;
  const std::string detected = platform::DetectLegacyCharset(legacyNames);
  if (!detected.empty()) {
    // Trusted only when it reads every name: one name it cannot decode shows
    // the guess is wrong.
    bool readsAll = true;
    for (const std::string& name : legacyNames)
      if (!IsAscii(name) && !platform::ConvertToUtf8(name, detected)) readsAll = false;
    if (readsAll) return detected;
  }
  return kDefaultLegacyCharset;
}

namespace {

// The stored bytes of a name read in a code page.
std::string_view StoredBytes(const TZFItem& item) {
  return item.PathIsStored ? std::string_view(item.EntryPath) : std::string_view(item.StoredName);
}

}  // namespace

void DecodeEntryNames(Catalog& catalog, const std::string& charsetSetting) {
  std::string charset = charsetSetting;
  if (charset.empty()) {
    // The usual case, every name valid UTF-8 (ASCII included), needs no copy
    // of the names; the others go to the choice as they are.
    bool allUtf8 = true;
    for (const TZFItem& item : catalog.entries)
      if (!item.HasUnicodeName && !IsValidUtf8(StoredBytes(item))) {
        allUtf8 = false;
        break;
      }
    if (allUtf8) {
      charset = kUtf8Charset;
    } else {
      std::vector<std::string> legacy;
      for (const TZFItem& item : catalog.entries)
        if (!item.HasUnicodeName) legacy.emplace_back(StoredBytes(item));
      charset = ChooseLegacyCharset(legacy);
    }
  }
  catalog.nameCharset = charset;
  for (TZFItem& item : catalog.entries) {
    if (item.HasUnicodeName) continue;
    std::string stored = item.PathIsStored ? std::move(item.EntryPath) : std::move(item.StoredName);
    std::string decoded = DecodeLegacyName(stored, charset);
    // A reading equal to the stored bytes (every ASCII name) is held once.
    item.PathIsStored = decoded == stored;
    item.StoredName = item.PathIsStored ? std::string() : std::move(stored);
    item.EntryPath = std::move(decoded);
  }
}

bool SetNameCharset(const std::string& charset) {
  const std::optional<std::string> id = CanonicalCharsetName(charset);
  if (!id) return false;
  Session& s = DefaultSession();
  s.nameCharset = *id;
  DecodeEntryNames(s.catalog, s.nameCharset);
  return true;
}

std::string GetNameCharset() { return DefaultSession().nameCharset; }

std::string GetArchiveNameCharset() { return DefaultSession().catalog.nameCharset; }

}  // namespace vantelo
