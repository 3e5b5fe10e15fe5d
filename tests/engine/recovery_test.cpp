// Recovery of damaged and truncated archives (RecoverArchive). The archives of
// tests/data/recovery (Info-ZIP zip, zip writing to a pipe, 7zz, Python's
// zipfile writing to a pipe) are cut and damaged here at run time; what the
// recovery extracts must be exactly the complete entries of the intact
// archive, and nothing partial.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/test_support.h"
#include "engine/engine.h"

namespace vantelo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

std::string Recovery(const std::string& name) { return test::DataPath("recovery/" + name); }

const char* const kArchives[] = {"zip_plain.zip", "zip_stream.zip", "7zz.zip", "py_stream.zip",
                                 "py_unsafe.zip"};

// Where each entry's bytes lie in a fixture (its .layout file).
struct Span {
  std::string name;
  ZipSize header = 0, end = 0;
};
struct Layout {
  std::vector<Span> entries;
  ZipSize central = 0, endRecord = 0;
};

Layout ReadLayout(const std::string& archive) {
  Layout layout;
  std::istringstream in(ReadFileBytes(Recovery(archive) + ".layout"));
  std::string line;
  while (std::getline(in, line)) {
    Span span;
    std::istringstream fields(line);
    std::getline(fields, span.name, '\t');
    fields >> span.header >> span.end;
    if (span.name == "central") {
      layout.central = span.header;
      layout.endRecord = span.end;
    } else {
      layout.entries.push_back(span);
    }
  }
  return layout;
}

// Every file below root with its bytes.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;  // nothing was written
  for (const std::string& name : test::ListFiles(root)) files[name] = ReadFileBytes((root / name).string());
  return files;
}

// The rows a listing shows, one string per entry.
std::vector<std::string> Rows() {
  std::vector<std::string> rows;
  for (std::int32_t i = 0; i < GetEntryCount(); ++i)
    rows.push_back(GetEntryFolder(i) + GetEntryName(i) + "|" + GetEntryExt(i) + "|" +
                   std::to_string(GetEntrySize(i)) + "|" + std::to_string(GetEntryPackedSize(i)) + "|" +
                   std::to_string(GetEntryDate(i)) + "|" + std::to_string(GetEntryTime(i)) + "|" +
                   std::to_string(GetEntryMethod(i)) + "|" + (GetEntryEncrypted(i) ? "+" : "-"));
  return rows;
}

// What extracting the intact archive writes.
std::map<std::string, std::string> IntactFiles(const std::string& archive) {
  TempFolder dest;
  EXPECT_EQ(OpenArchive(Recovery(archive)), 0) << archive;
  EXPECT_EQ(ExtractAll(dest.dir(), "", true, true, false, nullptr), 0) << archive;
  CloseArchive();
  return FilesBelow(dest.path());
}

// The intact archive's files whose entries end by `cut` (names as stored).
std::map<std::string, std::string> CompleteBy(const std::map<std::string, std::string>& intact,
                                              const Layout& layout, ZipSize cut) {
  std::map<std::string, std::string> kept;
  for (const Span& span : layout.entries)
    if (span.end <= cut && intact.count(span.name) != 0) kept[span.name] = intact.at(span.name);
  return kept;
}

// A copy of an archive in folder, changed by edit.
template <class Edit>
std::string EditedCopy(const TempFolder& folder, const std::string& archive, Edit edit) {
  std::string bytes = ReadFileBytes(Recovery(archive));
  edit(bytes);
  const std::string path = folder.file("edited-" + archive);
  WriteFileBytes(path, bytes);
  return path;
}

// The intact archive read from its local headers lists what its central
// directory lists: the same names, sizes, dates, methods, in file order (every
// fixture has its entries in the directory's order). In py_stream.zip the
// stored entry holds descriptor signatures, one with the right sizes and a
// wrong CRC-32: its size says the scan did not stop there.
TEST(Recovery, TheIntactArchiveListsAsItsCatalog) {
  for (const char* archive : {"zip_plain.zip", "zip_stream.zip", "zip_crypt_stream.zip", "7zz.zip",
                              "py_stream.zip", "py_unsafe.zip"}) {
    ASSERT_EQ(OpenArchive(Recovery(archive)), 0) << archive;
    EXPECT_FALSE(IsArchiveRecovered());
    const std::vector<std::string> catalog = Rows();
    const ZipSize total = GetTotalSize();
    ASSERT_EQ(RecoverArchive(Recovery(archive)), 0) << archive << ": " << GetLastMessage();
    EXPECT_TRUE(IsArchiveRecovered());
    EXPECT_EQ(Rows(), catalog) << archive;
    EXPECT_EQ(GetTotalSize(), total) << archive;
    EXPECT_TRUE(CanRecoverArchive(Recovery(archive)));
    CloseArchive();
    EXPECT_FALSE(IsArchiveRecovered());
  }
}

