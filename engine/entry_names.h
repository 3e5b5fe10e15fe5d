// Entry names: from the bytes a central directory header stores to the UTF-8
// name the catalog, the batch and the front ends use. Internal to the engine;
// the public side is SetNameCharset and friends in engine.h.
//
// The rules, in order:
//   1. general-purpose flag bit 11 set: the name is UTF-8;
//   2. an Info-ZIP Unicode Path extra field whose CRC-32 matches the stored
//      name gives the UTF-8 name;
//   3. every other ("legacy") name is decoded from one code page chosen per
//      archive: the user's choice when there is one; UTF-8 when all legacy
//      names are valid UTF-8 (many writers store UTF-8 without the flag);
//      otherwise the platform's detector, when its answer decodes them all;
//      otherwise CP437, the ZIP default.
// A name that cannot be decoded gets a safe, visible replacement. Decoding
// comes before anything looks at separators or case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantelo {

struct TZFItem;

// General-purpose flag bit 11: the name (and comment) are UTF-8.
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;
// Extra field header ID of Info-ZIP's Unicode Path field.
inline constexpr std::uint16_t kUnicodePathFieldId = 0x7075;
// The code page of legacy names when nothing better is known.
inline constexpr const char* kDefaultLegacyCharset = "CP437";
inline constexpr const char* kUtf8Charset = "UTF-8";

bool IsValidUtf8(std::string_view text);

// A name that cannot be decoded, made safe and visible: printable ASCII stays,
// every other byte is written as "%XX" (hex). With keepUtf8, valid UTF-8
// sequences stay too (for a name marked as UTF-8 with a few broken bytes).
std::string SafeNameReplacement(std::string_view bytes, bool keepUtf8);

// The UTF-8 name of an Info-ZIP Unicode Path field (version 1) in an extra
// block, when its CRC-32 matches `storedName` and its text is valid UTF-8.
// Fields are walked by their lengths; a field that runs past the block ends
// the walk.
std::optional<std::string> UnicodePathFromExtra(const std::uint8_t* extra, std::size_t length,
                                                std::string_view storedName);

// Fills the item's name fields from its central directory header (the stored
// bytes in full; a name ends at a NUL once decoded).
void SetStoredName(TZFItem& item, std::string_view storedName, std::uint16_t flags,
                   const std::uint8_t* extra, std::size_t extraLength);

// A user's character set name made canonical: "" stays "" (automatic); known
// ids and their common aliases become the id ("cp866" and "866" give
// "CP866", "shift_jis" gives "CP932", "gbk" "CP936", "big5" "CP950",
// "euc-kr" "CP949", "utf8" "UTF-8"); any other name the platform converts is
// kept upper-cased. Empty optional for a name that is not known.
std::optional<std::string> CanonicalCharsetName(const std::string& name);

// The code page of an archive's legacy names (rule 3 above, without the user's choice).
std::string ChooseLegacyCharset(const std::vector<std::string>& legacyNames);

// DecodeEntryNames (catalog.h) decodes every entry's name with the
// character set setting, after the catalog is read and whenever the setting
// changes.

}  // namespace vantelo