// Cut inside a header, inside an entry's data, right after an entry, inside
// the central directory and just before the end record: the plain open fails
// as before; recovery extracts every complete entry whole, gives the cut one
// "BAD CRC!" and writes nothing of it, and no damage stops the run.
TEST(Recovery, CutCopiesGiveEveryCompleteEntryAndNothingPartial) {
  for (const char* archive : kArchives) {
    const Layout layout = ReadLayout(archive);
    const std::map<std::string, std::string> intact = IntactFiles(archive);
    std::vector<ZipSize> cuts = {layout.central + 20, layout.endRecord};
    for (const Span& span : layout.entries) {
      cuts.push_back(span.header + 10);
      cuts.push_back((span.header + span.end) / 2);
      cuts.push_back(span.end);
    }
    for (const ZipSize cut : cuts) {
      SCOPED_TRACE(std::string(archive) + " cut at " + std::to_string(cut));
      TempFolder folder;
      const std::string path = EditedCopy(folder, archive, [cut](std::string& b) { b.resize(cut); });
      EXPECT_NE(OpenArchive(path), 0);
      std::size_t complete = 0;
      for (const Span& span : layout.entries) complete += span.end <= cut ? 1 : 0;
      if (RecoverArchive(path) != 0) {
        // Not even the first header is whole.
        EXPECT_LT(cut, layout.entries.front().end);
        EXPECT_EQ(complete, 0u);
        continue;
      }
      const auto found = static_cast<std::size_t>(GetEntryCount());
      ASSERT_TRUE(found == complete || found == complete + 1) << found;
      EXPECT_EQ(ExtractAll(folder.dir() + "out", "", true, true, false, nullptr), 0) << GetLastMessage();
      for (std::size_t i = 0; i < found; ++i) {
        const std::string status = GetEntryStatus(static_cast<std::int32_t>(i));
        if (i < complete)
          EXPECT_TRUE(status == kStatusOk || status == kStatusUnsafePath) << i << " " << status;
        else
          EXPECT_EQ(status, kStatusBadCrc) << i;
      }
      EXPECT_EQ(FilesBelow(folder.path() / "out"), CompleteBy(intact, layout, cut));
      // Testing gives the same verdicts.
      EXPECT_EQ(ExtractAll("", "", true, true, true, nullptr), 0);
      if (found > complete) {
        EXPECT_EQ(GetEntryStatus(static_cast<std::int32_t>(complete)), kStatusBadCrc);
      }
      CloseArchive();
    }
  }
}

TEST(Recovery, CentralDirectoryOverwrittenWithZeros) {
  for (const char* archive : kArchives) {
    SCOPED_TRACE(archive);
    const Layout layout = ReadLayout(archive);
    TempFolder folder;
    const std::string path = EditedCopy(folder, archive, [&layout](std::string& b) {
      std::fill(b.begin() + layout.central, b.end(), '\0');
    });
    EXPECT_NE(OpenArchive(path), 0);
    ASSERT_EQ(RecoverArchive(path), 0);
    ASSERT_EQ(GetEntryCount(), static_cast<std::int32_t>(layout.entries.size()));
    EXPECT_EQ(ExtractAll(folder.dir() + "out", "", true, true, false, nullptr), 0);
    EXPECT_EQ(FilesBelow(folder.path() / "out"), IntactFiles(archive));
  }
}

// Bytes overwritten in the middle of one entry's data: that entry is
// "BAD CRC!", those before and after it are found and extracted whole, with
// sizes in the headers and with data descriptors alike.
TEST(Recovery, ADamagedEntryInTheMiddle) {
  for (const char* archive : {"zip_plain.zip", "zip_stream.zip", "7zz.zip", "py_stream.zip"}) {
    SCOPED_TRACE(archive);
    const Layout layout = ReadLayout(archive);
    std::size_t damaged = 0;
    while (layout.entries[damaged].name != "docs/sub/long.txt" && layout.entries[damaged].name != "trap.bin")
      ++damaged;
    const Span& span = layout.entries[damaged];
    TempFolder folder;
    const std::string path = EditedCopy(folder, archive, [&](std::string& b) {
      const std::size_t middle = static_cast<std::size_t>(span.end - (span.end - span.header) / 3);
      for (std::size_t i = 0; i < 24; ++i) b[middle + i] = static_cast<char>(0xA5 ^ (i * 37));
      b.resize(static_cast<std::size_t>(layout.central));  // and no central directory
    });
    std::map<std::string, std::string> expected = IntactFiles(archive);
    expected.erase(span.name);
    ASSERT_EQ(RecoverArchive(path), 0);
    ASSERT_EQ(GetEntryCount(), static_cast<std::int32_t>(layout.entries.size()));
    EXPECT_EQ(ExtractAll(folder.dir() + "out", "", true, true, false, nullptr), 0) << GetLastMessage();
    EXPECT_EQ(FilesBelow(folder.path() / "out"), expected);
    for (std::size_t i = 0; i < layout.entries.size(); ++i)
      EXPECT_EQ(GetEntryStatus(static_cast<std::int32_t>(i)), i == damaged ? kStatusBadCrc : kStatusOk) << i;
  }
}

// Bytes in front of the archive (a self-extracting stub) and a cut end: the
// entries are found after the prefix.
TEST(Recovery, BytesInFrontOfACutArchive) {
  const Layout layout = ReadLayout("zip_stream.zip");
  TempFolder folder;
  const std::string path = EditedCopy(folder, "zip_stream.zip", [&layout](std::string& b) {
    b.resize(static_cast<std::size_t>(layout.central + 7));
    b.insert(0, std::string(5000, 'M') + "PK\x03\x04 not a header");
  });
  EXPECT_NE(OpenArchive(path), 0);
  EXPECT_TRUE(CanRecoverArchive(path));
  ASSERT_EQ(RecoverArchive(path), 0);
  EXPECT_EQ(ExtractAll(folder.dir() + "out", "", true, true, false, nullptr), 0);
  EXPECT_EQ(FilesBelow(folder.path() / "out"), IntactFiles("zip_stream.zip"));
}

// Hostile files end in bounded time with nothing recovered, or with the false
// entries they fake marked "BAD CRC!": garbage sown with signatures, a text
// file, headers of stored entries whose descriptor never comes (the first runs
// to the end of the file: what follows it is its data), Deflate entries with
// no descriptor after their streams (each incomplete; at most 65,536 are
// listed), a header whose size reaches past the end, an encrypted entry too
// short for its encryption header.
TEST(Recovery, HostileFilesRecoverNothingOrOnlyBadEntries) {
  TempFolder folder;
  std::string garbage;
  std::uint32_t seed = 27;
  for (int i = 0; i < (1 << 20); ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage += static_cast<char>(seed >> 24);
    if (i % 4096 == 0) garbage += "PK\x03\x04";
  }
  const std::string garbagePath = folder.file("garbage.bin");
  WriteFileBytes(garbagePath, garbage);
  EXPECT_FALSE(CanRecoverArchive(garbagePath));
  EXPECT_EQ(RecoverArchive(garbagePath), 11);
  EXPECT_EQ(GetLastMessage(), "Nothing recovered: no entry of a ZIP file was found in " + garbagePath + " !");
  EXPECT_EQ(GetEntryCount(), 0);
  EXPECT_FALSE(CanRecoverArchive(test::DataPath("bad_notzip.txt")));
  EXPECT_EQ(RecoverArchive(folder.file("missing.zip")), 11);
  EXPECT_EQ(GetLastMessage(), "Can not open file " + folder.file("missing.zip") + " !");

  // A local header: version 20, flags, method, sizes, a one-letter name.
  auto header = [](std::uint16_t flags, std::uint16_t method, std::uint32_t packed) {
    std::string h = std::string("PK\x03\x04\x14\x00", 6);
    h += static_cast<char>(flags & 0xFF);
    h += static_cast<char>(flags >> 8);
    h += static_cast<char>(method);
    h += std::string(9, '\0');  // method's high byte, time, date, CRC-32
    for (int k = 0; k < 4; ++k) h += static_cast<char>((packed >> (8 * k)) & 0xFF);
    h += std::string(4, '\0');
    h += std::string("\x01\x00\x00\x00x", 5);
    return h;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string storedHeaders, deflateHeaders;
  for (int i = 0; i < 20000; ++i) storedHeaders += header(0x0008, 0, 0);
  // A final empty fixed-Huffman block is 0x03 0x00: each false entry's
  // "stream" ends at once, with no descriptor after it.
  for (int i = 0; i < 70000; ++i) deflateHeaders += header(0x0008, 8, 0) + std::string("\x03\x00", 2);
  const Case cases[] = {
      {"stored entries whose descriptor never comes", storedHeaders},
      {"deflate entries without descriptors (65,536 of them listed)", deflateHeaders},
      {"a size past the end", header(0, 0, 0x7FFFFFFF) + std::string(100, 'z')},
      {"an encrypted entry too short for its header", header(0x0001, 0, 5) + "12345"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.file("hostile.zip");
    WriteFileBytes(path, c.bytes);
    ASSERT_EQ(RecoverArchive(path), 0);
    EXPECT_GE(GetEntryCount(), 1);
    EXPECT_LE(GetEntryCount(), 65536);
    EXPECT_EQ(ExtractAll(folder.dir() + "out", "", true, true, false, nullptr), 0) << GetLastMessage();
    for (std::int32_t i = 0; i < std::min(GetEntryCount(), 50); ++i)
      EXPECT_EQ(GetEntryStatus(i), kStatusBadCrc) << i;
    EXPECT_TRUE(FilesBelow(folder.path() / "out").empty());
    fs::remove_all(folder.path() / "out");
    CloseArchive();
  }
}

}  // namespace
}  // namespace vantelo
